// The program as a whole, started as its own process under the offscreen
// platform on a demo data folder, beside a bare window of the same toolkit
// (egresso_bare_window) started the same way: the time until the board is
// first on screen, the memory it needs, and the processor time it takes
// while it sits idle.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "board/demo.h"
#include "ratio.h"

extern char** environ;

namespace egresso {
namespace {

using bench::BenchFolder;
using bench::NowNs;

// A started program: its process, and the read end of its standard error.
struct Child {
  pid_t pid = -1;
  int err = -1;
  std::int64_t startedNs = 0;
};

// Starts program with args and the variables extra added to this
// process's environment; its standard error comes back through a pipe.
Child Start(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  env.insert(env.end(), extra.begin(), extra.end());
  std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {};
  Child c;
  c.startedNs = NowNs(CLOCK_MONOTONIC);
  c.pid = ::fork();
  if (c.pid == 0) {
    ::dup2(fds[1], 2);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 1);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  c.err = fds[0];
  return c;
}

// Reads the child's standard error up to its "[shown] <ns>" line; 0 when it
// ended without one. A program that shows nothing within a minute (a
// dialog waiting for somebody, say) is ended.
std::int64_t WaitShown(Child& c) {
  std::string text;
  char buf[4096];
  const std::int64_t deadline = NowNs(CLOCK_MONOTONIC) + 60'000'000'000LL;
  for (;;) {
    const auto at = text.find("[shown] ");
    if (at != std::string::npos && text.find('\n', at) != std::string::npos)
      return std::strtoll(text.c_str() + at + 8, nullptr, 10);
    pollfd p{c.err, POLLIN, 0};
    const std::int64_t left = deadline - NowNs(CLOCK_MONOTONIC);
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left / 1'000'000)) == 0) {
      ::kill(c.pid, SIGKILL);
      return 0;
    }
    const ssize_t n = ::read(c.err, buf, sizeof buf);
    if (n <= 0) return 0;
    text.append(buf, static_cast<std::size_t>(n));
  }
}

// Waits for the child to end; its resource use (peak memory included).
rusage Finish(Child& c) {
  char buf[4096];
  while (::read(c.err, buf, sizeof buf) > 0) {}
  ::close(c.err);
  rusage use{};
  int status = 0;
  ::wait4(c.pid, &status, 0, &use);
  return use;
}

// Processor time (user and system) the process has used so far, in ns.
std::int64_t ProcessorNs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  // The fields after the command name, which ends at the last ')'.
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  long long utime = 0, stime = 0;
  for (int k = 3; k <= 15 && rest >> field; ++k) {
    if (k == 14) utime = std::atoll(field.c_str());
    if (k == 15) stime = std::atoll(field.c_str());
  }
  return (utime + stime) * 1'000'000'000LL / ::sysconf(_SC_CLK_TCK);
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

// The demo data folder, and an environment in which the programs started
// find nothing of the user's: their own runtime folder (the single-copy
// guard) and workstation name, and the offscreen platform.
struct Stage {
  BenchFolder root;
  std::string data = root.str() + "/office";
  std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + root.str() + "/run",
                               "EGRESSO_STATION=bench" + std::to_string(::getpid())};
  std::vector<std::string> args{"/MD=" + data, std::string("/TU=") + kDemoMainUser};
  bool ready = false;

  Stage() {
    ::mkdir((root.str() + "/run").c_str(), 0700);
    Child cli = Start(EGRESSO_CLI_PROGRAM, {"demo", data}, {});
    if (cli.pid > 0) Finish(cli);
    ready = std::filesystem::exists(data + "/CFGMAIN.DAF");
  }
  std::vector<std::string> with(const char* variable) const {
    std::vector<std::string> e = env;
    e.emplace_back(variable);
    return e;
  }
};

// Peak resident memory of a running program since it was started (VmHWM
// of /proc/<pid>/status), in kB; 0 when it cannot be read. The peak that
// wait4 reports would not do: it counts the pages the child shared with
// this process between fork and exec, and this process holds tens of
// megabytes of lists by then, more than either window.
double PeakKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6);
  return 0;
}

// One start of a program until its window is shown: the time to the
// window and its processor time (the program ends by itself once shown),
// or its peak memory by then (peakOnly: it is ended once measured).
struct StartFigures {
  double shownNs = 0, processorS = 0, peakKb = 0;
  bool ok = false;
};

StartFigures StartOnce(const Stage& stage, const std::string& program, const std::vector<std::string>& args,
                       bool peakOnly) {
  StartFigures f;
  Child c = Start(program, args, stage.with(peakOnly ? "EGRESSO_REPORT_SHOWN=1" : "EGRESSO_EXIT_WHEN_SHOWN=1"));
  if (c.pid < 0) return f;
  const std::int64_t shown = WaitShown(c);
  if (peakOnly) {
    f.peakKb = PeakKb(c.pid);
    ::kill(c.pid, SIGKILL);
  }
  const rusage use = Finish(c);
  f.ok = shown > 0 && (!peakOnly || f.peakKb > 0);
  f.shownNs = static_cast<double>(shown - c.startedNs);
  f.processorS = Seconds(use.ru_utime) + Seconds(use.ru_stime);
  return f;
}

// One start of the bare window (with bareArgs) and one of the program per
// iteration, in turns; empty after an error (reported).
std::vector<std::pair<StartFigures, StartFigures>> StartInTurns(benchmark::State& state,
                                                                const std::vector<std::string>& bareArgs,
                                                                bool peakOnly = false) {
  Stage stage;
  if (!stage.ready) state.SkipWithError("no demo data folder");
  std::vector<std::pair<StartFigures, StartFigures>> runs;
  for (auto _ : state) {
    const StartFigures bare = StartOnce(stage, EGRESSO_BARE_WINDOW, bareArgs, peakOnly);
    const StartFigures program = StartOnce(stage, EGRESSO_PROGRAM, stage.args, peakOnly);
    if (!bare.ok || !program.ok) {
      state.SkipWithError("a program ended without showing its window");
      return {};
    }
    runs.emplace_back(program, bare);
  }
  return runs;
}

// The fastest of one figure over the runs, for the program and the bare window.
std::pair<double, double> Fastest(const std::vector<std::pair<StartFigures, StartFigures>>& runs,
                                  double StartFigures::*figure) {
  std::vector<double> p, b;
  for (const auto& [program, bare] : runs) {
    p.push_back(program.*figure);
    b.push_back(bare.*figure);
  }
  return {bench::Turns::Fastest(p), bench::Turns::Fastest(b)};
}

// The bare window empty (argument 0), with a line of text (argument 1), or
// with the texts of the demo board's first screen in stock controls (2).
std::vector<std::string> BareArgs(const benchmark::State& state) {
  switch (state.range(0)) {
    case 1:
      return {"--label"};
    case 2:
      return {"--board-texts"};
    default:
      return {};
  }
}

// The aims hold beside the window with a line of text. An empty window
// never loads the font set-up that any window showing text loads, and the
// window with the board's texts shows what those texts alone cost: both
// ratios are shown for comparison only.
double AimBeside(const benchmark::State& state) { return state.range(0) == 1 ? 1.2 : 0; }

// Start-up until the board is shown, beside a bare window shown.
// cpu_ratio compares the processor time of the two whole runs.
void BM_StartUpBesideABareWindow(benchmark::State& state) {
  const auto runs = StartInTurns(state, BareArgs(state));
  if (runs.empty()) return;
  const auto [p, b] = Fastest(runs, &StartFigures::shownNs);
  const auto [pc, bc] = Fastest(runs, &StartFigures::processorS);
  state.counters["ratio"] = p / b;
  state.counters["aim"] = AimBeside(state);
  state.counters["program_ms"] = p / 1e6;
  state.counters["bare_ms"] = b / 1e6;
  state.counters["cpu_ratio"] = bc > 0 ? pc / bc : 0;
}
BENCHMARK(BM_StartUpBesideABareWindow)->ArgName("label")->Arg(0)->Arg(1)->Arg(2)->Iterations(12)->Unit(benchmark::kMillisecond);

// Peak memory (VmHWM) of the program once its board is shown, beside the
// bare window's.
void BM_MemoryBesideABareWindow(benchmark::State& state) {
  const auto runs = StartInTurns(state, BareArgs(state), true);
  if (runs.empty()) return;
  const auto [p, b] = Fastest(runs, &StartFigures::peakKb);
  state.counters["ratio"] = p / b;
  state.counters["aim"] = AimBeside(state);
  state.counters["program_MB"] = p / 1024;
  state.counters["bare_MB"] = b / 1024;
}
BENCHMARK(BM_MemoryBesideABareWindow)->ArgName("label")->Arg(0)->Arg(1)->Arg(2)->Iterations(3)->Unit(benchmark::kMillisecond);

// The program left idle with its board shown, for a minute (or
// EGRESSO_BENCH_IDLE_SECONDS), the bare window beside it: the processor
// time it takes, in per cent of the time that passed (aim: under 1 %).
void BM_IdleProcessorUse(benchmark::State& state) {
  Stage stage;
  if (!stage.ready) state.SkipWithError("no demo data folder");
  const char* s = std::getenv("EGRESSO_BENCH_IDLE_SECONDS");
  const int seconds = s != nullptr && std::atoi(s) > 0 ? std::atoi(s) : 60;
  for (auto _ : state) {
    Child program = Start(EGRESSO_PROGRAM, stage.args, stage.with("EGRESSO_REPORT_SHOWN=1"));
    Child bare = Start(EGRESSO_BARE_WINDOW, {}, stage.with("EGRESSO_REPORT_SHOWN=1"));
    const bool shown = WaitShown(program) > 0 && WaitShown(bare) > 0;
    // The start's own work settles first.
    ::sleep(2);
    const std::int64_t wall0 = NowNs(CLOCK_MONOTONIC);
    const std::int64_t p0 = ProcessorNs(program.pid), b0 = ProcessorNs(bare.pid);
    ::sleep(static_cast<unsigned>(seconds));
    const double wall = static_cast<double>(NowNs(CLOCK_MONOTONIC) - wall0);
    const double p = static_cast<double>(ProcessorNs(program.pid) - p0);
    const double b = static_cast<double>(ProcessorNs(bare.pid) - b0);
    for (Child* c : {&program, &bare}) {
      ::kill(c->pid, SIGTERM);
      Finish(*c);
    }
    if (!shown) {
      state.SkipWithError("a program ended without showing its window");
      break;
    }
    state.counters["ratio"] = 100 * p / wall;
    state.counters["aim"] = 1.0;
    state.counters["bare_percent"] = 100 * b / wall;
    state.counters["program_cpu_ms"] = p / 1e6;
    state.counters["seconds"] = wall / 1e9;
  }
}
BENCHMARK(BM_IdleProcessorUse)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace egresso
