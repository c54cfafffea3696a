#pragma once

#include <stdexcept>
#include <string>

namespace marlowin {

/**
 * A fetch that failed. Carries the error number (libcurl's code for transport failures,
 * the HTTP status for statuses of 400 and above), a Chinese description for the person,
 * and the technical detail for those who want it.
 */
class TransferError : public std::runtime_error {
public:
    TransferError(int number, std::string description, std::string detail = {});

    [[nodiscard]] int number() const noexcept { return number_; }
    [[nodiscard]] const std::string& description() const noexcept { return description_; }
    [[nodiscard]] const std::string& detail() const noexcept { return detail_; }

private:
    int number_;
    std::string description_;
    std::string detail_;
};

/// A fetch stopped because the person cancelled it. Not a failure to report.
class TransferCancelled : public std::runtime_error {
public:
    TransferCancelled() : std::runtime_error("transfer cancelled") {}
};

}  // namespace marlowin
