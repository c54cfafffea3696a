// The title cut on pages of growing size. With the title near the start the cut must not
// depend on the page's size; with no title it must run at memchr speed.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/ratio_report.h"
#include "workflow/title_cut.h"

namespace {

// Markup-like filler: '<' every few bytes, the worst case for a search led by '<'.
std::string filler(std::size_t size) {
    static const std::string unit =
        "<div class=\"item\"><p>\xE4\xB8\x80\xE4\xBA\x9B text &amp; more</p>"
        "<a href=\"/x\">link</a></div>\n";
    std::string page;
    page.reserve(size + unit.size());
    while (page.size() < size) {
        page += unit;
    }
    page.resize(size);
    return page;
}

std::string page_with_title(std::size_t size) {
    std::string page = "<html><head><meta charset=\"utf-8\"><title>Example page</title></head>";
    page += filler(size > page.size() ? size - page.size() : 0);
    return page;
}

void BM_CutTitleNearStart(benchmark::State& state) {
    const std::string page = page_with_title(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(marlowin::cut_title(page));
    }
}
BENCHMARK(BM_CutTitleNearStart)->Arg(1 << 10)->Arg(1 << 20)->Arg(100 << 20);

void BM_CutNoTitle(benchmark::State& state) {
    const std::string page = filler(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(marlowin::cut_title(page));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CutNoTitle)->Arg(100 << 20)->Unit(benchmark::kMillisecond);

// Baseline: a search for one byte the page does not hold (std::string::find on a char is
// memchr).
void BM_MemchrBaseline(benchmark::State& state) {
    const std::string page = filler(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(page.find('\x01'));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MemchrBaseline)->Arg(100 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return marlowin::bench::run_with_ratios(
        argc, argv,
        {
            {"cut, title near start: 100 MB page vs 1 KB page", "BM_CutTitleNearStart/104857600",
             "BM_CutTitleNearStart/1024", 2.0},
            {"cut, no title, 100 MB: time vs memchr scan", "BM_CutNoTitle/104857600",
             "BM_MemchrBaseline/104857600", 2.0},
        });
}
