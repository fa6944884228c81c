// Building the board's lists, beside a baseline that only reads the bytes of
// the same files: the in/out board of 50 employees and the message list of
// up to 32,767 messages (the largest record number).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "board/board_list.h"
#include "platform/console_platform.h"
#include "messages/board_files.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "bench_folder.h"

namespace egresso {
namespace {

using bench::BenchFolder;

std::string Initials(int slot) {
  return std::string(1, static_cast<char>('A' + (slot - 1) % 26)) +
         static_cast<char>('A' + (slot - 1) / 26) + "X";
}

void SetUp(Workstation& ws, const std::string& folder) {
  ws.paths.DataFolder = folder;
  ws.paths.BulletinFolder = folder + "/BULLETIN";
  ws.paths.MainConfigPath = folder + "/CFGMAIN.DAF";
  ws.paths.ProductTitle = "Egresso";
  ws.notices.lines.resize(2100);
  for (int slot = 1; slot <= 50; ++slot) {
    ws.mcfg.setEmpInitials(slot, Initials(slot));
    ws.mcfg.setEmpName(slot, "Employee number " + std::to_string(slot));
  }
  ws.ThisUser = Initials(1);
  ws.UserSlot = 1;
  ws.MultiUser = true;
  ws.Today = DayNumber(ws.platform.clock->now());
  InitBoardState(ws);
}

// A workstation on a folder of its own for one benchmark.
struct BenchBoard {
  ConsolePlatform console;
  Workstation ws{console.platform()};
  BenchFolder folder;
  BenchBoard() { SetUp(ws, folder.str()); }
};

void WriteWhole(const std::string& path, std::size_t recordSize, const std::vector<std::uint8_t>& bytes) {
  RecordFile f;
  f.open(path, recordSize, RecordFile::Mode::Create);
  for (std::size_t n = 0; n * recordSize < bytes.size(); ++n)
    f.write(static_cast<std::int64_t>(n),
            std::span<const std::uint8_t>(bytes.data() + n * recordSize, recordSize));
}

// 50 employees, every second one out, none of the entries due.
void MakeLocations(Workstation& ws) {
  std::vector<std::uint8_t> data, index;
  for (int j = 0; j <= 50; ++j) {
    BulBrdRcrd r;
    BoardIndexEntry e;
    if (j >= 1) r.setWho(Initials(j));
    if (j >= 1 && j % 2 == 0) {
      r.setHeadline("Visiting client " + std::to_string(j) + ", back after lunch");
      r.setReturnDay(static_cast<std::int16_t>(ws.Today + j % 3));
      r.setReturnAt(static_cast<std::int16_t>(1300 + j));
      e.Key = r.returnDay();
    } else {
      r.setClosed(1);
      e.Flags = 1;
    }
    data.insert(data.end(), r.bytes.begin(), r.bytes.end());
    std::array<std::uint8_t, 3> b{};
    e.encode(b);
    index.insert(index.end(), b.begin(), b.end());
  }
  WriteWhole(BoardDataFile(ws, BoardSet::Locations), brd::Size, data);
  WriteWhole(BoardIndexFile(ws, BoardSet::Locations), brd::IndexSize, index);
}

// Messages between the 50 employees over the keeping period: a third to
// everyone, a third to this user and others, a third to others only.
void MakeMessages(Workstation& ws, int count) {
  std::vector<std::uint8_t> data, index;
  data.reserve(static_cast<std::size_t>(count) * brd::Size);
  for (int j = 0; j < count; ++j) {
    BulBrdRcrd r;
    const int from = 1 + (j * 7) % 50;
    r.setWho(Initials(from));
    if (j % 3 != 0) {
      if (j % 3 == 1) r.setToList(1, Initials(1)); else r.setToList(1, "nul");
      for (int k = 0; k < 3; ++k) {
        const int to = 2 + (j + k * 13) % 49;
        r.setToList(to, Initials(to));
      }
    }
    r.setHeadline("Message " + std::to_string(j) + " about the order of customer " + std::to_string(j % 997));
    r.setMadeDay(static_cast<std::int16_t>(ws.Today - j % 15));
    r.setReturnDay(r.madeDay());
    r.setMadeTime(static_cast<std::int16_t>(800 + (j % 10) * 100 + j % 60));
    r.setReadMark(1, static_cast<std::uint8_t>(j % 5 == 0 ? 1 : 0));
    data.insert(data.end(), r.bytes.begin(), r.bytes.end());
    std::array<std::uint8_t, 3> b{};
    BoardIndexEntry{r.madeDay(), 0}.encode(b);
    index.insert(index.end(), b.begin(), b.end());
  }
  WriteWhole(BoardDataFile(ws, BoardSet::Messages), brd::Size, data);
  WriteWhole(BoardIndexFile(ws, BoardSet::Messages), brd::IndexSize, index);
}

// Reads every byte of the two files, as the list build does, and nothing else.
std::size_t ReadBoth(const std::string& dataPath, const std::string& indexPath) {
  std::size_t total = 0;
  for (const auto& [path, size] : {std::pair{indexPath, brd::IndexSize}, std::pair{dataPath, brd::Size}}) {
    RecordFile f;
    f.open(path, size, RecordFile::Mode::ReadOnly);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(f.recordCount()) * size);
    total += static_cast<std::size_t>(f.readRecords(0, bytes)) * size;
  }
  return total;
}

void BM_ReadLocationFiles(benchmark::State& state) {
  BenchBoard bench;
  Workstation& ws = bench.ws;
  MakeLocations(ws);
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadBoth(BoardDataFile(ws, BoardSet::Locations), BoardIndexFile(ws, BoardSet::Locations)));
}
BENCHMARK(BM_ReadLocationFiles);

void BM_BuildBoard50(benchmark::State& state) {
  BenchBoard bench;
  Workstation& ws = bench.ws;
  MakeLocations(ws);
  ws.ListMode = 1;
  SelectBoardFiles(ws);
  for (auto _ : state) {
    BuildBoardList(ws);
    benchmark::DoNotOptimize(ws.board.BBSlist.data());
  }
  state.counters["lines"] = static_cast<double>(ws.board.BBSlist.size());
}
BENCHMARK(BM_BuildBoard50);

void BM_ReadMessageFiles(benchmark::State& state) {
  BenchBoard bench;
  Workstation& ws = bench.ws;
  MakeMessages(ws, static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadBoth(BoardDataFile(ws, BoardSet::Messages), BoardIndexFile(ws, BoardSet::Messages)));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadMessageFiles)->Arg(4096)->Arg(8192)->Arg(16384)->Arg(32767)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_BuildMessageList(benchmark::State& state) {
  BenchBoard bench;
  Workstation& ws = bench.ws;
  MakeMessages(ws, static_cast<int>(state.range(0)));
  ws.ListMode = 0;
  SelectBoardFiles(ws);
  for (auto _ : state) {
    BuildBoardList(ws);
    benchmark::DoNotOptimize(ws.board.BBSlist.data());
  }
  state.counters["lines"] = static_cast<double>(ws.board.BBSlist.size() + ws.board.BBSoldList.size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildMessageList)->Arg(4096)->Arg(8192)->Arg(16384)->Arg(32767)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace egresso
