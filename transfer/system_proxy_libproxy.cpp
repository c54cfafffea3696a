// The system's proxy settings on Linux and the BSDs: libproxy reads the desktop's (GNOME,
// KDE), the environment's and the network's (WPAD), and runs PAC scripts.
#include <proxy.h>

#include <atomic>
#include <chrono>

#include "base/c_handle.h"
#include "transfer/abandonable_call.h"
#include "transfer/proxy_route.h"

namespace marlowin {

namespace {

std::vector<std::string> libproxy_answer(const std::string& question) {
    static const std::atomic<pxProxyFactory*> keeper{px_proxy_factory_new()};
    const CHandle<pxProxyFactory, px_proxy_factory_free> factory(px_proxy_factory_new());
    if (!factory) {
        return {};
    }
    const CHandle<char*, px_proxy_factory_free_proxies> proxies(
        px_proxy_factory_get_proxies(factory.get(), question.c_str()));
    std::vector<std::string> list;
    for (char** entry = proxies.get(); entry != nullptr && *entry != nullptr; ++entry) {
        list.emplace_back(*entry);
    }
    return list;
}

}  // namespace

ProxyRoutes system_routes(const std::string& question, const std::string& /*host*/,
                          const std::stop_token& stop) {
    std::optional<std::vector<std::string>> answer;
    try {
        answer = call_abandonably([question] { return libproxy_answer(question); },
                                  std::chrono::seconds(3), stop);
    } catch (const std::system_error&) {
        return {ProxyRoute{}};
    }
    return answer ? routes_from_answer(*answer) : ProxyRoutes{ProxyRoute{}};
}

}  // namespace marlowin
