// A purge or restore killed at each of its renames; then another
// workstation sends and signs out. It completes the half-done switch first,
// under the dead run's locks: nothing it wrote is lost or mixed.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <set>

#include "messages/form_world.h"
#include "storage/file_set.h"
#include "support/child_process.h"
#include "tools/maint_folder.h"

namespace egresso {
namespace {

using test::FormWorld;

// The user frees every lock the dead run left (Ctrl+F), even a restore's.
struct FreeingAlert : LockAlert {
  void flash(std::string_view, int) override { answered = 6; }
  int takeKeyAnswer() override { return std::exchange(answered, 0); }
  int answered = 0;
};

std::set<std::string> Names(const std::string& tag, int count, int deletedEvery, std::set<std::string> sent) {
  for (int k = 0; k < count; ++k)
    if (deletedEvery == 0 || k % deletedEvery != 0) sent.insert(tag + std::to_string(k));
  return sent;
}

TEST(MaintenanceKilledAtARename, LaterSendsAndSignOutsOfAnotherWorkstationAreKept) {
  const std::set<std::string> sent = {"after0", "after1"};
  for (const bool restore : {false, true}) {
    bool killed = true;
    int kills = 0;
    for (int killAt = 1; killed; ++killAt) {
      SCOPED_TRACE((restore ? "restore killed at rename " : "purge killed at rename ") + std::to_string(killAt));
      FormWorld w("BOB");
      w.locksMayRemain = true;  // the killed run's own locks, nobody's to take
      FreeingAlert freeing;
      w.ws.platform.lockAlert = &freeing;
      std::filesystem::create_directories(w.dir / "BACKUP");
      std::filesystem::copy_file(w.ws.paths.MainConfigPath, w.dir / "BACKUP" / "CFGMAIN.BA1");
      test::WriteMessages(w.dir.path(), 6, 0, "b");
      std::filesystem::copy_file(w.dir / "MESSAGE.DAF", w.dir / "BACKUP" / "MESSAGE.BA1");
      test::WriteMessages(w.dir.path(), 9, restore ? 0 : 3, "m");
      ::setenv("EGRESSO_KILL_AT_RENAME", std::to_string(killAt).c_str(), 1);
      const pid_t pid = test::SpawnChild(test::ChildProgram("maintenance_child"),
                                         {w.dir.str(), restore ? "restore" : "purge", "1"});
      ::unsetenv("EGRESSO_KILL_AT_RENAME");
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      killed = WIFSIGNALED(status);
      kills += killed;
      for (const std::string& name : sent) ASSERT_GE(FormWorld::send(w.ws, "ANN", name, "text " + name), 0);
      auto form = FormWorld::show(w.ws, 1, 'N');
      form->f.ReturnTime = "4:30P";
      form->f.Location = "Out after the kill";
      form->OKbtnClick();
      EXPECT_EQ(w.record("LOCATE.DAF", w.ws.UserSlot).headline(), "Out after the kill");

      CompleteFileSetSwitch(w.dir.str(), PosixFileOps());  // all a later start could still do
      const auto recs = test::ReadRecords(w.dir / "MESSAGE.DAF");
      EXPECT_EQ(std::filesystem::file_size(w.dir / "MESSAGE.DAI"), recs.size() * brd::IndexSize);
      std::set<std::string> open;
      for (std::size_t n = 0; n < recs.size(); ++n) {
        if (recs[n].closed()) continue;
        const std::string name = recs[n].headline(), body = test::Slurp(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0"));
        EXPECT_TRUE(open.insert(name).second) << name;
        EXPECT_EQ(w.index("MESSAGE.DAI", static_cast<int>(n)).Key, recs[n].madeDay()) << name;
        // A restore brings back no bodies.
        EXPECT_TRUE(sent.count(name) ? body.find("text " + name) != std::string::npos : restore || body == "body " + name)
            << name;
      }
      EXPECT_TRUE(open == Names("m", 9, restore ? 0 : 3, sent) || (restore && open == Names("b", 6, 0, sent)));
    }
    EXPECT_GT(kills, 3);
  }
}

}  // namespace
}  // namespace egresso
