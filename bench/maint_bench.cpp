// Purging a full message file (32,767 messages, a third of them deleted,
// with the message and location indexes made again and the new files
// switched in) against copying the same bytes once: how much the purge
// costs beyond moving the data.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "core/workstation.h"
#include "messages/board_record.h"
#include "platform/console_platform.h"
#include "storage/record_io.h"
#include "tools/file_maint.h"

namespace egresso {
namespace {

using bench::BenchFolder;

constexpr int kMessages = 32767;

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// MESSAGE.DAF and .DAI, every third message deleted, and a LOCATE pair.
void WriteMessageFiles(const std::string& folder) {
  std::vector<std::uint8_t> data(static_cast<std::size_t>(kMessages) * brd::Size);
  std::vector<std::uint8_t> index(static_cast<std::size_t>(kMessages) * brd::IndexSize);
  BulBrdRcrd r;
  for (int k = 0; k < kMessages; ++k) {
    r.clear();
    r.setWho("ANN");
    r.setHeadline("Message " + std::to_string(k));
    r.setMadeDay(static_cast<std::int16_t>(15000 + k % 365));
    r.setClosed(k % 3 == 0 ? 1 : 0);
    std::copy(r.bytes.begin(), r.bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(k) * brd::Size);
    BoardIndexEntry{r.madeDay(), r.closed()}.encode(
        Bytes(index.data() + static_cast<std::size_t>(k) * brd::IndexSize, brd::IndexSize));
  }
  WriteBytes(folder + "/MESSAGE.DAF", data);
  WriteBytes(folder + "/MESSAGE.DAI", index);
  WriteBytes(folder + "/LOCATE.DAF", std::vector<std::uint8_t>(51 * brd::Size));
  WriteBytes(folder + "/LOCATE.DAI", std::vector<std::uint8_t>(51 * brd::IndexSize));
}

void BM_PurgeTaggedMessages32767(benchmark::State& state) {
  BenchFolder folder;
  ConsolePlatform console;
  Workstation ws(console.platform());
  ws.paths.DataFolder = folder.str();
  ws.paths.BulletinFolder = folder.str() + "/BULLETIN";
  ws.paths.BackupFolder = folder.str() + "/BACKUP";
  ws.locks.TraceFolder = folder.str();
  ws.notices.lines.assign(2100, "");
  for (auto _ : state) {
    state.PauseTiming();
    WriteMessageFiles(folder.str());
    state.ResumeTiming();
    PurgeTaggedMessages(ws);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kMessages) * brd::Size);
}
BENCHMARK(BM_PurgeTaggedMessages32767)->Unit(benchmark::kMillisecond);

void BM_CopySameBytes(benchmark::State& state) {
  BenchFolder folder;
  const std::string from = folder.str() + "/MESSAGE.DAF";
  for (auto _ : state) {
    state.PauseTiming();
    WriteMessageFiles(folder.str());
    state.ResumeTiming();
    copyFile(from, folder.str() + "/COPY.DAF", PosixFileOps());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kMessages) * brd::Size);
}
BENCHMARK(BM_CopySameBytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace egresso
