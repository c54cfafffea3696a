#include "workflow/extract_action.h"

#include <exception>
#include <string>
#include <string_view>

#include "workflow/title_cut.h"

namespace marlowin {

namespace {

// The title as the result box shows it: whole up to the limit, else its first characters
// (counted as UTF-8 sequences, never cutting one) and "…".
std::string shown_title(std::string_view title) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < title.size(); ++at) {
        if ((static_cast<unsigned char>(title[at]) & 0xC0) != 0x80 &&
            characters++ == kShownTitleLimit) {
            return std::string(title.substr(0, at)) + "…";
        }
    }
    return std::string(title);
}

// Returns whether a title was cut and written; the result box is left alone otherwise.
bool cut_into_result_box(FormFields& fields) noexcept {
    try {
        const std::string_view page = fields.view(Field::Text2);
        const auto title = cut_title(page);
        if (!title) {
            return false;
        }
        fields.write(Field::Text3, shown_title(*title));
        return true;
    } catch (const std::exception&) {
        return false;  // any failure while cutting is a failed cut, reported by the checks
    }
}

}  // namespace

void extract(FormFields& fields, NoticeSink& notices) {
    const bool cut = cut_into_result_box(fields);

    if (fields.is_empty(Field::Text2)) {
        notices.show(Notice::ExtractWithoutPage);
    }
    // Text3 alone would report an earlier title as this run's success; the cut must have
    // succeeded too.
    if (cut && !fields.is_empty(Field::Text3)) {
        notices.show(Notice::ExtractDone);
    } else {
        notices.show(Notice::ExtractNothing);
    }
}

}  // namespace marlowin
