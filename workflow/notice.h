#pragma once

#include <string_view>

namespace marlowin {

/// The five fixed notices of the page workflow.
enum class Notice {
    RetrieveDone,        ///< "检索完毕！"
    RetrieveFailed,      ///< "对不起，检索失败！"
    ExtractWithoutPage,  ///< "对不起，检索失败，不能进行提取！"
    ExtractNothing,      ///< "对不起，未提取到内容！"
    ExtractDone,         ///< "提取成功！"
};

/// The notice's text, UTF-8, with its full-width punctuation.
[[nodiscard]] std::string_view notice_text(Notice notice);

/// The caption every notice and error report carries.
inline constexpr std::string_view kApplicationTitle = "Marlowin";

/**
 * Shows notices to the person. show() is modal: it returns when the notice has been
 * dismissed, so the action that called it goes on only then.
 */
class NoticeSink {
public:
    virtual ~NoticeSink() = default;
    virtual void show(Notice notice) = 0;
};

}  // namespace marlowin
