#include "bench/ratio_report.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace marlowin::bench {

namespace {

// Prints as usual and keeps each run's real time per iteration, in seconds.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                seconds[run.benchmark_name()] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                for (const auto& [name, counter] : run.counters) {
                    counters[run.benchmark_name() + "#" + name] = counter.value;
                }
            }
        }
    }
    std::map<std::string, double> seconds;
    std::map<std::string, double> counters;
};

// The filter that runs the one benchmark reported as @p name.
std::string only(const std::string& name) {
    std::string pattern(1, '^');  // built up, not added: GCC 12 warns falsely of overlaps
    for (const char c : name) {
        if (std::string_view(R"(.^$|()[]{}*+?\)").find(c) != std::string_view::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    pattern += '$';
    return pattern;
}

// How many rounds each measured pair gets; MARLOWIN_BENCH_ROUNDS changes it.
int rounds() {
    const char* set = std::getenv("MARLOWIN_BENCH_ROUNDS");
    return set != nullptr && std::atoi(set) > 0 ? std::atoi(set) : 5;
}

struct Figure {
    double median = -1;
    double low = -1;
    double high = -1;
};

// The baseline and the measured benchmark run one after the other, in several rounds (each
// round in the other order than the one before), each round's ratio taken and the median of
// them kept: a machine busy with other work slows both of a round alike, and a burst of load
// in one round does not decide the figure.
Figure interleaved(RecordingReporter& reporter, const Ratio& r) {
    // Only pairs that the first pass ran (a --benchmark_filter may leave some out).
    if (!reporter.seconds.contains(r.measured) || !reporter.seconds.contains(r.baseline)) {
        return {};
    }
    std::vector<double> each;
    for (int round = 0; round < rounds(); ++round) {
        const bool baseline_first = round % 2 == 0;
        for (const std::string* name : baseline_first ? std::array{&r.baseline, &r.measured}
                                                      : std::array{&r.measured, &r.baseline}) {
            reporter.seconds.erase(*name);
            benchmark::RunSpecifiedBenchmarks(&reporter, only(*name));
        }
        const auto m = reporter.seconds.find(r.measured);
        const auto b = reporter.seconds.find(r.baseline);
        if (m == reporter.seconds.end() || b == reporter.seconds.end() || b->second <= 0) {
            return {};
        }
        each.push_back(m->second / b->second);
    }
    std::sort(each.begin(), each.end());
    return {each[each.size() / 2], each.front(), each.back()};
}

}  // namespace

int run_with_ratios(int argc, char** argv, const std::vector<Ratio>& ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RecordingReporter reporter;
    // Once through every benchmark: the counters, and everything warmed up.
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::string table;
    std::string missed;
    char line[256];
    for (const auto& r : ratios) {
        Figure figure;
        if (!r.counter.empty()) {
            const auto c = reporter.counters.find(r.measured + "#" + r.counter);
            figure.median = figure.low = figure.high =
                c == reporter.counters.end() ? -1 : c->second;
        } else {
            figure = interleaved(reporter, r);
        }
        const double ratio = figure.median;
        // A figure that could not be measured has not met its target either; one without a
        // target is reported only.
        const bool reported = r.target < 0;
        const bool met = reported || (ratio >= 0 && ratio <= r.target);
        if (reported) {
            std::snprintf(line, sizeof line, "%-56s %8.3f %8s  %-6s %.2f-%.2f\n", r.label.c_str(),
                          ratio, "-", "", figure.low, figure.high);
        } else if (ratio < 0) {
            std::snprintf(line, sizeof line, "%-56s %8s %8.2f  NOT RUN\n", r.label.c_str(), "-",
                          r.target);
        } else {
            std::snprintf(line, sizeof line, "%-56s %8.3f %8.2f  %-6s %.2f-%.2f\n", r.label.c_str(),
                          ratio, r.target, met ? "met" : "MISSED", figure.low, figure.high);
        }
        table += line;
        if (!met) {
            missed += "  " + r.label + "\n";
        }
    }
    benchmark::Shutdown();
    std::printf("\n%-56s %8s %8s  %-6s %s\n%s", "median ratio to the baseline, in rounds", "ratio",
                "target", "", "spread", table.c_str());
    if (missed.empty()) {
        std::printf("all targets met\n");
    } else {
        std::printf("targets missed:\n%s", missed.c_str());
    }
    if (const char* path = std::getenv("MARLOWIN_BENCH_TABLE")) {
        std::ofstream(path, std::ios::app) << table;
    }
    return missed.empty() ? 0 : 1;
}

}  // namespace marlowin::bench
