// ProgramStartup on a data folder of 50 employees, beside a baseline that
// only reads the same files.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/records_init.h"
#include "config/startup_routine.h"
#include "core/workstation.h"
#include "storage/record_io.h"
#include "platform/console_platform.h"

namespace egresso {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& p, const std::string& content) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
}

std::string readWhole(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Office : public benchmark::Fixture {
 public:
  // No serial ports and no password dialog: nothing waits for a person.
  ConsolePlatform system;
  fs::path root, program, data;

  Platform platform() { return system.platform(); }

  void SetUp(const benchmark::State&) override {
    root = fs::temp_directory_path() / ("egresso-bench-" + std::to_string(getpid()));
    program = root / "program";
    data = root / "data";
    fs::create_directories(program);
    fs::create_directories(data / "BULLETIN");
    Workstation w(platform());
    std::string notices;
    for (int n = 1; n <= 2100; ++n) {
      w.notices.lines.push_back("Notice text number " + std::to_string(n));
      notices += w.notices.lines.back() + "\r\n";
    }
    writeFile(program / "NOTICES.TXT", notices);

    w.Today = 15000;
    InitMainConfig(w);
    for (int slot = 1; slot <= 50; ++slot) {
      std::string initials = "E" + std::string(slot < 10 ? "0" : "") + std::to_string(slot);
      w.mcfg.setEmpInitials(slot, initials);
      w.mcfg.setEmpName(slot, "Employee " + initials);
    }
    w.mcfg.setStr(mcfg::MainUserInitials, 3, "E01");
    writeFile(data / "CFGMAIN.DAF", std::string(w.mcfg.bytes.begin(), w.mcfg.bytes.end()));
    InitPersonalConfig(w);
    writeFile(data / "CFGE25.DAF", std::string(w.pcfg.bytes.begin(), w.pcfg.bytes.end()));
    writeFile(data / "FALL.DAF", "/PN=7\r\n/EM=20\r\n/OT\r\n");
    writeFile(data / "FE25.DAF", "/LE\r\n");
  }

  void TearDown(const benchmark::State&) override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

BENCHMARK_F(Office, ProgramStartup)(benchmark::State& state) {
  const std::vector<std::string> args{"/MD=" + data.string(), "/TU=E25"};
  for (auto _ : state) {
    Workstation ws(platform());
    ProgramStartup(ws, program.string(), args);
    benchmark::DoNotOptimize(ws.UserSlot);
  }
}

BENCHMARK_F(Office, ReadingTheSameFiles)(benchmark::State& state) {
  for (auto _ : state) {
    Workstation ws(platform());
    RecordFile main, personal;
    main.open(data / "CFGMAIN.DAF", mcfg::Size, RecordFile::Mode::ReadOnly, PosixFileOps());
    main.read(0, ws.mcfg.bytes);
    personal.open(data / "CFGE25.DAF", pcfg::Size, RecordFile::Mode::ReadOnly, PosixFileOps());
    personal.read(0, ws.pcfg.bytes);
    std::string switches = readWhole(data / "FE25.DAF") + readWhole(data / "FALL.DAF");
    std::string notices = readWhole(program / "NOTICES.TXT");
    benchmark::DoNotOptimize(switches);
    benchmark::DoNotOptimize(notices);
  }
}

}  // namespace
}  // namespace egresso
