#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace marlowin::testing {

/**
 * An HTTPS server on 127.0.0.1 that speaks HTTP/2 (over libnghttp2), with the certificate
 * given; it closes a connection whose client offers no HTTP/2. Each path is a page: its
 * headers, then its body. It records the protocol each client asked for.
 */
class LocalH2Server {
public:
    struct Page {
        std::map<std::string, std::string> headers;
        std::string body;
    };

    LocalH2Server(const std::string& certificate, const std::string& key,
                  std::map<std::string, Page> pages);
    ~LocalH2Server();
    LocalH2Server(const LocalH2Server&) = delete;
    LocalH2Server& operator=(const LocalH2Server&) = delete;

    [[nodiscard]] std::string url(const std::string& path) const;
    /// "h2" or "http/1.1" for each request so far, in order.
    [[nodiscard]] std::string protocols();

private:
    void serve();
    void serve_one(int fd);

    std::map<std::string, Page> pages_;
    void* tls_;  // SSL_CTX
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::string protocols_;
    std::thread thread_;
};

}  // namespace marlowin::testing
