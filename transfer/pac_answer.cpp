#include "transfer/pac_answer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/ascii.h"

namespace marlowin {

namespace {

// The route one entry names; nullopt for an entry no browser knows.
std::optional<ProxyRoute> route_of(std::string_view entry) {
    entry = ascii::trim(entry);
    const std::size_t space = entry.find_first_of(" \t\r\n\f");
    const std::string_view method = entry.substr(0, space);
    if (space == std::string_view::npos) {
        return ascii::equal_ignoring_case(method, "direct") ? std::optional(ProxyRoute{})
                                                            : std::nullopt;
    }
    const std::string_view server = ascii::trim(entry.substr(space));
    const bool well_formed = !server.empty() &&
                             server.find_first_of(" \t\r\n\f/@") == std::string_view::npos &&
                             server.find(':') != std::string_view::npos;
    if (!well_formed) {
        return std::nullopt;
    }
    constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kMethods{{
        {"proxy", "http://"},
        {"http", "http://"},
        {"https", "https://"},
        {"socks", "socks5h://"},
        {"socks5", "socks5h://"},
        {"socks4", "socks4a://"},
    }};
    for (const auto& [name, scheme] : kMethods) {
        if (ascii::equal_ignoring_case(method, name)) {
            return ProxyRoute{std::string(scheme) + std::string(server)};
        }
    }
    return std::nullopt;
}

}  // namespace

ProxyRoutes routes_from_pac_answer(std::string_view answer, bool cut_short) {
    if (answer.size() > kMaxPacAnswerBytes) {
        answer = answer.substr(0, kMaxPacAnswerBytes);
        cut_short = true;
    }
    if (cut_short) {
        answer =
            answer.substr(0, answer.rfind(';') == std::string_view::npos ? 0 : answer.rfind(';'));
    }
    ProxyRoutes routes;
    while (!answer.empty() && routes.size() < kMaxPacRoutes) {
        const std::size_t end = answer.find(';');
        if (std::optional<ProxyRoute> route = route_of(answer.substr(0, end))) {
            if (std::find(routes.begin(), routes.end(), *route) == routes.end()) {
                routes.push_back(std::move(*route));
            }
        }
        answer = end == std::string_view::npos ? std::string_view() : answer.substr(end + 1);
    }
    if (routes.empty()) {
        routes.emplace_back();
    }
    return routes;
}

}  // namespace marlowin
