#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace keystead::bench {

// Shows every run as the console reporter does and keeps the real time per
// iteration of each benchmark, for the ratios the programs print at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        realTimes_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Real time of the named benchmark, or 0 when it did not run.
  double RealTime(const std::string& name) const {
    const auto found = realTimes_.find(name);
    return found == realTimes_.end() ? 0.0 : found->second;
  }

 private:
  std::map<std::string, double> realTimes_;
};

}  // namespace keystead::bench
