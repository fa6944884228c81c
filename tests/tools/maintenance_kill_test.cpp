// A purge or restore killed at each of its renames, then another
// workstation sends messages and signs out as if nothing had happened: it
// finishes the half-done switch first, under the dead run's locks, and
// nothing it wrote is lost or mixed with the other set.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <functional>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "messages/form_world.h"
#include "storage/file_set.h"
#include "support/child_process.h"
#include "tools/maint_folder.h"

namespace egresso {
namespace {

using test::FormWorld;

// The user at the other workstation frees every lock the dead run left
// (Ctrl+F), the restore's never-broken ones included.
class FreeingAlert : public LockAlert {
 public:
  void flash(std::string_view, int) override { answered = 6; }
  int takeKeyAnswer() override { return std::exchange(answered, 0); }
  int answered = 0;
};

struct MaintRun {
  const char* name;
  std::vector<std::string> args;  // of the maintenance child
  bool bodiesMove;                // with their messages (a restore has no bodies to bring back)
  // Writes the folder; returns the subjects either set holds open.
  std::function<std::vector<std::set<std::string>>(FormWorld&)> prepare;
};

std::set<std::string> Names(const std::string& tag, int count, int deletedEvery) {
  std::set<std::string> names;
  for (int k = 0; k < count; ++k)
    if (deletedEvery == 0 || k % deletedEvery != 0) names.insert(tag + std::to_string(k));
  return names;
}

// Runs the child, killed at rename killAt (0: not killed, its renames are
// counted); returns that count.
int RunKilledAt(const FormWorld& w, const MaintRun& run, int killAt) {
  ::setenv("EGRESSO_KILL_AT_RENAME", std::to_string(killAt).c_str(), 1);
  std::vector<std::string> args{w.dir.str()};
  args.insert(args.end(), run.args.begin(), run.args.end());
  const pid_t pid = test::SpawnChild(test::ChildProgram("maintenance_child"), args);
  ::unsetenv("EGRESSO_KILL_AT_RENAME");
  int status = 0;
  if (pid == 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  if (killAt > 0) return WIFSIGNALED(status) ? killAt : -1;
  int renames = -1;
  std::ifstream(w.dir / "RENAMES") >> renames;
  return renames;
}

// What is wrong after the other workstation's work; empty when nothing.
std::string Judge(FormWorld& w, const std::vector<std::set<std::string>>& sets, const std::set<std::string>& sent,
                  bool bodiesMove) {
  // Whatever a later start would still complete has been completed by then.
  CompleteFileSetSwitch(w.dir.str());
  const auto recs = test::ReadRecords(w.dir / "MESSAGE.DAF");
  if (std::filesystem::file_size(w.dir / "MESSAGE.DAI") != recs.size() * brd::IndexSize) return "index length";
  std::set<std::string> open;
  for (std::size_t n = 0; n < recs.size(); ++n) {
    if (recs[n].closed()) continue;
    const std::string name = recs[n].headline();
    if (w.index("MESSAGE.DAI", static_cast<int>(n)).Key != recs[n].madeDay()) return "index entry of " + name;
    const std::string body = test::Slurp(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0"));
    const bool ok = sent.count(name) ? body.find("text " + name) != std::string::npos : !bodiesMove || body == "body " + name;
    if (!ok) return "body of " + name;
    if (!open.insert(name).second) return name + " twice";
  }
  for (const auto& set : sets) {
    std::set<std::string> expected = set;
    expected.insert(sent.begin(), sent.end());
    if (open == expected) return {};
  }
  std::string found;
  for (const auto& n : open) found += n + " ";
  return "open messages " + found;
}

TEST(MaintenanceKilledAtARename, LaterSendsAndSignOutsOfAnotherWorkstationAreKept) {
  const MaintRun runs[] = {
      {"purge", {"purge"}, true,
       [](FormWorld& w) {
         test::WriteMessages(w.dir.path(), 9, 3);
         return std::vector<std::set<std::string>>{Names("m", 9, 3)};
       }},
      {"restore", {"restore", "1"}, false,
       [](FormWorld& w) {
         std::filesystem::create_directories(w.dir / "BACKUP");
         std::filesystem::copy_file(w.ws.paths.MainConfigPath, w.dir / "BACKUP" / "CFGMAIN.BA1");
         test::WriteMessages(w.dir.path(), 6, 0, "b");
         std::filesystem::copy_file(w.dir / "MESSAGE.DAF", w.dir / "BACKUP" / "MESSAGE.BA1");
         test::WriteMessages(w.dir.path(), 7, 0, "l");
         return std::vector<std::set<std::string>>{Names("l", 7, 0), Names("b", 6, 0)};
       }},
  };
  for (const MaintRun& run : runs) {
    int renames = 0;
    for (int killAt = 0; killAt <= renames; ++killAt) {
      SCOPED_TRACE(std::string(run.name) + " killed at rename " + std::to_string(killAt));
      FormWorld w("BOB");
      FreeingAlert freeing;
      w.ws.platform.lockAlert = &freeing;
      const auto sets = run.prepare(w);
      const int got = RunKilledAt(w, run, killAt);
      ASSERT_GE(got, killAt > 0 ? killAt : 1);
      if (killAt == 0) renames = got;

      std::set<std::string> sent;
      for (const std::string name : {"after0", "after1"}) {
        ASSERT_GE(FormWorld::send(w.ws, "ANN", name, "text " + name), 0);
        sent.insert(name);
      }
      auto form = FormWorld::show(w.ws, 1, 'N');
      form->f.ReturnTime = "4:30P";
      form->f.Location = "Out after the kill";
      form->OKbtnClick();
      EXPECT_TRUE(form->saved());
      EXPECT_EQ(w.record("LOCATE.DAF", w.ws.UserSlot).headline(), "Out after the kill");
      EXPECT_EQ(Judge(w, sets, sent, run.bodiesMove), "");
    }
    EXPECT_GT(renames, 3) << run.name;
  }
}

}  // namespace
}  // namespace egresso
