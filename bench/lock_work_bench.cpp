// What a sign-out does while it holds the board lock: the calls of the
// station's file layer between the lock file's line written and its delete.
// On a file server every one of them is a round trip, and every workstation
// waiting for the lock waits through all of them; counting them, not timing
// them, gives a figure that holds on any machine. Counted locally and on
// the share of EGRESSO_SHARE_DIR (the same calls, other round trips).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "board/board_commands.h"
#include "board/board_list.h"
#include "board/demo.h"
#include "core/workstation.h"
#include "messages/form.h"
#include "platform/console_platform.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "bench_folder.h"
#include "support/counting_file_ops.h"

namespace egresso {
namespace {

using bench::BenchFolder;

// The demo office, made through the program's own code; this workstation
// is its main user's.
bool JoinDemoOffice(Workstation& ws, const std::string& folder) {
  ws.notices.lines.assign(2100, std::string());
  std::string error;
  if (!CreateDemoFolder(ws, folder, error)) return false;
  ws.locks.TraceFolder = folder;
  ws.ThisUser = kDemoMainUser;
  ws.StationId = "bench";
  ws.MultiUser = true;
  ws.Today = DayNumber(ws.platform.clock->now());
  InitBoardState(ws);
  ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
  return ws.UserSlot > 0;
}

// EVA signed out as the command line does it: nobody was shown the entry.
bool SignOut(Workstation& ws, const std::string& where) {
  ws.ListMode = 1;
  SelectBoardFiles(ws);
  const int slot = FindUserSlot(ws, "EVA");
  ws.form.FormCommand = ExistingEntryLetter(ws);
  ws.form.OpenRecordNumber = slot;
  ws.form.PreselectedSlot = slot;
  ws.form.ActOnStored = true;
  EgressoForm form(ws);
  form.FormShow();
  form.f.Location = where;
  form.Enter(FormField::ReturnTime);
  form.f.ReturnTime = "11:59P";
  form.Exit(FormField::ReturnTime);
  form.OKbtnClick();
  return form.saved();
}

void CallsWhileASignOutHoldsTheBoardLock(benchmark::State& state, const std::string& where) {
  BenchFolder folder(where);
  ConsolePlatform console;
  Workstation ws(console.platform());
  test::CountingFileOps counting(folder.str() + "/LOCATELK.LOK");
  counting.root = &ws.paths.DataFolder;
  ws.files = &counting;
  if (!JoinDemoOffice(ws, folder.str())) state.SkipWithError("the demo office was not made");
  // The first sign-out makes the files; the ones counted change them.
  if (!SignOut(ws, "Warming up")) state.SkipWithError("the first sign-out was not saved");
  std::size_t calls = 0, holds = 0, statuses = 0;
  int round = 0;
  for (auto _ : state) {
    counting.calls.clear();
    counting.holds = 0;
    if (!SignOut(ws, "Meeting " + std::to_string(++round))) state.SkipWithError("the sign-out was not saved");
    calls += counting.calls.size();
    for (const std::string& call : counting.calls) statuses += call.starts_with("fstat ");
    holds += static_cast<std::size_t>(counting.holds);
  }
  if (std::getenv("EGRESSO_BENCH_LIST_CALLS") != nullptr)
    for (const std::string& call : counting.calls) std::cerr << "  " << call << "\n";
  const double n = static_cast<double>(state.iterations());
  state.counters["calls_under_lock"] = static_cast<double>(calls) / n;
  state.counters["lock_takes"] = static_cast<double>(holds) / n;
  // The status of a file held open is answered from the client's cache of
  // its attributes on a share (a hundredth of an open's time there, by
  // strace); the rest go to the server.
  state.counters["fstat_of_open_files"] = static_cast<double>(statuses) / n;
  state.counters["round_trips"] = static_cast<double>(calls - statuses) / n;
  // The aim: at most a dozen round trips for the others to wait through.
  state.counters["at_most_12"] = static_cast<double>(calls - statuses) / n <= 12 ? 1 : 0;
}

void BM_CallsWhileASignOutHoldsTheBoardLock_Local(benchmark::State& state) {
  CallsWhileASignOutHoldsTheBoardLock(state, "");
}
BENCHMARK(BM_CallsWhileASignOutHoldsTheBoardLock_Local)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_CallsWhileASignOutHoldsTheBoardLock_Share(benchmark::State& state) {
  const char* share = std::getenv("EGRESSO_SHARE_DIR");
  if (share == nullptr || *share == 0) {
    state.SkipWithError("EGRESSO_SHARE_DIR is not set");
    for (auto _ : state) {}
    return;
  }
  CallsWhileASignOutHoldsTheBoardLock(state, share);
}
BENCHMARK(BM_CallsWhileASignOutHoldsTheBoardLock_Share)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace egresso
