// Fifty workstations, as many as the employee table holds, each a script
// that runs egresso-cli to sign a colleague out and back in twice, all
// starting together with the program's default wait, all of one computer
// and account (one station, told apart by their processes). Every command
// goes through (the wait counts from the lock's last change of hands); the
// board and the journal agree with what went through, and no lock is left. The
// figures (failures, the 95th percentile beside one workstation's median)
// are printed for the speed table. On the test script's Samba share when
// EGRESSO_SHARE_DIR names one, else locally.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "board/board_world.h"
#include "support/share_folder.h"

extern char** environ;

namespace egresso {
namespace {

constexpr int kStations = 50;

std::string Initials(int i) { return "E" + std::string(i < 10 ? "0" : "") + std::to_string(i); }

struct CliRun {
  int code = -1;
  double ms = 0;
  std::string err;
};

// One egresso-cli command as a script on a workstation runs it.
CliRun RunCli(const std::vector<std::string>& args, const std::filesystem::path& errors) {
  const std::string program = std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli";
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  CliRun r;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (r.code != 0) r.err = test::readFile(errors);
  return r;
}

// Workstation i signs colleague i+1 out and in, twice.
std::vector<CliRun> SignColleagueOutAndInTwice(const std::filesystem::path& dir, int i) {
  const std::string md = "/MD=" + dir.string(), tu = "/TU=" + Initials(i);
  const std::string who = Initials(i % kStations + 1);
  const std::filesystem::path errors = dir / "LOGS" / (Initials(i) + ".err");
  std::vector<CliRun> runs;
  for (int round = 0; round < 2; ++round) {
    runs.push_back(RunCli({"out", "--who", who, "--to", "Visit " + std::to_string(round), "--date", "+1", "--back",
                           "10A", md, tu},
                          errors));
    runs.push_back(RunCli({"in", "--who", who, md, tu}, errors));
  }
  return runs;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

TEST(Load, FiftyCommandLinesAtOnceChangeOnlyWhatWentThrough) {
  const std::string share = test::ShareFolder();
  test::BoardWorld w("E01", share);
  for (int i = 1; i <= kStations; ++i) {
    w.ws.mcfg.setEmpInitials(i, Initials(i));
    w.ws.mcfg.setEmpName(i, "Employee " + std::to_string(i));
  }
  // The journal on, as an office keeps it.
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.saveConfig();
  w.allIn();
  std::filesystem::create_directory(w.dir / "LOGS");

  // One workstation alone, for the yardstick.
  std::vector<double> alone;
  for (const CliRun& r : SignColleagueOutAndInTwice(w.dir.path(), kStations)) {
    ASSERT_EQ(r.code, 0) << r.err;
    alone.push_back(r.ms);
  }
  for (const CliRun& r : SignColleagueOutAndInTwice(w.dir.path(), kStations)) alone.push_back(r.ms);
  const double median = Percentile(alone, 0.5);

  test::MountWatch watch(w.dir.str());
  std::mutex m;
  std::condition_variable go;
  bool started = false;
  std::vector<std::vector<CliRun>> runs(kStations);
  std::vector<std::thread> stations;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= kStations; ++i)
    stations.emplace_back([&, i] {
      {
        std::unique_lock lock(m);
        go.wait(lock, [&] { return started; });
      }
      runs[static_cast<std::size_t>(i - 1)] = SignColleagueOutAndInTwice(w.dir.path(), i);
    });
  {
    std::lock_guard lock(m);
    started = true;
  }
  go.notify_all();
  for (auto& t : stations) t.join();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  watch.stop();
  EXPECT_EQ(watch.lost(), "") << "the folder went away during the run";

  std::vector<double> times;
  int failed = 0;
  std::ostringstream failures;
  for (int i = 1; i <= kStations; ++i) {
    const std::string who = Initials(i % kStations + 1);
    int through = 0;
    bool out = false;
    const std::vector<CliRun>& mine = runs[static_cast<std::size_t>(i - 1)];
    for (std::size_t k = 0; k < mine.size(); ++k) {
      const CliRun& r = mine[k];
      times.push_back(r.ms);
      const bool signOut = k % 2 == 0;
      if (r.code == 0) {
        // A sign-in of somebody who is in already ("is in already")
        // changes nothing and writes no line.
        through += signOut || out;
        out = signOut;
        continue;
      }
      ++failed;
      // The lock passes from one to the next the whole time: a command that
      // waits its turn goes through; none is stopped.
      ADD_FAILURE() << Initials(i) << " exited " << r.code << ": " << r.err;
      if (failed <= 3) failures << Initials(i) << ": " << r.err;
    }
    // Every sign-out and sign-in that went through has its journal line
    // (the yardstick's eight go to E01's); the entry is what the last one
    // that went through left.
    int lines = 0;
    std::istringstream journal(test::readFile(w.dir / ("INOUT" + who + ".DAF")));
    for (std::string line; std::getline(journal, line);) lines += !line.empty() && !line.starts_with("    ");
    EXPECT_EQ(lines, through + (who == Initials(1) ? 8 : 0)) << who << "'s journal";
    EXPECT_EQ(w.record("LOCATE.DAF", i % kStations + 1).closed(), out ? 0 : 1) << who;
  }
  std::cout << "fifty: " << times.size() << " commands in " << elapsed << " s, " << failed
            << " stopped by a busy lock; alone median " << median << " ms; at once median "
            << Percentile(times, 0.5) << " ms, 95th percentile " << Percentile(times, 0.95) << " ms ("
            << Percentile(times, 0.95) / median << " times the median alone), slowest " << Percentile(times, 1.0)
            << " ms" << std::endl
            << failures.str();
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    EXPECT_NE(e.path().extension(), ".LOK") << e.path();
  if (!share.empty() && ::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
