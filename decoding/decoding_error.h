#pragma once

#include <stdexcept>
#include <string>

namespace marlowin {

/// Decoding stopped because its stop token was requested: the fetch it serves was cancelled.
class DecodingCancelled : public std::runtime_error {
public:
    DecodingCancelled() : std::runtime_error("decoding cancelled") {}
};

/// The bytes could not be decoded at all: the data a decoder needs (ICU's converters) is
/// missing. Malformed input is never this: it becomes U+FFFD.
class DecodingError : public std::runtime_error {
public:
    explicit DecodingError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace marlowin
