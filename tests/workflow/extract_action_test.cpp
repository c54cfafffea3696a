#include "workflow/extract_action.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "tests/workflow/workflow_fakes.h"

namespace marlowin {
namespace {

using testing::MemoryForm;
using testing::RecordingNotices;
using N = Notice;

TEST(Extract, WritesTheTitleAndShowsTheNoticesInOrder) {
    const struct {
        std::string page;    // Text2 before
        std::string result;  // Text3 before, and after when the cut fails
        std::string result_after;
        std::vector<Notice> notices;
    } rows[] = {
        {"<p><title>Example</title></p>", "Old", "Example", {N::ExtractDone}},
        {"<title></title>", "Old", "", {N::ExtractNothing}},
        // A failed cut is not a success, whatever the result box still shows.
        {"<TITLE>x</TITLE>", "Old", "Old", {N::ExtractNothing}},
        {"", "", "", {N::ExtractWithoutPage, N::ExtractNothing}},
        {"", "typed", "typed", {N::ExtractWithoutPage, N::ExtractNothing}},
    };
    for (const auto& row : rows) {
        MemoryForm form;
        form.values[Field::Text2] = row.page;
        form.values[Field::Text3] = row.result;
        RecordingNotices notices;
        extract(form, notices);
        EXPECT_EQ(form.values[Field::Text3], row.result_after) << row.page;
        EXPECT_EQ(notices.shown, row.notices) << row.page;
        EXPECT_EQ(form.values[Field::Text2], row.page) << "the page buffer is never changed";
    }
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// A title longer than the result box takes is shown as its first characters and "…", and
// the extraction still succeeded.
TEST(Extract, AHugeTitleIsShownAsItsBeginning) {
    const std::size_t limit = kShownTitleLimit;
    const struct {
        std::string title;
        std::string shown;
    } rows[] = {
        {repeated("a", limit), repeated("a", limit)},
        {repeated("a", limit + 1), repeated("a", limit) + "…"},
        {repeated("中", limit + 1), repeated("中", limit) + "…"},
        {repeated("😀", limit) + "a", repeated("😀", limit) + "…"},
    };
    for (const auto& row : rows) {
        MemoryForm form;
        form.values[Field::Text2] = "<title>" + row.title + "</title>";
        RecordingNotices notices;
        extract(form, notices);
        EXPECT_TRUE(form.values[Field::Text3] == row.shown) << row.title.size() << " bytes";
        EXPECT_EQ(notices.shown, std::vector<Notice>{N::ExtractDone});
    }
}

// An error while cutting is a failed cut, reported by the checks; an error while checking
// leaves the action.
TEST(Extract, ErrorsWhileCuttingAreCaughtButNotWhileChecking) {
    MemoryForm form;
    form.values[Field::Text2] = "<title>x</title>";
    form.values[Field::Text3] = "kept";
    bool fail = true;
    form.on_read = [&](Field field) {
        if (field == Field::Text2 && std::exchange(fail, false)) {
            throw std::runtime_error("read failed");
        }
    };
    RecordingNotices notices;
    extract(form, notices);
    EXPECT_EQ(form.values[Field::Text3], "kept");
    EXPECT_EQ(notices.shown, std::vector<Notice>{N::ExtractNothing});

    notices.while_open = [](Notice) { throw std::runtime_error("notice failed"); };
    EXPECT_THROW(extract(form, notices), std::runtime_error);
    EXPECT_EQ(form.values[Field::Text3], "x");
}

}  // namespace
}  // namespace marlowin
