#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace marlowin::proxy_helper {

/// The most of a PAC script that is read, as browsers cap it: real scripts are kilobytes.
inline constexpr std::size_t kMaxPacBytes = std::size_t{4} << 20;

/// The PAC script at @p url (http, https or file), fetched directly, never through a proxy;
/// nullopt when it cannot be had whole, or at once when it grows past kMaxPacBytes.
[[nodiscard]] std::optional<std::string> download_pac(const std::string& url);

}  // namespace marlowin::proxy_helper
