// The suite's entry point: the benchmarks run as usual, then the ratios they
// reported are listed together, each beside its aim (an aim of 0: shown for
// comparison only).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Row {
  std::string name;
  double ratio, aim;
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
      rows.push_back({r.benchmark_name(), ratio->second.value, aim->second.value});
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
    std::printf("\n%-58s %8s %6s  %s\n", "Ratio (program beside baseline)", "ratio", "aim", "");
    for (const Row& row : reporter.rows)
      std::printf("%-58s %8.3f %6.2f  %s\n", row.name.c_str(), row.ratio, row.aim,
                  row.aim <= 0 ? "info" : row.ratio <= row.aim ? "met" : "MISSED");
  }
  benchmark::Shutdown();
  return 0;
}
