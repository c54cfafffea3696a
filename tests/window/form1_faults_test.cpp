#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/process_usage.h"
#include "tests/window/window_fixture.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using testing::WindowTest;

TEST_F(WindowTest, BinaryGarbageArrivesAndExtractKeepsItsNulBytes) {
    std::string garbage;
    for (int i = 0; i < 100000; ++i) {
        garbage += static_cast<char>((i * 7919) % 251);
    }
    serve("/garbage",
          {200, garbage + std::string("<title>x\0y</title>", 18), "application/octet-stream"});
    retrieve(server.url("/garbage"));
    click("Command2");
    EXPECT_EQ(watcher.texts(),
              (QStringList{QStringLiteral("检索完毕！"), QStringLiteral("提取成功！")}));
    EXPECT_EQ(text3()->toPlainText(), QString::fromUtf8("x\0y", 3));
}

// A thousand retrievals in one window: memory settles, and no file handle or thread is left
// behind by the fetches.
TEST_F(WindowTest, AThousandRetrievalsLeaveNothingBehind) {
    std::string page = "<title>repeat</title>";
    page.resize(std::size_t{64} << 10, 'x');
    serve("/repeat", {200, page});
    type_address(server.url("/repeat"));
    const auto retrieve_times = [&](int count) {
        for (int i = 0; i < count; ++i) {
            click("Command1");
            wait_for_fetch();
        }
    };
    const auto settled = [] {
        // The server's last connection thread may still be closing.
        std::this_thread::sleep_for(200ms);
        return testing::ProcessUsage::now();
    };
    retrieve_times(100);  // let allocators, caches and the thread pool reach their working size
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
