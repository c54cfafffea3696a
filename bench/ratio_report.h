#pragma once

#include <string>
#include <vector>

namespace marlowin::bench {

/// One line of the closing table: a measurement divided by its baseline from the same run.
struct Ratio {
    std::string label;
    std::string measured;  ///< benchmark name (as Google Benchmark reports it)
    std::string baseline;  ///< benchmark name of the baseline
    double target;         ///< the ratio must stay at or below this
};

/// Runs the registered benchmarks (command line as Google Benchmark takes it), then prints
/// each ratio with its target. Returns the process exit code.
int run_with_ratios(int argc, char** argv, const std::vector<Ratio>& ratios);

}  // namespace marlowin::bench
