// Saving one message to 50 recipients through the message form, beside
// writing the same bytes (record, index entry, body text and 50 notification
// records) with plain file calls.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/form.h"
#include "platform/console_platform.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "bench_folder.h"

namespace egresso {
namespace {

using bench::BenchFolder;

std::string Initials(int slot) { return std::string(1, static_cast<char>('A' + (slot - 1) % 26)) + static_cast<char>('A' + (slot - 1) / 26) + "Y"; }

const std::string kBody = [] {
  std::string s;
  for (int i = 0; i < 20; ++i) s += "Line " + std::to_string(i) + " of the message about the quarterly figures.\r\n";
  return s;
}();

struct BenchForm {
  ConsolePlatform console;
  Workstation ws{console.platform()};
  BenchFolder folder;
  std::string everyone;

  BenchForm() {
    const std::string f = folder.str();
    ws.paths.DataFolder = f;
    ws.paths.BulletinFolder = f + "/BULLETIN";
    ws.paths.MainConfigPath = f + "/CFGMAIN.DAF";
    ws.locks.TraceFolder = f;
    ws.notices.lines.resize(2100);
    for (int slot = 1; slot <= 50; ++slot) {
      ws.mcfg.setEmpInitials(slot, Initials(slot));
      ws.mcfg.setEmpName(slot, "Employee number " + std::to_string(slot));
      everyone += (slot > 1 ? "," : "") + Initials(slot);
    }
    // The sender is not one of the 50, so every employee is a recipient.
    ws.ThisUser = "ZZZ";
    ws.StationId = "bench";
    ws.MultiUser = true;
    ws.Today = DayNumber(ws.platform.clock->now());
    RecordFile cfg;
    cfg.open(ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::Create, PosixFileOps());
    cfg.write(0, ws.mcfg.bytes);
    cfg.close();
    InitBoardState(ws);
    ws.ListMode = 0;
    SelectBoardFiles(ws);
  }

  // Each round starts from an empty message file and no notification files.
  void clear() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder.str(), ec)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("TIMER.", 0) == 0 || name.rfind("MESSAGE.", 0) == 0) std::filesystem::remove(e.path(), ec);
    }
    std::filesystem::remove(ws.paths.BulletinFolder + "/0.DA0", ec);
  }
};

void BM_SaveMessageTo50(benchmark::State& state) {
  BenchForm b;
  for (auto _ : state) {
    state.PauseTiming();
    b.clear();
    b.ws.form.FormCommand = ' ';
    EgressoForm form(b.ws);
    form.FormShow();
    form.f.EmpIn = b.everyone;
    form.f.ReturnTime = "Quarterly figures";
    form.f.Location = kBody;
    state.ResumeTiming();
    form.OKbtnClick();
    if (!form.closed()) state.SkipWithError("the message was not saved");
  }
}
BENCHMARK(BM_SaveMessageTo50)->Unit(benchmark::kMicrosecond);

void Put(const std::string& path, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void BM_SameBytesWithPlainFileCalls(benchmark::State& state) {
  BenchForm b;
  const std::string f = b.folder.str();
  unsigned char record[512] = {}, index[3] = {}, timer[11] = {5, '1', '2', '3', '4', 'M'};
  for (auto _ : state) {
    state.PauseTiming();
    b.clear();
    state.ResumeTiming();
    Put(f + "/MESSAGE.DAF", record, sizeof record);
    Put(f + "/MESSAGE.DAI", index, sizeof index);
    Put(f + "/BULLETIN/0.DA0", kBody.data(), kBody.size());
    for (int slot = 1; slot <= 50; ++slot) Put(f + "/TIMER." + Initials(slot), timer, sizeof timer);
  }
}
BENCHMARK(BM_SameBytesWithPlainFileCalls)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace egresso
