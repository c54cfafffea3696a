#include <curl/curl.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "transfer/curl_transfer.h"
#include "workflow/transfer_error.h"

namespace marlowin {
namespace {

namespace fs = std::filesystem;

// A certificate for 127.0.0.1 made for this run, and an HTTPS server presenting it.
class TlsServer : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlowin-tls-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        const std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
            " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
            key() + "' -out '" + cert() + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << "openssl could not make a certificate";
        server_ = std::make_unique<httplib::SSLServer>(cert().c_str(), key().c_str());
        ASSERT_TRUE(server_->is_valid());
        server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<title>安全</title>", "text/html; charset=utf-8");
        });
        port_ = server_->bind_to_any_port("127.0.0.1");
        ASSERT_GT(port_, 0);
        thread_ = std::thread([this] { server_->listen_after_bind(); });
    }
    void TearDown() override {
        if (server_) {
            server_->stop();
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        fs::remove_all(dir_);
    }
    std::string cert() const { return (dir_ / "cert.pem").string(); }
    std::string key() const { return (dir_ / "key.pem").string(); }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

    fs::path dir_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
};

TEST_F(TlsServer, TrustedThroughTheCaFileTheFetchWorks) {
    TransferOptions options;
    options.ca_file = cert();
    CurlTransfer transfer(options);
    EXPECT_EQ(transfer.open_url(url()), "<title>安全</title>");
}

TEST_F(TlsServer, UntrustedTheFetchFailsWithACertificateError) {
    CurlTransfer transfer;  // the system's trust store does not know this certificate
    try {
        static_cast<void>(transfer.open_url(url()));
        FAIL() << "an unknown certificate must not be accepted";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.number(), CURLE_PEER_FAILED_VERIFICATION);
        EXPECT_EQ(error.description(), "服务器的安全证书无法验证");
    }
}

}  // namespace
}  // namespace marlowin
