// The suite's figures are ratios: the program's operation beside a baseline
// measured in the same run, the two taken in turns so that whatever else
// the machine does weighs on both alike. A benchmark reports its ratio and
// the aim it is held to as the counters "ratio" and "aim" (ratio <= aim is
// met); the suite's main prints them as a table at the end.
#pragma once

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace egresso::bench {

inline std::int64_t NowNs(clockid_t clock) {
  timespec t{};
  ::clock_gettime(clock, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Times of the two sides, one sample per turn.
class Turns {
 public:
  // Processor time of this thread suits work done in the process; work
  // done by other processes (a file server) needs CLOCK_MONOTONIC.
  explicit Turns(clockid_t clock = CLOCK_THREAD_CPUTIME_ID) : clock_(clock) {}

  template <class F>
  void product(F&& f) { product_.push_back(time(f)); }
  template <class F>
  void baseline(F&& f) { baseline_.push_back(time(f)); }
  // Samples timed elsewhere (by another process), in ns.
  void productSample(double ns) { product_.push_back(ns); }
  void baselineSample(double ns) { baseline_.push_back(ns); }

  // The fastest turn of each side: the one the rest of the machine
  // disturbed least, and so the steadiest figure on a busy machine.
  static double Fastest(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
  double productNs() const { return Fastest(product_); }
  double baselineNs() const { return Fastest(baseline_); }

  // Sets ratio, aim and both fastest turns (in the unit named, scaled from ns).
  void report(benchmark::State& state, double aim, double unitNs = 1e6, const std::string& unit = "ms") const {
    const double p = productNs(), b = baselineNs();
    state.counters["ratio"] = b > 0 ? p / b : 0;
    state.counters["aim"] = aim;
    state.counters["product_" + unit] = p / unitNs;
    state.counters["baseline_" + unit] = b / unitNs;
  }

 private:
  template <class F>
  double time(F& f) {
    const std::int64_t t0 = NowNs(clock_);
    f();
    return static_cast<double>(NowNs(clock_) - t0);
  }
  clockid_t clock_;
  std::vector<double> product_, baseline_;
};

}  // namespace egresso::bench
