#include "transfer/proxy_helper/pac_runner.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <duktape.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "base/c_handle.h"

namespace marlowin::proxy_helper {

namespace {

constexpr std::size_t kMaxHeapBytes = std::size_t{64} << 20;

constexpr const char* kPacFunctions =
#include "transfer/proxy_helper/pac_functions.js.inc"
    ;

// Every block carries its size before it, so that the heap's total is known.
struct Budget {
    std::size_t used = 0;
};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(void* user, duk_size_t size) {
    auto& budget = *static_cast<Budget*>(user);
    if (size > kMaxHeapBytes - budget.used) {
        return nullptr;
    }
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    budget.used += size;
    return block + kHeader;
}

void release(void* user, void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    char* block = static_cast<char*>(pointer) - kHeader;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    static_cast<Budget*>(user)->used -= size;
    std::free(block);
}

void* reallocate(void* user, void* pointer, duk_size_t size) {
    if (pointer == nullptr) {
        return allocate(user, size);
    }
    if (size == 0) {
        release(user, pointer);
        return nullptr;
    }
    void* grown = allocate(user, size);
    if (grown == nullptr) {
        return nullptr;
    }
    std::size_t old_size = 0;
    std::memcpy(&old_size, static_cast<char*>(pointer) - kHeader, sizeof old_size);
    std::memcpy(grown, pointer, std::min<std::size_t>(old_size, size));
    release(user, pointer);
    return grown;
}

// The address text of each address @p host resolves to, of @p family (AF_UNSPEC: all).
std::string resolve(const char* host, int family, bool all) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0) {
        return {};
    }
    const CHandle<addrinfo, freeaddrinfo> owned(found);
    std::string addresses;
    for (const addrinfo* info = found; info != nullptr; info = info->ai_next) {
        std::array<char, INET6_ADDRSTRLEN> text{};
        const void* address =
            info->ai_family == AF_INET
                ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(info->ai_addr)->sin_addr)
                : static_cast<const void*>(
                      &reinterpret_cast<sockaddr_in6*>(info->ai_addr)->sin6_addr);
        if (inet_ntop(info->ai_family, address, text.data(), text.size()) != nullptr) {
            if (!addresses.empty()) {
                addresses += ';';
            }
            addresses += text.data();
            if (!all) {
                break;
            }
        }
    }
    return addresses;
}

duk_ret_t dns_resolve(duk_context* ctx) {
    const std::string address = resolve(duk_safe_to_string(ctx, 0), AF_INET, false);
    if (address.empty()) {
        duk_push_null(ctx);
    } else {
        duk_push_string(ctx, address.c_str());
    }
    return 1;
}

duk_ret_t dns_resolve_ex(duk_context* ctx) {
    duk_push_string(ctx, resolve(duk_safe_to_string(ctx, 0), AF_UNSPEC, true).c_str());
    return 1;
}

// The address this machine would reach the network from, as browsers find it: the local end
// of a connected (never used) UDP socket; loopback offline.
duk_ret_t my_ip_address(duk_context* ctx) {
    std::string address = "127.0.0.1";
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd >= 0) {
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(53);
        inet_pton(AF_INET, "198.51.100.1", &remote.sin_addr);
        sockaddr_in local{};
        socklen_t length = sizeof local;
        std::array<char, INET_ADDRSTRLEN> text{};
        if (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            inet_ntop(AF_INET, &local.sin_addr, text.data(), text.size()) != nullptr) {
            address = text.data();
        }
        close(fd);
    }
    duk_push_string(ctx, address.c_str());
    return 1;
}

duk_ret_t alert(duk_context* /*ctx*/) {
    return 0;  // a script's messages go nowhere
}

void fatal(void* /*user*/, const char* /*message*/) {
    std::_Exit(3);  // the parent takes no answer for a failure
}

}  // namespace

struct PacRunner::Heap {
    Heap() : context(duk_create_heap(allocate, reallocate, release, &budget, fatal)) {}
    ~Heap() {
        if (context != nullptr) {
            duk_destroy_heap(context);
        }
    }
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    Budget budget;
    duk_context* context;
};

PacRunner::PacRunner() : heap_(std::make_unique<Heap>()) {
    if (heap_->context == nullptr) {
        return;
    }
    duk_context* ctx = heap_->context;
    const std::array<std::pair<const char*, duk_c_function>, 4> host_functions{{
        {"dnsResolve", dns_resolve},
        {"dnsResolveEx", dns_resolve_ex},
        {"myIpAddress", my_ip_address},
        {"alert", alert},
    }};
    for (const auto& [name, function] : host_functions) {
        duk_push_c_function(ctx, function, 1);
        duk_put_global_string(ctx, name);
    }
    if (duk_peval_string(ctx, kPacFunctions) != 0) {
        duk_destroy_heap(ctx);  // without them no script runs: every load fails
        heap_->context = nullptr;
        return;
    }
    duk_pop(ctx);
}

PacRunner::~PacRunner() = default;

bool PacRunner::load(const std::string& script) {
    duk_context* ctx = heap_->context;
    if (ctx == nullptr || duk_peval_lstring(ctx, script.data(), script.size()) != 0) {
        return false;
    }
    duk_pop(ctx);
    const bool defined =
        duk_get_global_string(ctx, "FindProxyForURL") != 0 && duk_is_function(ctx, -1) != 0;
    duk_pop(ctx);
    return defined;
}

std::optional<std::string> PacRunner::find_proxy(const std::string& url, const std::string& host) {
    duk_context* ctx = heap_->context;
    duk_get_global_string(ctx, "FindProxyForURL");
    duk_push_lstring(ctx, url.data(), url.size());
    duk_push_lstring(ctx, host.data(), host.size());
    std::optional<std::string> answer;
    if (duk_pcall(ctx, 2) == DUK_EXEC_SUCCESS && duk_is_string(ctx, -1) != 0) {
        duk_size_t length = 0;
        const char* text = duk_get_lstring(ctx, -1, &length);
        answer.emplace(text, length);
    }
    duk_pop(ctx);
    return answer;
}

}  // namespace marlowin::proxy_helper
