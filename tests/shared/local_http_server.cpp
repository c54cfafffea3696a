#include "tests/shared/local_http_server.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace marlowin::testing {

namespace {

// What differs between Winsock and POSIX sockets.
#if defined(_WIN32)
constexpr int kNoSignal = 0;
constexpr int kShutBoth = SD_BOTH;
constexpr auto close_socket = ::closesocket;
constexpr auto poll_sockets = ::WSAPoll;
bool valid(NativeSocket fd) {
    return fd != INVALID_SOCKET;
}
NativeSocket new_socket() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}
NativeSocket accept_connection(NativeSocket listening) {
    return ::accept(listening, nullptr, nullptr);
}
bool interrupted() {
    return false;
}
using Length = int;
#else
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;
constexpr auto close_socket = ::close;
constexpr auto poll_sockets = ::poll;
bool valid(NativeSocket fd) {
    return fd >= 0;
}
NativeSocket new_socket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}
NativeSocket accept_connection(NativeSocket listening) {
    return ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
}
bool interrupted() {
    return errno == EINTR;
}
using Length = ssize_t;
#endif

NativeSocket listen_on_loopback(int& port, int backlog) {
    const NativeSocket fd = new_socket();
    if (!valid(fd)) {
        throw std::runtime_error("socket failed");
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog) != 0) {
        close_socket(fd);
        throw std::runtime_error("bind/listen on 127.0.0.1 failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool read_request(NativeSocket fd, HttpRequest& request) {
    std::string buffer;
    char chunk[4096];
    while (buffer.find("\r\n\r\n") == std::string::npos) {
        const Length n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return false;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
        if (buffer.size() > (1 << 20)) {
            return false;
        }
    }
    const std::size_t target = buffer.find(' ') + 1;
    request.target = buffer.substr(target, buffer.find(' ', target) - target);
    for (std::size_t at = buffer.find("\r\n") + 2, end; (end = buffer.find("\r\n", at)) > at;
         at = end + 2) {
        const std::string line = buffer.substr(at, end - at);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const std::size_t value = line.find_first_not_of(' ', colon + 1);
            request.headers[lower(line.substr(0, colon))] =
                value == std::string::npos ? "" : line.substr(value);
        }
    }
    return true;
}

}  // namespace

// Sends only when the socket takes bytes, looking at the server's stop between waits: a client
// that stops reading must not hold a handler in send() (Wine's shutdown() does not wake it).
bool Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (server_.stopping_) {
            return false;
        }
        pollfd writable{fd_, POLLOUT, 0};
        const int ready = poll_sockets(&writable, 1, 100);
        if (ready == 0 || (ready < 0 && interrupted())) {
            continue;
        }
        if (ready < 0 || (writable.revents & POLLOUT) == 0) {
            return false;
        }
        const Length n =
            ::send(fd_, bytes.data(),
                   static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 16)), kNoSignal);
        if (n < 0 && interrupted()) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool Connection::respond(int status, std::string_view body, std::string_view content_type,
                         std::string_view extra_headers) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    if (!content_type.empty()) {
        head += "Content-Type: " + std::string(content_type) + "\r\n";
    }
    head += extra_headers;
    head += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    return send(head) && send(body);
}

bool Connection::wait(std::chrono::milliseconds duration) {
    std::unique_lock lock(server_.mutex_);
    return !server_.stopped_.wait_for(lock, duration, [&] { return server_.stopping_.load(); });
}

void Connection::reset() const {
    // Closing a socket that lingers for zero seconds sends RST instead of FIN.
    const linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
}

LocalHttpServer::LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listen_fd_ = listen_on_loopback(port_, 64);
    acceptor_ = std::thread([this] { accept_loop(); });
}

LocalHttpServer::~LocalHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const Worker& worker : workers_) {
            if (!worker.done) {
                ::shutdown(worker.fd, kShutBoth);
            }
        }
    }
    stopped_.notify_all();
    ::shutdown(listen_fd_, kShutBoth);
    acceptor_.join();
    for (Worker& worker : workers_) {
        worker.thread.join();
    }
    close_socket(listen_fd_);
}

std::string LocalHttpServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LocalHttpServer::accept_loop() {
    while (!stopping_) {
        pollfd waiting{listen_fd_, POLLIN, 0};
        const NativeSocket fd = poll_sockets(&waiting, 1, 100) > 0 ? accept_connection(listen_fd_)
                                                                   : static_cast<NativeSocket>(-1);
        std::lock_guard lock(mutex_);
        if (!valid(fd) || stopping_) {
            if (valid(fd)) {
                close_socket(fd);
            }
            continue;
        }
        workers_.remove_if([](Worker& worker) {
            if (worker.done) {
                worker.thread.join();
            }
            return worker.done;
        });
        Worker& worker = workers_.emplace_back();
        worker.fd = fd;
        worker.thread = std::thread([this, &worker] { serve(worker); });
    }
}

void LocalHttpServer::serve(Worker& worker) {
    HttpRequest request;
    if (read_request(worker.fd, request)) {
        ++requests_;
        Connection connection(worker.fd, *this);
        handler_(request, connection);
    }
    std::lock_guard lock(mutex_);
    close_socket(worker.fd);
    worker.done = true;
}

int refused_port() {
    int port = 0;
    close_socket(listen_on_loopback(port, 1));
    return port;
}

}  // namespace marlowin::testing
