// Every writing command, with a link, a FIFO, a folder, a device or an
// endless file put by a co-worker at each name of the data folder it opens:
// nothing outside the folder changes, the command ends within its wait, and
// no lock is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/plant_commands.h"

namespace egresso {
namespace {

using test::FormWorld;

using test::commands;
using test::prepare;
using test::PlantCommand;
using test::kWaitSeconds;
// The command's own wait, plus what a busy machine needs to start it.
constexpr int kEndWithinSeconds = kWaitSeconds + 8;

// Runs the command in a child process, so that one that hangs is ended and
// told; true when it ended by itself in time.
bool endsInTime(FormWorld& w, const PlantCommand& c) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(kEndWithinSeconds * 3);
    c.run(w);
    ::_exit(0);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kEndWithinSeconds);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > until) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status);
}

TEST(HostilePlants, NothingOutsideChangesNoCommandHangsNoLockIsLeft) {
  test::TempDir outsideDir;
  const std::filesystem::path outside = outsideDir.path();
  test::MakeOutside(outside);
  const std::string before = test::LookOutside(outside);
  int runs = 0;
  for (const PlantCommand& c : commands()) {
    // The names the command opens when nothing was planted.
    std::set<std::string> names;
    {
      FormWorld w;
      prepare(w);
      test::NamesOpened seen(w.dir.path());
      w.ws.files = &seen;
      c.run(w);
      names = seen.names;
    }
    ASSERT_FALSE(names.empty()) << c.name;
    for (const std::string& name : names) {
      for (test::Plant p : test::kPlants) {
        FormWorld w;
        prepare(w);
        test::PlantAt(w.dir / name, p, outside);
        const std::string what = std::string(c.name) + " with " + test::PlantName(p) + " at " + name;
        EXPECT_TRUE(endsInTime(w, c)) << what << ": did not end within " << kEndWithinSeconds << " s";
        EXPECT_EQ(test::LookOutside(outside), before) << what;
        for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
          EXPECT_NE(e.path().extension(), ".LOK") << what << ": " << e.path().filename() << " left";
        ++runs;
        if (HasFailure()) return;
      }
    }
  }
  RecordProperty("runs", runs);
}

}  // namespace
}  // namespace egresso
