#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace marlowin::testing {

/// A request as the server read it. Header names are lower-cased.
struct HttpRequest {
    std::string target;
    std::map<std::string, std::string> headers;

    /// The value of a header (name in lower case), empty when absent.
    [[nodiscard]] std::string header(const std::string& name) const {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

class LocalHttpServer;

/// A socket as the system names it: a descriptor, or a Winsock SOCKET.
#if defined(_WIN32)
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

/// One accepted connection, handed to the handler on its own thread.
class Connection {
public:
    /// Writes raw bytes; false once the peer is gone or the server stops.
    bool send(std::string_view bytes);
    /// A complete response with Content-Length (unless the headers give their own framing).
    bool respond(int status, std::string_view body, std::string_view content_type = "text/html",
                 std::string_view extra_headers = {});
    /// Sleeps, but returns early (false) when the server stops.
    bool wait(std::chrono::milliseconds duration);
    /// Ends the connection with a TCP reset instead of an orderly close, once the handler
    /// returns; send nothing more after this.
    void reset() const;

private:
    friend class LocalHttpServer;
    Connection(NativeSocket fd, LocalHttpServer& server) : fd_(fd), server_(server) {}
    NativeSocket fd_;
    LocalHttpServer& server_;
};

/**
 * A real HTTP/1.1 server on 127.0.0.1 and a free port, for tests and benchmarks. Each
 * connection runs the handler on its own thread, which writes whatever bytes it likes, so
 * tests can script well-formed responses as well as broken ones. One request per connection.
 */
class LocalHttpServer {
public:
    using Handler = std::function<void(const HttpRequest&, Connection&)>;

    explicit LocalHttpServer(Handler handler);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    /// "http://127.0.0.1:PORT" followed by @p path.
    [[nodiscard]] std::string url(std::string_view path = "/") const;
    /// How many requests have been read so far.
    [[nodiscard]] int requests() const { return requests_.load(); }

private:
    friend class Connection;
    struct Worker {
        NativeSocket fd = 0;
        bool done = false;  // its connection is closed
        std::thread thread;
    };
    void accept_loop();
    void serve(Worker& worker);

    Handler handler_;
    NativeSocket listen_fd_ = 0;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::list<Worker> workers_;  // under mutex_; finished ones go as new connections arrive
    std::thread acceptor_;
};

/// A port on 127.0.0.1 where nothing listens: connecting is refused.
[[nodiscard]] int refused_port();

}  // namespace marlowin::testing
