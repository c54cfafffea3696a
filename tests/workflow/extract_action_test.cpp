#include "workflow/extract_action.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/workflow/workflow_fakes.h"

namespace marlowin {
namespace {

using testing::MemoryForm;
using testing::RecordingNotices;

struct ExtractCase {
    const char* name;
    std::string page;    // Text2 before
    std::string result;  // Text3 before
    std::string result_after;
    std::vector<Notice> notices;
};

void PrintTo(const ExtractCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtractOutcome : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractOutcome, WritesTheTitleAndShowsTheNoticesInOrder) {
    const ExtractCase& c = GetParam();
    MemoryForm form;
    form.values[Field::Text2] = c.page;
    form.values[Field::Text3] = c.result;
    RecordingNotices notices;

    extract(form, notices);

    EXPECT_EQ(form.values[Field::Text3], c.result_after);
    EXPECT_EQ(notices.shown, c.notices);
    EXPECT_EQ(form.values[Field::Text2], c.page) << "the page buffer is never changed";
}

using N = Notice;
INSTANTIATE_TEST_SUITE_P(
    Rows, ExtractOutcome,
    ::testing::Values(
        ExtractCase{"TitleFound", "<p><title>Example</title></p>", "", "Example", {N::ExtractDone}},
        ExtractCase{"TitleReplacesEarlier", "<title>New</title>", "Old", "New", {N::ExtractDone}},
        ExtractCase{"EmptyTitleEmptiesResult", "<title></title>", "Old", "", {N::ExtractNothing}},
        ExtractCase{"CapitalsKeepEmptyResult", "<TITLE>x</TITLE>", "", "", {N::ExtractNothing}},
        // A failed cut is not a success, whatever the result box still shows.
        ExtractCase{
            "CapitalsKeepEarlierTitle", "<TITLE>x</TITLE>", "Old", "Old", {N::ExtractNothing}},
        ExtractCase{"EndsWithOpenKeepsResult", "abc<title>", "typed", "typed", {N::ExtractNothing}},
        ExtractCase{"BothEmpty", "", "", "", {N::ExtractWithoutPage, N::ExtractNothing}},
        ExtractCase{"EmptyPageKeepsTypedText",
                    "",
                    "typed",
                    "typed",
                    {N::ExtractWithoutPage, N::ExtractNothing}},
        ExtractCase{"WhitespacePageNoTitle", " \r\n", "", "", {N::ExtractNothing}},
        ExtractCase{"WhitespaceTitle", "<title> </title>", "", " ", {N::ExtractDone}},
        ExtractCase{
            "MultiLineTitle", "<title>\r\n a \r\n</title>", "", "\r\n a \r\n", {N::ExtractDone}},
        ExtractCase{"ChineseTitle",
                    "<title>百度一下，你就知道</title>",
                    "",
                    "百度一下，你就知道",
                    {N::ExtractDone}}),
    [](const auto& info) { return std::string(info.param.name); });

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
        EXPECT_EQ(notices.shown, std::vector<Notice>{Notice::ExtractDone});
    }
}

TEST(Extract, ClearAndExtractAgainBringsTheSameTitleBack) {
    MemoryForm form;
    form.values[Field::Text2] = "<title>Same</title>";
    RecordingNotices notices;
    extract(form, notices);
    form.values[Field::Text3].clear();
    extract(form, notices);
    EXPECT_EQ(form.values[Field::Text3], "Same");
    EXPECT_EQ(notices.shown, (std::vector<Notice>{Notice::ExtractDone, Notice::ExtractDone}));
}

TEST(Extract, AFailingReadWhileCuttingCountsAsAFailedCut) {
    MemoryForm form;
    form.values[Field::Text2] = "<title>x</title>";
    form.values[Field::Text3] = "kept";
    bool first = true;
    form.on_read = [&](Field f) {
        if (f == Field::Text2 && first) {
            first = false;
            throw std::runtime_error("read failed");
        }
    };
    RecordingNotices notices;
    extract(form, notices);
    EXPECT_EQ(form.values[Field::Text3], "kept");
    EXPECT_EQ(notices.shown, std::vector<Notice>{Notice::ExtractNothing});
}

TEST(Extract, ChecksReadTheBoxesAfresh) {
    // What the person does while the first notice is open decides the second one.
    MemoryForm form;
    form.values[Field::Text2] = "";
    form.values[Field::Text3] = "";
    RecordingNotices notices;
    notices.while_open = [&](Notice n) {
        if (n == Notice::ExtractWithoutPage) {
            form.values[Field::Text3] = "typed meanwhile";
        }
    };
    extract(form, notices);
    // The cut failed, so even text typed meanwhile is not this run's success.
    EXPECT_EQ(notices.shown,
              (std::vector<Notice>{Notice::ExtractWithoutPage, Notice::ExtractNothing}));
    EXPECT_GE(form.reads[Field::Text2], 1);
}

TEST(Extract, ErrorsWhileCheckingAreNotSwallowed) {
    MemoryForm form;
    form.values[Field::Text2] = "<title>x</title>";
    RecordingNotices notices;
    notices.while_open = [](Notice) { throw std::runtime_error("notice failed"); };
    EXPECT_THROW(extract(form, notices), std::runtime_error);
    EXPECT_EQ(form.values[Field::Text3], "x");
}

}  // namespace
}  // namespace marlowin
