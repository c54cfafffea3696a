#pragma once

#include <curl/curl.h>

#include <array>
#include <cstddef>
#include <string>

namespace marlowin {

/**
 * The numbers a failed fetch is reported with, each with exactly one Chinese description:
 * libcurl's code where libcurl names the cause (1 to 99), the server's status (400 to 599),
 * and Marlowin's own numbers for what libcurl has no code of its own for: 1001 and up for the
 * server's reply, 1101 and up for the proxy, and 1000 + its status for a proxy that refuses a
 * request (1407: it asks for sign-in). Every TransferError of the transfer is made here, so that
 * no description travels under another number.
 */
enum class Failure : int {
    HeadersTooLong = 1001,
    ConflictingLengths = 1002,
    SwitchedProtocols = 1003,
    TwoLocations = 1004,
    CannotDecode = 1005,
    TooLarge = 1006,
    AddressTooLong = 1007,
    Silence = 1008,
    ProxyUnreachable = 1101,
    ProxyCertificate = 1102,
    ProxyHandshake = 1103,
    ProxyKindUnsupported = 1104,
    ProxySettingMalformed = 1105,
    ProxyClosed = 1106,
    ProxyNotHttp = 1107,
    ProxyTimeout = 1108,
};

inline constexpr std::array kFailures{
    Failure::HeadersTooLong,        Failure::ConflictingLengths,
    Failure::SwitchedProtocols,     Failure::TwoLocations,
    Failure::CannotDecode,          Failure::TooLarge,
    Failure::AddressTooLong,        Failure::Silence,
    Failure::ProxyUnreachable,      Failure::ProxyCertificate,
    Failure::ProxyHandshake,        Failure::ProxyKindUnsupported,
    Failure::ProxySettingMalformed, Failure::ProxyClosed,
    Failure::ProxyNotHttp,          Failure::ProxyTimeout,
};

/// A proxy's refusal of a request with @p status is numbered 1000 + @p status.
inline constexpr int kProxyRefusalBase = 1000;

/// The Chinese description of libcurl's @p code, e.g. "无法连接到服务器（连接被拒绝）"; every code
/// has one, so libcurl's English texts go into the details only.
[[nodiscard]] std::string describe_curl_error(CURLcode code);

/// The description of an HTTP status of 400 or above, e.g. "服务器返回 404（未找到）".
[[nodiscard]] std::string describe_http_status(long status);

/// The description of one of Marlowin's own failures; @p cap is the largest document accepted,
/// which TooLarge names.
[[nodiscard]] std::string describe_failure(Failure failure, std::size_t cap);

/// The description of a proxy's refusal with @p status, e.g. "代理服务器要求登录（407）".
[[nodiscard]] std::string describe_proxy_refusal(long status);

/// The description of any number a TransferError of the transfer carries; empty for a number
/// none carries. @p cap as for describe_failure().
[[nodiscard]] std::string describe_number(int number, std::size_t cap);

/// Throw the TransferError of each kind, with its number and its one description.
[[noreturn]] void fail_curl(CURLcode code, std::string detail);
[[noreturn]] void fail_status(long status, std::string detail);
[[noreturn]] void fail(Failure failure, std::string detail, std::size_t cap = 0);
[[noreturn]] void fail_proxy_refusal(long status, std::string detail);

}  // namespace marlowin
