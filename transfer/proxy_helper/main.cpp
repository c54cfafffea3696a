// marlowin-proxy-helper: answers one question of the transfer, "which proxies for this
// address?", in a process of its own, so that a PAC script or a proxy library that loops,
// grows or crashes can be stopped or lost without the window. The transfer writes the address
// (as resolver_question() makes it), its host and the sources that failed lately on standard
// input, one per line, and reads lines back:
//   source URL       the settings name the PAC script at URL (before it is fetched)
//   slow             that script, or libproxy, failed lately: no answer, a direct connection
//   failed           that script cannot be fetched or does not run
//   answer TEXT      what its FindProxyForURL said
//   asking libproxy  otherwise: the desktop's settings are asked of libproxy (before it is)
//   list ENTRY       each entry of libproxy's answer, then "end"
#include <proxy.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <set>
#include <string>

#include "base/c_handle.h"
#include "transfer/proxy_helper/pac_download.h"
#include "transfer/proxy_helper/pac_location.h"
#include "transfer/proxy_helper/pac_runner.h"

namespace {

constexpr std::size_t kMaxAnswerBytes = std::size_t{64} << 10;

void say(const std::string& line) {
    std::cout << line << '\n' << std::flush;
}

// A backstop beside the heap's own cap and the transfer's clock: whatever loads, its memory
// and processor time are bounded. (Sanitizers reserve far more address space on purpose.)
void limit_resources() {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const rlimit data{rlim_t{1} << 30, rlim_t{1} << 30};
    setrlimit(RLIMIT_DATA, &data);
#endif
    const rlimit cpu{30, 30};
    setrlimit(RLIMIT_CPU, &cpu);
}

int answer_from_pac(const std::string& location, const std::string& question,
                    const std::string& host, const std::set<std::string>& slow) {
    say("source " + location);
    if (slow.contains(location)) {
        say("slow");
        return 0;
    }
    const std::optional<std::string> script = marlowin::proxy_helper::download_pac(location);
    marlowin::proxy_helper::PacRunner runner;
    if (!script || !runner.load(*script)) {
        say("failed");
        return 0;
    }
    std::string answer = runner.find_proxy(question, host).value_or("DIRECT");
    answer.resize(std::min(answer.size(), kMaxAnswerBytes));
    std::replace_if(
        answer.begin(), answer.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    say("answer " + answer);
    return 0;
}

int answer_from_libproxy(const std::string& question, const std::set<std::string>& slow) {
    using marlowin::CHandle;
    say("asking libproxy");
    if (slow.contains("libproxy")) {
        say("slow");
        return 0;
    }
    const CHandle<pxProxyFactory, px_proxy_factory_free> factory(px_proxy_factory_new());
    if (factory) {
        const CHandle<char*, px_proxy_factory_free_proxies> proxies(
            px_proxy_factory_get_proxies(factory.get(), question.c_str()));
        for (char** entry = proxies.get(); entry != nullptr && *entry != nullptr; ++entry) {
            say(std::string("list ") + *entry);
        }
    }
    say("end");
    return 0;
}

}  // namespace

int main() {
    limit_resources();
    std::string question;
    std::string host;
    if (!std::getline(std::cin, question) || !std::getline(std::cin, host)) {
        return 1;
    }
    std::set<std::string> slow;
    for (std::string source; std::getline(std::cin, source);) {
        slow.insert(source);
    }
    if (const std::optional<std::string> location = marlowin::proxy_helper::pac_location()) {
        return answer_from_pac(*location, question, host, slow);
    }
    return answer_from_libproxy(question, slow);
}
