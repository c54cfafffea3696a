#pragma once

#include <memory>
#include <optional>
#include <string>

namespace marlowin::proxy_helper {

/// Runs PAC scripts in Duktape, with the functions browsers give them, in a heap that may not
/// grow past a few tens of megabytes: a script that asks for more fails instead.
class PacRunner {
public:
    PacRunner();
    ~PacRunner();
    PacRunner(const PacRunner&) = delete;
    PacRunner& operator=(const PacRunner&) = delete;

    /// Runs @p script; whether it ran and defines FindProxyForURL.
    [[nodiscard]] bool load(const std::string& script);
    /// FindProxyForURL(url, host) as a string; nullopt when it throws or answers no string.
    [[nodiscard]] std::optional<std::string> find_proxy(const std::string& url,
                                                        const std::string& host);

private:
    struct Heap;
    std::unique_ptr<Heap> heap_;
};

}  // namespace marlowin::proxy_helper
