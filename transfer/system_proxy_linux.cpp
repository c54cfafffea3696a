// The system's proxy settings on Linux and the BSDs, asked of marlowin-proxy-helper, a process
// of its own for each question: it finds the PAC script the settings name (the environment's,
// GNOME's or KDE's) and fetches and runs it, or else asks libproxy for the desktop's manual
// settings. Whatever the script or the library does, the question ends within the budget or
// the moment the fetch is cancelled, and the helper with it.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "transfer/helper_process.h"
#include "transfer/pac_answer.h"
#include "transfer/proxy_route.h"
#include "transfer/slow_sources.h"

namespace marlowin {

namespace {

// What the slow sources remember when the desktop's manual settings, through libproxy, took
// too long.
constexpr const char* kLibproxy = "libproxy";

// Whether the system has settings beyond the environment's own proxies, which are decided
// before: a desktop session whose settings libproxy reads, a PAC script named in the
// environment, or the settings file of some distributions.
bool settings_to_ask() {
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "GNOME_DESKTOP_SESSION_ID",
                             "KDE_FULL_SESSION"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            return true;
        }
    }
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && (std::string_view(value).starts_with("pac+") ||
                                 std::string_view(value).starts_with("wpad:"))) {
            return true;
        }
    }
    return access("/etc/sysconfig/proxy", R_OK) == 0;
}

// The helper beside this code's own file: the transfer module in lib/marlowin/, or a program
// in bin/ with lib/marlowin/ beside it.
std::string helper_program() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&settings_to_ask), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    const std::filesystem::path here = std::filesystem::path(info.dli_fname).parent_path();
    for (const std::filesystem::path& candidate :
         {here / "marlowin-proxy-helper", here / "../lib/marlowin/marlowin-proxy-helper"}) {
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

SlowSources& slow_sources() {
    static SlowSources sources;
    return sources;
}

}  // namespace

ProxyRoutes system_routes(const std::string& question, const std::string& host,
                          const std::stop_token& stop) {
    static const std::string program = helper_program();
    if (!settings_to_ask() || program.empty()) {
        return {ProxyRoute{}};
    }
    // The sources that failed lately go along, so that the helper does not even start on one.
    std::optional<HelperProcess> helper = HelperProcess::start(
        program, question + '\n' + host + '\n' + slow_sources().recent_lines());
    if (!helper) {
        return {ProxyRoute{}};
    }
    const auto deadline = std::chrono::steady_clock::now() + kResolverBudget;
    std::string source = kLibproxy;
    std::vector<std::string> list;
    for (;;) {
        std::string line;
        const HelperProcess::Read read =
            helper->read_line(line, kMaxPacAnswerBytes + 16, deadline, stop);
        if (read == HelperProcess::Read::TimedOut || read == HelperProcess::Read::Ended) {
            slow_sources().note(source);  // too slow, or lost: not asked again for a while
            return {ProxyRoute{}};
        }
        const std::size_t space = line.find(' ');
        const std::string_view word = std::string_view(line).substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (word == "source" || word == "asking") {
            source = word == "source" ? rest : kLibproxy;
        } else if (word == "slow") {
            return {ProxyRoute{}};
        } else if (word == "answer") {
            return routes_from_pac_answer(rest, read == HelperProcess::Read::CutLine);
        } else if (word == "failed") {
            slow_sources().note(source);
            return {ProxyRoute{}};
        } else if (word == "list") {
            list.push_back(rest);
        } else if (word == "end") {
            return routes_from_answer(list);
        }
    }
}

}  // namespace marlowin
