#pragma once

#include <QString>

#include <string_view>

namespace marlowin {

/// UTF-8 text from below the window as a QString.
inline QString to_qstring(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace marlowin
