#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace marlowin {

/// The descriptions of failures that libcurl has no code of its own for.
inline constexpr std::string_view kNotHttpReply = "服务器的回应不是有效的 HTTP";
inline constexpr std::string_view kHeadersTooLong = "服务器发送的响应头过长，已停止接收";
inline constexpr std::string_view kConflictingLengths = "服务器声明的内容长度前后矛盾，已拒绝接收";
inline constexpr std::string_view kCannotDecode = "无法把网页的字节转换为文字";
inline constexpr std::string_view kBrokenBody = "网页的压缩数据不完整或已损坏";
inline constexpr std::string_view kSwitchedProtocols = "服务器改用了其他协议，回应的不是网页";

/// A Chinese description of a libcurl failure for the person, e.g. "无法连接到服务器"; every
/// code has one, so libcurl's English texts go into the details only.
[[nodiscard]] std::string describe_curl_error(CURLcode code);

/// A Chinese description of libcurl's @p code where the fault is the proxy's: it cannot be
/// found or reached, or its certificate is refused.
[[nodiscard]] std::string describe_proxy_error(CURLcode code);

/// A Chinese description of a proxy's refusal of a CONNECT request with @p status, e.g.
/// "代理服务器要求登录（407）".
[[nodiscard]] std::string describe_proxy_refusal(long status);

/// A Chinese description of an HTTP status of 400 or above, e.g. "服务器返回 404（未找到）".
[[nodiscard]] std::string describe_http_status(long status);

}  // namespace marlowin
