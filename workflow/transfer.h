#pragma once

#include <string>

namespace marlowin {

/**
 * The HTTP client the retrieve action fetches through (the window's `Inet1`).
 *
 * open_url() is synchronous: it returns only when the whole document has arrived or the
 * attempt has ended. It returns the whole document as UTF-8 text, the empty text when
 * nothing arrived, and throws TransferError (or TransferCancelled) otherwise.
 */
class Transfer {
public:
    /// Protocol codes as the component numbers them; the workflow only ever selects HTTP.
    enum class Protocol { Http = 4 };

    virtual ~Transfer() = default;
    virtual void set_protocol(Protocol protocol) = 0;
    [[nodiscard]] virtual std::string open_url(const std::string& address) = 0;
};

}  // namespace marlowin
