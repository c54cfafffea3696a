#include "workflow/extract_action.h"

#include <exception>
#include <string>

#include "workflow/title_cut.h"

namespace marlowin {

namespace {

// Returns whether a title was cut and written; the result box is left alone otherwise.
bool cut_into_result_box(FormFields& fields) noexcept {
    try {
        const std::string page = fields.read(Field::Text2);
        const auto title = cut_title(page);
        if (!title) {
            return false;
        }
        fields.write(Field::Text3, std::string(*title));
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
