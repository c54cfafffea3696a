#pragma once

#include <string>
#include <vector>

namespace marlowin::bench {

/// One line of the closing table: a measurement divided by its baseline from the same run, or,
/// with `counter` set, a ratio the benchmark computed itself (such as peak memory over page
/// size) and reported as that counter of the `measured` run.
struct Ratio {
    std::string label;
    std::string measured;  ///< benchmark name (as Google Benchmark reports it)
    std::string baseline;  ///< benchmark name of the baseline
    double target;         ///< the ratio must stay at or below this; below 0: reported only
    std::string counter = {};
};

/// Runs the registered benchmarks (command line as Google Benchmark takes it), then prints
/// each ratio with its target, and appends the lines to the file named by the environment
/// variable MARLOWIN_BENCH_TABLE when set (scripts/run-benchmarks gathers them into one
/// report). Returns the process exit code: 1, naming them, when a target was missed or a
/// figure could not be measured, else 0.
int run_with_ratios(int argc, char** argv, const std::vector<Ratio>& ratios);

}  // namespace marlowin::bench
