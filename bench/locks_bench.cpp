// Cost of taking and releasing an uncontended lock, beside creating,
// writing and deleting a small file, locally and on a file share; and the
// processor time a workstation spends while it waits for a lock another one
// holds.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/console_platform.h"
#include "core/workstation.h"
#include "storage/locks.h"
#include "bench_folder.h"
#include "ratio.h"

namespace egresso {
namespace {

using bench::BenchFolder;


void joinAs(Workstation& ws, const std::string& folder, const std::string& initials, const std::string& station) {
  ws.paths.DataFolder = folder;
  ws.locks.TraceFolder = folder;
  ws.ThisUser = initials;
  ws.StationId = station;
  ws.MultiUser = true;
  // The waiting note's texts are notice lines; blank ones keep the run quiet.
  ws.notices.lines.assign(2100, std::string());
}

double secondsOf(clockid_t clock) {
  timespec t{};
  ::clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A lock taken and released, beside the floor of any lock-file scheme: a
// small file created, written and deleted again; in turns, on the folder
// given (a local temporary one, or one on the file share).
void LockBesideCreateWriteDelete(benchmark::State& state, const std::string& where) {
  BenchFolder folder(where);
  ConsolePlatform system;
  Workstation ws(system.platform());
  joinAs(ws, folder.str(), "ABC", "1111");
  const std::string file = folder.str() + "/PLAIN.LOK";
  const char line[] = "ABC BENCH           1111\r\n";
  // The share's work is done by other processes: wall time for both.
  bench::Turns turns(CLOCK_MONOTONIC);
  for (auto _ : state) {
    turns.product([&] {
      if (!AcquireLock(ws, "LOCATELK", "BENCH")) state.SkipWithError("lock not taken");
      ReleaseLock(ws, "LOCATELK");
    });
    bool made = true;
    turns.baseline([&] {
      int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      made = fd >= 0;
      benchmark::DoNotOptimize(::write(fd, line, sizeof line - 1));
      ::close(fd);
      // A file server refuses to delete a file for as long as it is still
      // closing the handle just closed: any program must try again.
      while (::unlink(file.c_str()) != 0 && errno == EBUSY) {}
    });
    // A file left by a refused delete made the next create fail at once: a
    // turn that created nothing is no floor.
    if (!made) state.SkipWithError("the baseline's file was not created");
  }
  turns.report(state, 1.3, 1e3, "us");
}

void BM_LockBesideCreateWriteDelete_Local(benchmark::State& state) { LockBesideCreateWriteDelete(state, ""); }
BENCHMARK(BM_LockBesideCreateWriteDelete_Local)->Unit(benchmark::kMicrosecond);

// On the file share of EGRESSO_SHARE_DIR (tools/samba-share.sh starts one).
void BM_LockBesideCreateWriteDelete_Share(benchmark::State& state) {
  const char* share = std::getenv("EGRESSO_SHARE_DIR");
  if (share == nullptr || *share == 0) {
    state.SkipWithError("EGRESSO_SHARE_DIR is not set");
    for (auto _ : state) {}
    return;
  }
  LockBesideCreateWriteDelete(state, share);
}
BENCHMARK(BM_LockBesideCreateWriteDelete_Share)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Another workstation holds the lock; this one waits until the user gives
// up after the given milliseconds. cpu_share = processor time / wall time.
void BM_WaitingForAHeldLock(benchmark::State& state) {
  BenchFolder folder;
  ConsolePlatform holderSystem;
  ConsolePlatform waiterSystem;
  Workstation holder(holderSystem.platform()), waiter(waiterSystem.platform());
  joinAs(holder, folder.str(), "XYZ", "2222");
  joinAs(waiter, folder.str(), "ABC", "1111");
  if (!AcquireLock(holder, "LOCATELK", "HOLD")) state.SkipWithError("holder could not take the lock");
  const int waitMs = static_cast<int>(state.range(0));
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    waiterSystem.events.keyAtMs = waiterSystem.clock.monotonicMs() + waitMs;
    double wall0 = secondsOf(CLOCK_MONOTONIC), cpu0 = secondsOf(CLOCK_PROCESS_CPUTIME_ID);
    if (AcquireLock(waiter, "LOCATELK", "WAIT")) state.SkipWithError("the held lock was taken");
    cpu += secondsOf(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    wall += secondsOf(CLOCK_MONOTONIC) - wall0;
  }
  ReleaseLock(holder, "LOCATELK");
  state.counters["cpu_s"] = cpu;
  state.counters["wall_s"] = wall;
  state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
}
BENCHMARK(BM_WaitingForAHeldLock)->Arg(500)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace egresso
