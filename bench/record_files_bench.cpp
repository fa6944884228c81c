// Writing calendar records one call at a time (each call opens and closes the
// data file, key list and quick list) against the bare cost of opening and
// closing a file the same number of times.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/workstation.h"
#include "storage/record_files.h"
#include "bench_folder.h"

namespace egresso {
namespace {

using bench::BenchFolder;

constexpr int kRecords = 1000;

// The write path touches the platform only on failures.
class QuietClock : public Clock {
 public:
  LocalDateTime now() override { return {}; }
  std::int64_t monotonicMs() override { return 0; }
};
class QuietDialogs : public Dialogs {
 public:
  int ultimateDialog(const DialogRequest&) override { return 2; }
  void closeNotice() override {}
  void messageBox(std::string_view, BoxKind, std::string_view) override {}
  void beep() override {}
};
class QuietEvents : public EventPump {
 public:
  int processEvents() override { return 0; }
  void sleepMs(int) override {}
};

void BM_WriteCalRecord1000(benchmark::State& state) {
  BenchFolder folder;
  QuietClock clock;
  QuietDialogs dialogs;
  QuietEvents events;
  Platform platform;
  platform.clock = &clock;
  platform.dialogs = &dialogs;
  platform.events = &events;
  Workstation ws(platform);
  ws.paths.DataFolder = folder.str();
  std::string data = folder.str() + "/SCHED.DAF";
  ClearCalRecord(ws);
  WriteCalRecord(ws, data, 0, "BENCH");
  for (auto _ : state) {
    for (int n = 1; n <= kRecords; ++n) WriteCalRecord(ws, data, n, "BENCH");
  }
  if (ws.engine.LastIoResult != 0) state.SkipWithError("write failed");
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WriteCalRecord1000)->Unit(benchmark::kMillisecond);

void BM_OpenClose1000(benchmark::State& state) {
  BenchFolder folder;
  std::string data = folder.str() + "/SCHED.DAF";
  RecordFile create;
  create.open(data, kCalRecordSize, RecordFile::Mode::Create, PosixFileOps());
  create.close();
  for (auto _ : state) {
    for (int n = 1; n <= kRecords; ++n) {
      RecordFile f;
      benchmark::DoNotOptimize(f.open(data, kCalRecordSize, RecordFile::Mode::ReadWrite, PosixFileOps()));
      f.close();
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_OpenClose1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace egresso
