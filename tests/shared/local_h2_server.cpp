#include "tests/shared/local_h2_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <nghttp2/nghttp2.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace marlowin::testing {

namespace {

// One HTTP/2 connection: the requests' paths, and the response each gets once its headers end.
struct H2Connection {
    SSL* tls;
    const std::map<std::string, LocalH2Server::Page>& pages;
    nghttp2_session* session = nullptr;
    std::map<int32_t, std::string> paths;
    std::map<int32_t, std::pair<std::string, std::size_t>> bodies;  // body, sent so far
};

ssize_t send_bytes(nghttp2_session*, const uint8_t* data, size_t length, int, void* user) {
    const int sent =
        SSL_write(static_cast<H2Connection*>(user)->tls, data, static_cast<int>(length));
    return sent > 0 ? sent : NGHTTP2_ERR_CALLBACK_FAILURE;
}

int on_header(nghttp2_session*, const nghttp2_frame* frame, const uint8_t* name, size_t name_length,
              const uint8_t* value, size_t value_length, uint8_t, void* user) {
    if (std::string_view(reinterpret_cast<const char*>(name), name_length) == ":path") {
        static_cast<H2Connection*>(user)->paths[frame->hd.stream_id] =
            std::string(reinterpret_cast<const char*>(value), value_length);
    }
    return 0;
}

ssize_t read_body(nghttp2_session*, int32_t stream, uint8_t* buffer, size_t length, uint32_t* flags,
                  nghttp2_data_source*, void* user) {
    auto& [body, sent] = static_cast<H2Connection*>(user)->bodies[stream];
    const std::size_t n = std::min(length, body.size() - sent);
    std::copy_n(body.data() + sent, n, reinterpret_cast<char*>(buffer));
    sent += n;
    if (sent == body.size()) {
        *flags |= NGHTTP2_DATA_FLAG_EOF;
    }
    return static_cast<ssize_t>(n);
}

int on_frame(nghttp2_session* session, const nghttp2_frame* frame, void* user) {
    auto& connection = *static_cast<H2Connection*>(user);
    if (frame->hd.type != NGHTTP2_HEADERS || (frame->hd.flags & NGHTTP2_FLAG_END_STREAM) == 0) {
        return 0;
    }
    const int32_t stream = frame->hd.stream_id;
    const auto page = connection.pages.find(connection.paths[stream]);
    std::vector<std::pair<std::string, std::string>> fields{
        {":status", page == connection.pages.end() ? "404" : "200"}};
    if (page != connection.pages.end()) {
        fields.insert(fields.end(), page->second.headers.begin(), page->second.headers.end());
        connection.bodies[stream] = {page->second.body, 0};
    } else {
        connection.bodies[stream] = {"", 0};
    }
    std::vector<nghttp2_nv> nva;
    nva.reserve(fields.size());
    for (auto& [name, value] : fields) {
        nva.push_back({reinterpret_cast<uint8_t*>(name.data()),
                       reinterpret_cast<uint8_t*>(value.data()), name.size(), value.size(),
                       NGHTTP2_NV_FLAG_NONE});
    }
    nghttp2_data_provider provider{};
    provider.read_callback = read_body;
    return nghttp2_submit_response(session, stream, nva.data(), nva.size(), &provider);
}

int choose_protocol(SSL*, const unsigned char** out, unsigned char* out_length,
                    const unsigned char* in, unsigned int in_length, void*) {
    for (const char* protocol : {"\x02h2", "\x08http/1.1"}) {
        const auto* wanted = reinterpret_cast<const unsigned char*>(protocol);
        for (unsigned int i = 0; i < in_length; i += in[i] + 1U) {
            if (in[i] == wanted[0] && std::memcmp(in + i + 1, wanted + 1, wanted[0]) == 0) {
                *out = in + i + 1;
                *out_length = in[i];
                return SSL_TLSEXT_ERR_OK;
            }
        }
    }
    return SSL_TLSEXT_ERR_NOACK;
}

void serve_h2(H2Connection& connection) {
    nghttp2_session_callbacks* callbacks = nullptr;
    nghttp2_session_callbacks_new(&callbacks);
    nghttp2_session_callbacks_set_send_callback(callbacks, send_bytes);
    nghttp2_session_callbacks_set_on_header_callback(callbacks, on_header);
    nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, on_frame);
    nghttp2_option* options = nullptr;
    nghttp2_option_new(&options);
    nghttp2_option_set_max_send_header_block_length(options, std::size_t{4} << 20);
    nghttp2_session_server_new2(&connection.session, callbacks, &connection, options);
    nghttp2_option_del(options);
    nghttp2_session_callbacks_del(callbacks);
    nghttp2_submit_settings(connection.session, NGHTTP2_FLAG_NONE, nullptr, 0);
    std::vector<uint8_t> buffer(65536);
    while (nghttp2_session_send(connection.session) == 0 &&
           (nghttp2_session_want_read(connection.session) != 0 ||
            nghttp2_session_want_write(connection.session) != 0)) {
        const int got = SSL_read(connection.tls, buffer.data(), static_cast<int>(buffer.size()));
        if (got <= 0 || nghttp2_session_mem_recv(connection.session, buffer.data(),
                                                 static_cast<size_t>(got)) < 0) {
            break;
        }
    }
    nghttp2_session_del(connection.session);
}

}  // namespace

LocalH2Server::LocalH2Server(const std::string& certificate, const std::string& key,
                             std::map<std::string, Page> pages)
    : pages_(std::move(pages)) {
    SSL_CTX* tls = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate_chain_file(tls, certificate.c_str());
    SSL_CTX_use_PrivateKey_file(tls, key.c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_set_alpn_select_cb(tls, choose_protocol, nullptr);
    tls_ = tls;
    listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_fd_, 16) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LocalH2Server::~LocalH2Server() {
    stopping_ = true;
    thread_.join();
    close(listen_fd_);
    SSL_CTX_free(static_cast<SSL_CTX*>(tls_));
}

std::string LocalH2Server::url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LocalH2Server::protocols() {
    const std::lock_guard lock(mutex_);
    return protocols_;
}

// One connection at a time: each request of the transfer has a connection of its own.
void LocalH2Server::serve() {
    while (!stopping_) {
        pollfd waiting{listen_fd_, POLLIN, 0};
        if (poll(&waiting, 1, 50) == 1) {
            const int fd = accept(listen_fd_, nullptr, nullptr);
            if (fd >= 0) {
                serve_one(fd);
                close(fd);
            }
        }
    }
}

void LocalH2Server::serve_one(int fd) {
    const timeval limit{5, 0};  // a client that stops talking cannot hold the server
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL* tls = SSL_new(static_cast<SSL_CTX*>(tls_));
    SSL_set_fd(tls, fd);
    if (SSL_accept(tls) == 1) {
        const unsigned char* protocol = nullptr;
        unsigned int length = 0;
        SSL_get0_alpn_selected(tls, &protocol, &length);
        const std::string chosen(reinterpret_cast<const char*>(protocol), length);
        {
            const std::lock_guard lock(mutex_);
            protocols_ += (protocols_.empty() ? "" : " ") + (chosen.empty() ? "none" : chosen);
        }
        if (chosen == "h2") {
            H2Connection connection{tls, pages_, nullptr, {}, {}};
            serve_h2(connection);
        }
        SSL_shutdown(tls);
    }
    SSL_free(tls);
}

}  // namespace marlowin::testing
