#pragma once

#include <memory>

namespace marlowin {

/// Frees a C library's handle with that library's own function.
template <auto Free>
struct CFree {
    template <typename T>
    void operator()(T* handle) const {
        Free(handle);
    }
};

/// An owned handle of a C library (ICU, uchardet, libcurl), freed by @p Free.
template <typename T, auto Free>
using CHandle = std::unique_ptr<T, CFree<Free>>;

}  // namespace marlowin
