#pragma once

#include <cstddef>

#include "workflow/form_fields.h"
#include "workflow/notice.h"

namespace marlowin {

/// The most characters of a title the result box receives. A longer title is shown as its
/// first kShownTitleLimit characters followed by "…": laying out a title of millions of
/// characters as one line would stall the window for seconds and take gigabytes.
inline constexpr std::size_t kShownTitleLimit = 65536;

/**
 * The extract action: cuts the title out of the page buffer Text2 into the result box Text3,
 * then reports.
 *
 * When the cut fails, Text3 keeps exactly what it held (an earlier title, or what the person
 * typed). Any error while cutting is caught and counts as a failed cut. The notices, in
 * order: "对不起，检索失败，不能进行提取！" when Text2 is empty; then "提取成功！" when this
 * run's cut wrote a non-empty title into Text3, otherwise "对不起，未提取到内容！".
 */
void extract(FormFields& fields, NoticeSink& notices);

}  // namespace marlowin
