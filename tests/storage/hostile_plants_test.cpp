// Every writing command, with a link, a FIFO, a folder, a device or an
// endless file put at each name of the data folder it opens: nothing outside
// the folder changes, the command ends within its wait, no lock is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <map>
#include <thread>

#include "support/hostile_plants.h"

namespace egresso {
namespace {

// In a child process, so that one that hangs is ended and told.
bool endsWithin(int seconds, test::FormWorld& w, const test::PlantCommand& c) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(static_cast<unsigned>(seconds * 3));
    c.second(w);
    ::_exit(0);
  }
  int status = 0;
  for (int ms = 0; ::waitpid(pid, &status, WNOHANG) == 0; ms += 5) {
    if (ms > seconds * 1000) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status);
}

TEST(HostilePlants, NothingOutsideChangesNoCommandHangsNoLockIsLeft) {
  test::TempDir outside;
  test::MakeOutside(outside.path());
  const std::string before = test::LookOutside(outside.path());
  // The names each command opens when nothing was planted; a command line
  // run makes a workstation of its own, which is given them all.
  std::map<std::string, std::set<std::string>> names;
  std::set<std::string> all;
  for (const test::PlantCommand& c : test::kPlantCommands) {
    test::NamesOpened seen;
    test::FormWorld w;
    test::prepare(w);
    seen.folder = w.dir.path();
    w.ws.files = &seen;
    c.second(w);
    names[c.first] = seen.names;
    all.insert(seen.names.begin(), seen.names.end());
    for (const std::string& name : seen.appending)
      EXPECT_TRUE(name.starts_with("TIMER.")) << c.first << " opens " << name << " for appending";
  }
  for (const test::PlantCommand& c : test::kPlantCommands) {
    std::set<std::string> targets = names[c.first].empty() ? all : names[c.first];
    // The folders the files stand in are planted too (BULLETIN as a link to
    // a folder outside).
    for (const std::string& name : std::set<std::string>(targets))
      if (const auto slash = name.find('/'); slash != std::string::npos) targets.insert(name.substr(0, slash));
    for (const std::string& name : targets) {
      for (std::size_t p = 0; p < std::size(test::kPlants); ++p) {
        test::FormWorld w;
        w.locksMayRemain = true;  // a plant that is no lock of the command's stays; checked below
        test::prepare(w);
        test::PlantAt(w.dir / name, p, outside.path());
        const std::string what = std::string(c.first) + " with a " + test::kPlants[p] + " at " + name;
        SCOPED_TRACE(what);
        // The command's own wait, and what a busy machine needs besides.
        EXPECT_TRUE(endsWithin(test::kWaitSeconds + 8, w, c)) << what << " did not end in time";
        EXPECT_EQ(test::LookOutside(outside.path()), before) << what;
        // A plant at a lock the command takes is no lock: it goes.
        const bool taken = names[c.first].count(name) > 0;
        for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
          if (taken || e.path().filename() != name)
            EXPECT_NE(e.path().extension(), ".LOK") << what << ": " << e.path().filename() << " left";
        if (HasFailure()) return;
      }
    }
  }
}

}  // namespace
}  // namespace egresso
