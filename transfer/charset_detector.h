#pragma once

#include <string>
#include <string_view>

namespace marlowin {

/// uchardet's guess at the encoding of @p bytes, by its name (e.g. "GB18030", "BIG5",
/// "WINDOWS-1252"), or the empty text when it has none. Looks at the first megabyte only.
[[nodiscard]] std::string guess_charset(std::string_view bytes);

}  // namespace marlowin
