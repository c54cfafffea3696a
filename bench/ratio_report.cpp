#include "bench/ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
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
            }
        }
    }
    std::map<std::string, double> seconds;
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

    std::printf("\n%-52s %10s %8s  %s\n", "ratio (measured / baseline, same run)", "ratio",
                "target", "");
    bool all_met = true;
    for (const auto& r : ratios) {
        const auto m = reporter.seconds.find(r.measured);
        const auto b = reporter.seconds.find(r.baseline);
        if (m == reporter.seconds.end() || b == reporter.seconds.end() || b->second <= 0) {
            std::printf("%-52s %10s %8.2f  (not run)\n", r.label.c_str(), "-", r.target);
            continue;
        }
        const double ratio = m->second / b->second;
        const bool met = ratio <= r.target;
        all_met = all_met && met;
        std::printf("%-52s %10.3f %8.2f  %s\n", r.label.c_str(), ratio, r.target,
                    met ? "met" : "MISSED");
    }
    std::printf("%s\n", all_met ? "all targets met" : "some targets missed");
    return 0;
}

}  // namespace marlowin::bench
