#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace marlowin {

/// The description of a reply that is not HTTP at all.
inline constexpr std::string_view kNotHttpReply = "服务器的回应不是有效的 HTTP";

/// A Chinese description of a libcurl failure for the person, e.g. "无法连接到服务器".
/// Codes without a description of ours get libcurl's own (English) text.
[[nodiscard]] std::string describe_curl_error(CURLcode code);

/// A Chinese description of an HTTP status of 400 or above, e.g. "服务器返回 404（未找到）".
[[nodiscard]] std::string describe_http_status(long status);

}  // namespace marlowin
