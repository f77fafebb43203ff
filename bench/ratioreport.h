// Runs the registered benchmarks and, at the end, prints the ratios between
// pairs of them. Every ratio compares two figures of the same run, so a noisy
// machine shifts both alike.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace ordalyn::bench {

// One printed ratio: items per second of `subject` divided by items per second
// of `reference` (so 0.5 means half as fast). With repetitions the medians are
// compared. Without a reference the subject's own figure is printed.
struct Ratio {
  std::string label;
  std::string subject;
  std::string reference;
  // The target, printed beside the figure; "" for none.
  std::string target;
  // When set, the ratio is turned round (reference / subject): "how many times
  // dearer" rather than "how fast".
  bool dearer = false;
};

// A figure that one benchmark reports as a counter and that a ratio may name
// as "benchmark@counter"; the counter's value stands for items per second.
// Initialises Google Benchmark from the command line, runs it and prints the
// ratios; returns the process exit code.
int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);

// Per-item nanoseconds from items per second, for the text of counters.
inline double NanosPerItem(double itemsPerSecond) { return itemsPerSecond > 0 ? 1e9 / itemsPerSecond : 0; }

}  // namespace ordalyn::bench
