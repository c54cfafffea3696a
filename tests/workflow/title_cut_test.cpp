#include "workflow/title_cut.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "tests/support/split_reference.h"

namespace marlowin {
namespace {

using namespace std::string_literals;

struct CutCase {
    const char* name;
    std::string page;
    std::optional<std::string> title;  // nullopt: the cut fails
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class TitleCutTable : public ::testing::TestWithParam<CutCase> {};

TEST_P(TitleCutTable, CutsAsTheSplitRulesSay) {
    const CutCase& c = GetParam();
    const auto got = cut_title(c.page);
    ASSERT_EQ(got.has_value(), c.title.has_value());
    if (got) {
        EXPECT_EQ(std::string(*got), *c.title);
    }
    // The table itself must agree with the literal Split reading.
    EXPECT_EQ(testing::reference_cut(c.page), c.title);
}

const CutCase kCases[] = {
    {"PlainTitleInMarkup", "<html><head><title>Example</title></head></html>", "Example"},
    {"EmptyPage", "", std::nullopt},
    {"NoMarker", "<html><head></head><body>hi</body></html>", std::nullopt},
    {"CapitalMarkers", "<TITLE>Example</TITLE>", std::nullopt},
    {"MixedCaseMarker", "<Title>Example</Title>", std::nullopt},
    {"MarkerWithAttributes", "<title lang=\"en\">Example</title>", std::nullopt},
    {"CloseRightAfterOpen", "<title></title>", ""},
    {"SecondOpenBeforeClose", "<title>A<title>B</title>", "A"},
    {"NoCloseRunsToEnd", "<title>A", "A"},
    {"PageEndsWithFirstOpen", "text<title>", std::nullopt},
    {"PageIsOnlyOpen", "<title>", std::nullopt},
    {"OpenTwiceInARow", "<title><title>x</title>", std::nullopt},
    {"PageIsOnlyClose", "</title>", std::nullopt},
    {"CloseBeforeOpenIsIgnored", "</title><title>T</title>", "T"},
    {"OpenAtVeryStartCloseAtVeryEnd", "<title>whole</title>", "whole"},
    {"OnlyCloseAfterOpen", "<title></title>rest", ""},
    {"CloseThenAnotherOpen", "<title>a</title><title>b</title>", "a"},
    {"NoCloseButLaterOpen", "<title>first<p>body<title>second", "first<p>body"},
    {"NearMissMarkers", "<title>a<titl><title <title/></titl></title",
     "a<titl><title <title/></titl></title"},
    {"LessThanRuns", "<title><<<</title>", "<<<"},
    {"CloseWithSpaceIsNotClose", "<title>a</title >b</title>", "a</title >b"},
    {"MultiLineTitle", "<title>\r\n  Line one\r\n  Line two\n</title>",
     "\r\n  Line one\r\n  Line two\n"},
    {"SpacesKept", "<title>  spaced  </title>", "  spaced  "},
    {"EntitiesNotDecoded", "<title>A &amp; B &#20013;</title>", "A &amp; B &#20013;"},
    {"TagsInsideKept", "<title><b>bold</b></title>", "<b>bold</b>"},
    {"ChineseAround", "中文<title>标题</title>中文", "标题"},
    {"ChineseInside", "<title>百度一下，你就知道</title>", "百度一下，你就知道"},
    {"FourByteCharacters", "<title>😀𠀀</title>", "😀𠀀"},
    {"NulBytesAround", "\0\0<title>a\0b</title>\0"s, "a\0b"s},
    {"NulInsideMarkerBreaksIt", "<tit\0le>x</title>"s, std::nullopt},
    {"TitleOnlyWhitespace", "<title> </title>", " "},
};

INSTANTIATE_TEST_SUITE_P(Cases, TitleCutTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every page built from a few awkward pieces, up to five of them, cuts exactly as the
// literal Split reading does. This covers the orders of markers that a table would miss.
TEST(TitleCut, AgreesWithSplitReadingOnEveryShortCombination) {
    const std::array<std::string, 7> pieces = {"<title>", "</title>", "a", "<", "/", "中", "\n"};
    std::size_t checked = 0;
    std::string page;
    const auto visit = [&](auto&& self, int depth) -> void {
        const auto got = cut_title(page);
        const auto want = testing::reference_cut(page);
        ASSERT_EQ(got.has_value(), want.has_value()) << "page: " << page;
        if (got) {
            ASSERT_EQ(std::string(*got), *want) << "page: " << page;
        }
        ++checked;
        if (depth == 5) {
            return;
        }
        for (const auto& piece : pieces) {
            page += piece;
            self(self, depth + 1);
            page.resize(page.size() - piece.size());
        }
    };
    visit(visit, 0);
    EXPECT_GT(checked, 19000u);
}

// Long pages take the block-wise search; put the marker at every offset among decoys that
// share some of its bytes, so each lane and the tail are exercised.
TEST(TitleCut, FindsTheMarkerAtEveryOffsetAmongDecoys) {
    const std::string decoys = "<ti><i>x>title><tile><titl><Title><title <TITLE>< title>";
    for (std::size_t size = 0; size < 100; ++size) {
        std::string filler;
        while (filler.size() < size) {
            filler += decoys;
        }
        filler.resize(size);
        for (std::size_t at = 0; at <= size; ++at) {
            const std::string page = filler.substr(0, at) + "<title>T</title>" + filler.substr(at);
            const auto want = testing::reference_cut(page);
            const auto got = cut_title(page);
            ASSERT_TRUE(want && got) << page;
            ASSERT_EQ(std::string(*got), *want) << page;
        }
        ASSERT_FALSE(cut_title(filler)) << filler;
    }
}

TEST(TitleCut, ResultIsAViewIntoThePage) {
    const std::string page = "xx<title>abc</title>";
    const auto got = cut_title(page);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->data(), page.data() + 9);
}

}  // namespace
}  // namespace marlowin
