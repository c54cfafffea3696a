// The system's proxy settings on Linux and the BSDs: libproxy reads the desktop's (GNOME,
// KDE), the environment's and the network's (WPAD), and runs PAC scripts.
#include <proxy.h>

#include <atomic>

#include "decoding/c_handle.h"
#include "transfer/proxy_route.h"

namespace marlowin {

std::vector<std::string> system_proxies_for(const std::string& url, const std::string& /*scheme*/,
                                            const std::string& /*host*/) {
    // libproxy loads its plugins (the PAC runner among them, with its JavaScript engine) for
    // each factory and unloads them with the last one, but the engine leaves per-thread data
    // whose destructors would then run in unloaded code. One factory kept for the life of the
    // process keeps them loaded; it is never freed on purpose.
    // (Atomic, so that the pointer is stored where leak checkers find it, though never read.)
    static const std::atomic<pxProxyFactory*> keeper{px_proxy_factory_new()};
    // A factory per question: one stuck in a PAC download would hold its lock for the next.
    const CHandle<pxProxyFactory, px_proxy_factory_free> factory(px_proxy_factory_new());
    if (!factory) {
        return {};
    }
    const CHandle<char*, px_proxy_factory_free_proxies> proxies(
        px_proxy_factory_get_proxies(factory.get(), url.c_str()));
    std::vector<std::string> list;
    for (char** entry = proxies.get(); entry != nullptr && *entry != nullptr; ++entry) {
        list.emplace_back(*entry);
    }
    return list;
}

}  // namespace marlowin
