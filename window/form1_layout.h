#pragma once

#include <array>
#include <string_view>

namespace marlowin {

/// 15 twips to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

[[nodiscard]] constexpr int twips_to_pixels(int twips) {
    return twips / kTwipsPerPixel;
}

/// The window's client area, in twips.
inline constexpr int kFormWidthTwips = 5085;
inline constexpr int kFormHeightTwips = 3450;

enum class ElementKind { Button, Label, SingleLineText, MultiLineText };

/// One element of Form1 as designed: name, kind, caption, and place and size in twips (from
/// the client area's top-left corner).
struct ElementLayout {
    std::string_view name;
    ElementKind kind;
    std::string_view caption;
    int left;
    int top;
    int width;
    int height;
    bool visible;
};

/// The elements of Form1, in tab order.
inline constexpr std::array<ElementLayout, 9> kForm1Layout = {{
    {"Command1", ElementKind::Button, "检索", 240, 2880, 975, 495, true},
    {"Text1", ElementKind::SingleLineText, "", 1080, 120, 3015, 375, true},
    {"Label1", ElementKind::Label, "目标网址：", 120, 240, 975, 375, true},
    {"Command2", ElementKind::Button, "提取", 1440, 2880, 975, 495, true},
    {"Text2", ElementKind::MultiLineText, "", 240, 720, 1095, 495, false},
    {"Command3", ElementKind::Button, "退出", 3840, 2880, 855, 495, true},
    {"Text3", ElementKind::MultiLineText, "", 240, 720, 4575, 1935, true},
    {"Command4", ElementKind::Button, "清空", 4200, 120, 735, 375, true},
    {"Command5", ElementKind::Button, "清空", 2640, 2880, 855, 495, true},
}};

// Form1 binds its buttons in the order they come in the table.
static_assert(
    [] {
        char next = '1';
        for (const ElementLayout& element : kForm1Layout) {
            if (element.kind == ElementKind::Button && element.name.back() != next++) {
                return false;
            }
        }
        return next == '6';
    }(),
    "the buttons come in the order Command1 to Command5");

/// The window's caption.
inline constexpr std::string_view kForm1Caption = "Kestrova";

}  // namespace marlowin
