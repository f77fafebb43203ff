#include "ratioreport.h"

#include <unistd.h>

#include <cstdio>
#include <map>

namespace ordalyn::bench {

namespace {

// The console output as usual, and every counter of every benchmark kept
// under "name@counter" (the median when there are repetitions).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that saved results stay plain text.
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) != 0 ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) {
        failed_ = true;
        continue;
      }
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!single && !median) {
        continue;
      }
      // The name as registered, without the suffixes for iterations, repetitions and time.
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      for (const auto& [counter, value] : run.counters) {
        figures_[name + "@" + counter] = value.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Items per second of a benchmark, or the named counter.
  bool Figure(const std::string& name, double& value) const {
    const std::string key = name.find('@') == std::string::npos ? name + "@items_per_second" : name;
    const auto found = figures_.find(key);
    if (found == figures_.end()) {
      return false;
    }
    value = found->second;
    return true;
  }

  bool Failed() const { return failed_; }

 private:
  std::map<std::string, double> figures_;
  bool failed_ = false;
};

}  // namespace

int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nRATIOS (same run; items per second of subject / reference, medians when repeated)\n");
  for (const Ratio& ratio : ratios) {
    const char* target = ratio.target.empty() ? "-" : ratio.target.c_str();
    if (ratio.reference.empty()) {
      double figure = 0;
      if (reporter.Figure(ratio.subject, figure)) {
        std::printf("FIGURE | %s | %.6g | %s | target %s\n", ratio.label.c_str(), figure,
                    ratio.subject.c_str(), target);
      } else {
        std::printf("FIGURE | %s | not measured in this run\n", ratio.label.c_str());
      }
      continue;
    }
    double subject = 0;
    double reference = 0;
    if (!reporter.Figure(ratio.subject, subject) || !reporter.Figure(ratio.reference, reference) ||
        subject <= 0 || reference <= 0) {
      std::printf("RATIO | %s | not measured in this run\n", ratio.label.c_str());
      continue;
    }
    const double value = ratio.dearer ? reference / subject : subject / reference;
    std::printf("RATIO | %s | %.3f | %s %.4g ns/item, %s %.4g ns/item | target %s\n", ratio.label.c_str(),
                value, ratio.subject.c_str(), NanosPerItem(subject), ratio.reference.c_str(),
                NanosPerItem(reference), target);
  }
  return reporter.Failed() ? 1 : 0;
}

}  // namespace ordalyn::bench
