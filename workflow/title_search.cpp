#include "workflow/title_search.h"

#include "workflow/title_cut.h"

namespace marlowin {

std::size_t find_title_open(std::string_view page) {
    return page.find(kTitleOpen);
}

}  // namespace marlowin
