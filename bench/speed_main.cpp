// The suite's entry point: the benchmarks run as usual, then the ratios they
// reported are listed together, each beside its aim (an aim of 0: shown for
// comparison only). A benchmark run several times is one row: its worst
// ratio is held to the aim, and the spread of all of them is shown.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Row {
  std::string name;
  double ratio, aim;
  double lowest = 0;
  int runs = 1;
  double floor = 0;  // the same ratio for the floor alone, when measured
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      const auto ratio = r.counters.find("ratio");
      const auto aim = r.counters.find("aim");
      if (ratio == r.counters.end() || aim == r.counters.end()) continue;
      const double value = ratio->second.value;
      if (!rows.empty() && rows.back().name == r.benchmark_name()) {
        Row& row = rows.back();
        row.lowest = std::min(row.lowest, value);
        row.ratio = std::max(row.ratio, value);
        ++row.runs;
        continue;
      }
      const auto floor = r.counters.find("floor_ratio");
      rows.push_back({r.benchmark_name(), value, aim->second.value, value, 1,
                      floor == r.counters.end() ? 0 : floor->second.value});
    }
  }
  std::vector<Row> rows;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (!reporter.rows.empty()) {
    std::printf("\n%-66s %8s %6s  %s\n", "Ratio (program beside baseline)", "ratio", "aim", "");
    for (const Row& row : reporter.rows) {
      std::printf("%-66s %8.3f %6.2f  %s", row.name.c_str(), row.ratio, row.aim,
                  row.aim <= 0 ? "info" : row.ratio <= row.aim ? "met" : "MISSED");
      if (row.runs > 1) std::printf("  (worst of %d runs; spread %.3f-%.3f)", row.runs, row.lowest, row.ratio);
      if (row.floor > 0) std::printf("  (reading the bytes alone: %.3f)", row.floor);
      std::printf("\n");
    }
  }
  benchmark::Shutdown();
  return 0;
}
