// Each multi-byte decoder alone against ICU's converter for the same encoding, over the same
// 50 MB page of markup and prose: the exact decoder must not be the slow one.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/big_pages.h"
#include "bench/icu_converter.h"
#include "bench/ratio_report.h"
#include "decoding/encodings.h"
#include "decoding/text_decoder.h"

namespace {

using marlowin::EncodingId;

const std::string& page_in(EncodingId id) {
    static const std::string gbk = marlowin::bench::big_gbk_page();
    static const std::string big5 = marlowin::bench::big_big5_page();
    static const std::string shift_jis = marlowin::bench::big_shift_jis_page();
    static const std::string euc_kr = marlowin::bench::big_euc_kr_page();
    switch (id) {
        case EncodingId::Big5:
            return big5;
        case EncodingId::ShiftJis:
            return shift_jis;
        case EncodingId::EucKr:
            return euc_kr;
        default:
            return gbk;
    }
}

template <typename Decode>
void decode(benchmark::State& state, EncodingId id, const Decode& how) {
    const std::string& page = page_in(id);
    const marlowin::Encoding& encoding = marlowin::encoding(id);
    std::size_t malformed = 0;
    for (auto _ : state) {
        marlowin::DecodeResult result = how(encoding, page);
        malformed = result.malformed;
        benchmark::DoNotOptimize(result.text.data());
    }
    state.counters["malformed"] = static_cast<double>(malformed);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void ours(benchmark::State& state, EncodingId id) {
    decode(state, id, [](const marlowin::Encoding& encoding, const std::string& page) {
        return marlowin::decode_bytes(encoding, std::string_view(page));
    });
}
void icu(benchmark::State& state, EncodingId id) {
    decode(state, id, [](const marlowin::Encoding& encoding, const std::string& page) {
        return marlowin::decode_with_icu(encoding, page);
    });
}

BENCHMARK_CAPTURE(icu, Gbk, EncodingId::Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, Gbk, EncodingId::Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(icu, Big5, EncodingId::Big5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, Big5, EncodingId::Big5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(icu, ShiftJis, EncodingId::ShiftJis)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, ShiftJis, EncodingId::ShiftJis)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(icu, EucKr, EncodingId::EucKr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, EucKr, EncodingId::EucKr)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return marlowin::bench::run_with_ratios(
        argc, argv,
        {
            {"decode alone, 50 MB GBK page vs ICU's converter", "ours/Gbk", "icu/Gbk", 1.0},
            {"decode alone, 50 MB Big5 page vs ICU's converter", "ours/Big5", "icu/Big5", 1.0},
            {"decode alone, 50 MB Shift_JIS page vs ICU's converter", "ours/ShiftJis",
             "icu/ShiftJis", 1.0},
            {"decode alone, 50 MB EUC-KR page vs ICU's converter", "ours/EucKr", "icu/EucKr", 1.0},
        });
}
