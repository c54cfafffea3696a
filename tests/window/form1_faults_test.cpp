#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/process_usage.h"
#include "tests/window/window_fixture.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using testing::Connection;
using testing::HttpRequest;
using testing::LocalHttpServer;
using testing::WindowTest;

TEST_F(WindowTest, AConnectionResetMidBodyKeepsTheEarlierPage) {
    serve("/page", {200, "<title>earlier</title>", "text/html"});
    retrieve(server.url("/page"));
    LocalHttpServer resetting([](const HttpRequest&, Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<title>new");
        connection.wait(100ms);
        connection.reset();
    });
    watcher.boxes.clear();
    retrieve(resetting.url());
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(watcher.boxes[0].text.startsWith(QStringLiteral("错误 56：")))
        << watcher.boxes[0].text.toStdString();
    click("Command2");
    EXPECT_EQ(text3()->toPlainText(), QStringLiteral("earlier"));
}

TEST_F(WindowTest, BinaryGarbageArrivesAndExtractBehaves) {
    std::string garbage;
    for (int i = 0; i < 100000; ++i) {
        garbage += static_cast<char>((i * 7919) % 251);
    }
    serve("/garbage", {200, garbage, "application/octet-stream"});
    serve("/garbage-title",
          {200, garbage + std::string("<title>x\0y</title>", 18), "application/octet-stream"});
    retrieve(server.url("/garbage"));
    click("Command2");
    EXPECT_EQ(watcher.texts(), (QStringList{QStringLiteral("检索完毕！"),
                                            QStringLiteral("对不起，未提取到内容！")}));
    watcher.boxes.clear();
    retrieve(server.url("/garbage-title"));
    click("Command2");
    EXPECT_EQ(watcher.texts(),
              (QStringList{QStringLiteral("检索完毕！"), QStringLiteral("提取成功！")}));
    EXPECT_EQ(text3()->toPlainText().size(), 3);
}

// A thousand retrievals in one window: memory settles, and no file handle or thread is left
// behind by the fetches.
TEST_F(WindowTest, AThousandRetrievalsLeaveNothingBehind) {
    std::string page = "<title>repeat</title>";
    page.resize(std::size_t{64} << 10, 'x');
    serve("/repeat", {200, page, "text/html"});
    type_address(server.url("/repeat"));
    const auto retrieve_times = [&](int count) {
        for (int i = 0; i < count; ++i) {
            click("Command1");
        }
    };
    const auto settled = [] {
        // The server's last connection thread may still be closing.
        std::this_thread::sleep_for(200ms);
        return testing::ProcessUsage::now();
    };
    retrieve_times(100);  // let allocators and caches reach their working size
    const auto before = settled();
    retrieve_times(1000);
    const auto after = settled();
    EXPECT_EQ(watcher.boxes.size(), 1100u);
    EXPECT_EQ(watcher.boxes.back().text, QStringLiteral("检索完毕！"));
    EXPECT_LE(after.open_files, before.open_files);
    EXPECT_LE(after.threads, before.threads);
#if !defined(__SANITIZE_ADDRESS__)  // its quarantine holds freed memory back on purpose
    EXPECT_LT(after.resident_kib, before.resident_kib + 4096)
        << "before " << before.resident_kib << " KiB, after " << after.resident_kib << " KiB";
#endif
}

}  // namespace
}  // namespace marlowin
