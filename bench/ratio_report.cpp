#include "bench/ratio_report.h"

#include <benchmark/benchmark.h>

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

}  // namespace

int run_with_ratios(int argc, char** argv, const std::vector<Ratio>& ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::string table;
    std::string missed;
    char line[256];
    for (const auto& r : ratios) {
        double ratio = -1;
        if (!r.counter.empty()) {
            const auto c = reporter.counters.find(r.measured + "#" + r.counter);
            ratio = c == reporter.counters.end() ? -1 : c->second;
        } else {
            const auto m = reporter.seconds.find(r.measured);
            const auto b = reporter.seconds.find(r.baseline);
            if (m != reporter.seconds.end() && b != reporter.seconds.end() && b->second > 0) {
                ratio = m->second / b->second;
            }
        }
        // A figure that could not be measured has not met its target either.
        const bool met = ratio >= 0 && ratio <= r.target;
        if (ratio < 0) {
            std::snprintf(line, sizeof line, "%-56s %8s %8.2f  NOT RUN\n", r.label.c_str(), "-",
                          r.target);
        } else {
            std::snprintf(line, sizeof line, "%-56s %8.3f %8.2f  %s\n", r.label.c_str(), ratio,
                          r.target, met ? "met" : "MISSED");
        }
        table += line;
        if (!met) {
            missed += "  " + r.label + "\n";
        }
    }
    std::printf("\n%-56s %8s %8s\n%s", "ratio to the baseline of the same run", "ratio", "target",
                table.c_str());
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
