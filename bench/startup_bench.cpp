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
#include "startup/workstation.h"
#include "storage/record_io.h"

namespace egresso {
namespace {

namespace fs = std::filesystem;

class StillClock : public Clock {
 public:
  LocalDateTime now() override { return {2026, 12, 7, 9, 0, 0, 0}; }
  std::int64_t monotonicMs() override { return 0; }
};

class SilentDialogs : public Dialogs {
 public:
  int ultimateDialog(const DialogRequest&) override { return 1; }
  void closeNotice() override {}
  void messageBox(std::string_view, BoxKind, std::string_view) override {}
  void beep() override {}
};

class NoWait : public EventPump {
 public:
  int processEvents() override { return 0; }
  void sleepMs(int) override {}
};

class NoAlert : public LockAlert {
 public:
  void flash(std::string_view, int) override {}
  int takeKeyAnswer() override { return 0; }
};

class NoPorts : public SerialPorts {
 public:
  bool clearToSend(int) override { return false; }
};

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
  StillClock clock;
  SilentDialogs dialogs;
  NoWait events;
  NoAlert alert;
  NoPorts ports;
  fs::path root, program, data;

  Platform platform() {
    Platform p;
    p.clock = &clock;
    p.dialogs = &dialogs;
    p.events = &events;
    p.lockAlert = &alert;
    p.serial = &ports;
    return p;
  }

  void SetUp(const benchmark::State&) override {
    root = fs::temp_directory_path() / ("egresso-bench-" + std::to_string(getpid()));
    program = root / "program";
    data = root / "data";
    fs::create_directories(program);
    fs::create_directories(data / "BULLETIN");
    std::string notices;
    for (int n = 1; n <= 2100; ++n) notices += "Notice text number " + std::to_string(n) + "\r\n";
    writeFile(program / "NOTICES.TXT", notices);

    Workstation w(platform());
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
    main.open(data / "CFGMAIN.DAF", mcfg::Size, RecordFile::Mode::ReadOnly);
    main.read(0, ws.mcfg.bytes);
    personal.open(data / "CFGE25.DAF", pcfg::Size, RecordFile::Mode::ReadOnly);
    personal.read(0, ws.pcfg.bytes);
    std::string switches = readWhole(data / "FE25.DAF") + readWhole(data / "FALL.DAF");
    std::string notices = readWhole(program / "NOTICES.TXT");
    benchmark::DoNotOptimize(switches);
    benchmark::DoNotOptimize(notices);
  }
}

}  // namespace
}  // namespace egresso
