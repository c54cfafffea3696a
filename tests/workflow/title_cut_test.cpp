#include "workflow/title_cut.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "tests/shared/split_reference.h"

namespace marlowin {
namespace {

using namespace std::string_literals;

void expect_cut(const std::string& page, const std::optional<std::string>& want) {
    const auto got = cut_title(page);
    ASSERT_EQ(got.has_value(), want.has_value()) << page;
    if (got) {
        EXPECT_EQ(std::string(*got), *want) << page;
    }
}

// Cases worked out by hand, which also hold the literal Split reading to account.
TEST(TitleCut, CutsAsTheSplitRulesSay) {
    const struct {
        std::string page;
        std::optional<std::string> title;  // nullopt: the cut fails
    } rows[] = {
        {"<html><head><title>Example</title></head></html>", "Example"},
        {"<TITLE>Example</TITLE><title lang=en>x</title>", std::nullopt},
        {"<title></title>", ""},
        {"<title>A<title>B</title>", "A"},
        {"text<title>", std::nullopt},
        {"<title><title>x</title>", std::nullopt},
        {"<title>\r\n a &amp; <b>b</b> 中😀\0 </title >\n"s,
         "\r\n a &amp; <b>b</b> 中😀\0 </title >\n"s},
    };
    for (const auto& row : rows) {
        expect_cut(row.page, row.title);
        EXPECT_EQ(testing::reference_cut(row.page), row.title) << row.page;
    }
}

// Every page built from a few awkward pieces, up to five of them, cuts exactly as the
// literal Split reading does. This covers the orders of markers that a table would miss.
TEST(TitleCut, AgreesWithSplitReadingOnEveryShortCombination) {
    const std::array<std::string, 7> pieces = {"<title>", "</title>", "a", "<", "/", "中", "\n"};
    std::size_t checked = 0;
    std::string page;
    const auto visit = [&](auto&& self, int depth) -> void {
        expect_cut(page, testing::reference_cut(page));
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
            expect_cut(filler.substr(0, at) + "<title>T</title>" + filler.substr(at), "T");
        }
        expect_cut(filler, std::nullopt);
    }
}

}  // namespace
}  // namespace marlowin
