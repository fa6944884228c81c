#include "tools/file_maint.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include <fcntl.h>

#include "board/board_commands.h"
#include "board/board_world.h"
#include "config/config_store.h"
#include "messages/form_world.h"
#include "storage/file_set.h"
#include "storage/locks.h"
#include "support/faulty_file_ops.h"
#include "support/share_folder.h"
#include "tools/maint_folder.h"

namespace egresso {
namespace {

using test::BoardWorld;
using test::readFile;
using test::Slurp;
using test::writeFile;

class Maintenance : public ::testing::Test {
 protected:
  BoardWorld w;
  std::filesystem::path bulletin = w.dir / "BULLETIN";
  std::filesystem::path backup = w.dir / "BACKUP";

  void SetUp() override { w.allIn(); }
  void purge() {
    ASSERT_TRUE(AcquireLock(w.ws, "MEMOLK", "BBDL1"));
    ASSERT_TRUE(AcquireLock(w.ws, "LOCATELK", "BBDL2"));
    PurgeTaggedMessages(w.ws);
    ReleaseLock(w.ws, "LOCATELK");
    ReleaseLock(w.ws, "MEMOLK");
  }
  // A backup generation n of the configuration and the message file, and
  // live files that differ from it.
  void backupGeneration(int n) {
    std::filesystem::create_directories(backup);
    std::filesystem::copy_file(w.ws.paths.MainConfigPath, backup / ("CFGMAIN.BA" + std::to_string(n)));
    test::WriteMessages(w.dir.path(), 5, 0, "old");
    std::filesystem::copy_file(w.dir / "MESSAGE.DAF", backup / ("MESSAGE.BA" + std::to_string(n)));
    test::WriteMessages(w.dir.path(), 3, 0, "new");
  }
};

TEST_F(Maintenance, PurgeDropsDeletedMessagesAndRenumbersTheRestWithTheirBodies) {
  test::WriteMessages(w.dir.path(), 4, 2);  // 0 and 2 deleted
  writeFile(bulletin / "4.DA0", "stray");  // beyond the end before and after
  ::chmod(w.path("MESSAGE.DAF").c_str(), 0640);
  purge();
  EXPECT_EQ(test::CheckMessageSet(w.dir.path(), 4, 2), "");
  const auto recs = test::ReadRecords(w.dir / "MESSAGE.DAF");
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].headline(), "m1");
  EXPECT_EQ(recs[1].headline(), "m3");
  EXPECT_EQ(readFile(bulletin / "0.DA0"), "body m1");
  EXPECT_EQ(readFile(bulletin / "1.DA0"), "body m3");
  EXPECT_FALSE(std::filesystem::exists(bulletin / "2.DA0"));
  EXPECT_FALSE(std::filesystem::exists(bulletin / "3.DA0"));
  EXPECT_EQ(std::filesystem::file_size(w.path("MESSAGE.DAI")), 6u);
  EXPECT_EQ(w.index("MESSAGE.DAI", 1).Key, recs[1].madeDay());
  // The compacted file took the old one's permission bits (normalising only adds).
  struct stat st;
  ASSERT_EQ(::stat(w.path("MESSAGE.DAF").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0640, 0640u);
  EXPECT_EQ(st.st_mode & 0111, 0u);
  // Nothing staged is left behind.
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    EXPECT_EQ(e.path().string().find(kStagingSuffix), std::string::npos) << e.path();
  EXPECT_FALSE(std::filesystem::exists(w.dir / kSwitchJournal));
}

TEST_F(Maintenance, WithNothingDeletedTheFilesStayAsTheyWereAndTheIndexesAreMadeAgain) {
  test::WriteMessages(w.dir.path(), 6, 0);
  const std::string data = readFile(w.path("MESSAGE.DAF"));
  const std::string locate = readFile(w.path("LOCATE.DAF"));
  const std::string locIndex = readFile(w.path("LOCATE.DAI"));
  writeFile(w.path("MESSAGE.DAI"), "x");  // a damaged index
  std::filesystem::remove(w.path("LOCATE.DAI"));
  purge();
  EXPECT_EQ(readFile(w.path("MESSAGE.DAF")), data);
  EXPECT_EQ(test::CheckMessageSet(w.dir.path(), 6, 0), "");
  EXPECT_EQ(readFile(w.path("LOCATE.DAF")), locate);
  EXPECT_EQ(readFile(w.path("LOCATE.DAI")), locIndex);
}

TEST_F(Maintenance, TheAccountFileLosesItsDeletedRecordsButNeverTheFirst) {
  std::string acct;
  for (int r = 0; r < 4; ++r) {
    std::string rec(kAccountRecordSize, static_cast<char>('a' + r));
    rec[kAccountDeleted] = (r == 0 || r == 2) ? 1 : 0;
    acct += rec;
  }
  writeFile(w.path("ACCT.DAF"), acct);
  purge();
  const std::string after = readFile(w.path("ACCT.DAF"));
  ASSERT_EQ(after.size(), 3 * kAccountRecordSize);
  EXPECT_EQ(after[0], 'a');
  EXPECT_EQ(after[kAccountRecordSize], 'b');
  EXPECT_EQ(after[2 * kAccountRecordSize], 'd');
}

TEST_F(Maintenance, RestoreBringsAGenerationBackAndKeepsWhatItReplacedAsGenerationNine) {
  backupGeneration(2);
  w.ws.paths.SchedDataPath = w.path("SCHED.DAF");
  std::string sched(2 * 1024, '\0');
  sched[1024 + 0] = static_cast<char>(15000 & 0xFF);
  sched[1024 + 1] = static_cast<char>(15000 >> 8);
  sched[1024 + 2] = static_cast<char>(15002 & 0xFF);
  sched[1024 + 3] = static_cast<char>(15002 >> 8);
  sched.replace(1024 + 5, 3, std::string("\x02K1", 3));
  writeFile(backup / "SCHED.BA2", sched);
  writeFile(w.dir / "SCHED.DAE", "stale");
  const std::string liveConfig = readFile(w.ws.paths.MainConfigPath);
  const std::string liveMessages = readFile(w.path("MESSAGE.DAF"));
  RestoreData(w.ws, 2);
  EXPECT_EQ(w.fake.dialogs.dialogs.size(), 2u);  // the two questions
  EXPECT_EQ(readFile(w.path("MESSAGE.DAF")), readFile(backup / "MESSAGE.BA2"));
  EXPECT_EQ(std::filesystem::file_size(w.path("MESSAGE.DAI")), 5u * 3);
  EXPECT_EQ(readFile(backup / "MESSAGE.BA9"), liveMessages);
  EXPECT_EQ(readFile(backup / "CFGMAIN.BA9"), liveConfig);
  EXPECT_EQ(readFile(backup / "LOCATE.BA9"), readFile(w.path("LOCATE.DAF")));  // not in the backup: kept
  // The schedule's companions describe the restored schedule.
  const std::string key = readFile(w.dir / "SCHED.DAE");
  ASSERT_EQ(key.size(), 2u * 13);
  EXPECT_EQ(key.substr(13, 3), std::string("\x02K1", 3));
  const std::string index = readFile(w.dir / "SCHED.DAI");
  ASSERT_EQ(index.size(), 16384u);
  EXPECT_EQ(getI16(ConstBytes(reinterpret_cast<const std::uint8_t*>(index.data()), index.size()), 0), 15000);
  EXPECT_EQ(index[8192], 2);
  EXPECT_EQ(std::filesystem::file_size(w.dir / "SCHED.DAQ"), 2u * 151);
  for (const char* lock : {"BAK", "SCHED", "LOG", "PROJ", "MEMOLK", "LOCATELK"})
    EXPECT_FALSE(std::filesystem::exists(w.dir / (std::string(lock) + ".LOK"))) << lock;
}

TEST_F(Maintenance, RestoreTouchesNothingWhenRefusedOrWithoutThatGeneration) {
  backupGeneration(1);
  const std::string live = readFile(w.path("MESSAGE.DAF"));
  // A busy lock: the user gives up waiting.
  auto other = w.station("BOB");
  other->StationId = "other";
  ASSERT_TRUE(AcquireLock(*other, "PROJ", "X"));
  w.ws.StationId = "main";
  w.fake.lockAlert.keyAnswer = 27;
  w.fake.events.keys = {27, 27, 27};
  // The questions are asked before any lock is taken.
  bool lockedWhileAsked = false;
  w.fake.dialogs.whileShown = [&](const DialogRequest&) {
    for (const char* lock : {"BAK", "SCHED", "LOG", "MEMOLK", "LOCATELK"})
      lockedWhileAsked = lockedWhileAsked || std::filesystem::exists(w.dir / (std::string(lock) + ".LOK"));
  };
  RestoreData(w.ws, 1);
  EXPECT_EQ(w.fake.dialogs.dialogs.size(), 2u);
  EXPECT_FALSE(lockedWhileAsked);
  w.fake.dialogs.dialogs.clear();
  EXPECT_FALSE(std::filesystem::exists(backup / "MESSAGE.BA9"));
  EXPECT_FALSE(std::filesystem::exists(w.dir / "BAK.LOK"));
  ReleaseLock(*other, "PROJ");

  // No such generation.
  RestoreData(w.ws, 0);
  EXPECT_NE(w.fake.dialogs.allText().find(w.ws.notices.lines[1736]), std::string::npos);
  // The user says No to the second question.
  w.fake.dialogs.answers = {1, 2};
  RestoreData(w.ws, 1);
  // Not the main user.
  BoardWorld bob("BOB");
  RestoreData(bob.ws, 1);
  EXPECT_EQ(readFile(w.path("MESSAGE.DAF")), live);
  EXPECT_FALSE(std::filesystem::exists(backup / "MESSAGE.BA9"));
}

// "" when the message file holds count records "<tag><k>", each with the
// body "body <tag><k>" (none for number noBody), and no body lies beyond.
std::string EveryBodyItsOwn(const std::filesystem::path& dir, const std::string& tag, int count, int noBody) {
  const auto recs = test::ReadRecords(dir / "MESSAGE.DAF");
  if (recs.size() != static_cast<std::size_t>(count)) return "records: " + std::to_string(recs.size());
  for (int k = 0; k < count; ++k) {
    const std::string name = tag + std::to_string(k);
    if (recs[static_cast<std::size_t>(k)].headline() != name) return "record " + std::to_string(k);
    if (Slurp(dir / "BULLETIN" / (std::to_string(k) + ".DA0")) != (k == noBody ? "<none>" : "body " + name))
      return "body of " + std::to_string(k);
  }
  if (std::filesystem::exists(dir / "BULLETIN" / (std::to_string(count) + ".DA0"))) return "a body beyond the end";
  return "";
}

// A purge or a restore while another workstation keeps open a file the
// switch replaces (a file server refuses then to replace it): the switch
// stops at that file, no other workstation reads the half-switched set, and
// the first look once the file is closed finishes the switch whole: every
// message shows its own body and none is lost. On the share the file is
// really open; elsewhere the server's answer is played.
void SwitchPastAFileHeldOpen(const std::string& share) {
  struct Row {
    bool restore;
    const char* held;
  } rows[] = {{false, "MESSAGE.DAF"}, {false, "BULLETIN/1.DA0"}, {true, "MESSAGE.DAF"}, {true, "BULLETIN/1.DA0"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.restore ? "restore, " : "purge, ") + row.held + " held open");
    BoardWorld w("ANN", share);
    w.allIn();
    w.notice(2097, "in use on another workstation");
    auto bob = w.station("BOB");
    w.ws.StationId = "ann";
    bob->StationId = "bob";
    bob->options.KeepDays = 100000;  // the messages are dated long ago: none expires here
    test::HeldOpenElsewhere ops;
    w.ws.files = bob->files = &ops;
    if (row.restore) {
      // Yesterday's backup: five messages, number 2 without a body; today's
      // three others, and a body beyond them.
      test::WriteMessages(w.dir.path(), 5, 0, "b");
      std::filesystem::remove(w.dir / "BULLETIN" / "2.DA0");
      BackupDataFiles(w.ws);
      std::filesystem::copy_file(w.ws.paths.MainConfigPath, w.dir / "BACKUP" / "CFGMAIN.BA1",
                                 std::filesystem::copy_options::skip_existing);
      test::WriteMessages(w.dir.path(), 3, 0, "l");
      writeFile(w.dir / "BULLETIN" / "5.DA0", "body l5");
    } else {
      test::WriteMessages(w.dir.path(), 6, 2);  // 0, 2 and 4 deleted
    }
    std::string shown;
    BoardHooks hooks;
    hooks.openForm = [&](char, int) {
      EgressoForm form(*bob);
      form.FormShow();
      shown = form.f.ReturnTime + "|" + form.f.Location;
      return false;
    };
    BoardWorld::mode(*bob, 0);
    const std::string held = w.path(row.held);
    const int fd = share.empty() ? -1 : ::open(held.c_str(), O_RDONLY);
    if (share.empty()) ops.held = held;
    if (row.restore) RestoreData(w.ws, 1);
    else PurgeTaggedMessages(w.ws);
    EXPECT_TRUE(FileSetSwitchPending(PosixFileOps(), w.dir.str())) << "the refused step stops the switch";
    EXPECT_NE(w.fake.dialogs.allText().find(MessageText(w.ws, 2097)), std::string::npos);
    EXPECT_EQ(OpenEntry(*bob, 1, false, false, false, hooks), CommandResult::NotRun);
    EXPECT_EQ(shown, "") << "a half-switched set is read by nobody";
    if (fd >= 0) ::close(fd);
    ops.held.clear();
    EXPECT_EQ(OpenEntry(*bob, 1, false, false, false, hooks), CommandResult::Done);
    EXPECT_FALSE(FileSetSwitchPending(PosixFileOps(), w.dir.str()));
    EXPECT_EQ(shown, row.restore ? "b1|body b1" : "m3|body m3");
    if (row.restore) {
      EXPECT_EQ(EveryBodyItsOwn(w.dir.path(), "b", 5, 2), "");
    } else {
      EXPECT_EQ(test::CheckMessageSet(w.dir.path(), 6, 2), "");
      EXPECT_EQ(test::ReadRecords(w.dir / "MESSAGE.DAF").size(), 3u);
    }
  }
}

TEST(MaintenanceSwitch, AFileHeldOpenElsewhereStopsTheSwitchUntilItIsClosed) { SwitchPastAFileHeldOpen(""); }

TEST(MaintenanceSwitch, AFileHeldOpenElsewhereStopsTheSwitchUntilItIsClosedOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  SwitchPastAFileHeldOpen(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

// A purge meets a workstation that breaks locks: by its stale-lock timeout,
// which never breaks the purge's maintenance locks (its user gives up
// waiting), or by its user's Ctrl+F (the purge then changes nothing).
// What that workstation saves, while the dialog asks or while the purge
// works, is there afterwards with its body.
TEST(MaintenanceLocks, AWorkstationThatBreaksLocksLosesNothingToAPurge) {
  struct Row {
    const char* name;
    int key;  // answered on the lock note once the wait is long past the timeout
  } rows[] = {{"stale-lock timeout", 27}, {"Ctrl+F", 6}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::FormWorld w;
    w.ws.StationId = "ann";
    test::WriteMessages(w.dir.path(), 6, 2);
    auto eva = w.other("EVA");
    eva->StationId = "eva";
    eva->mcfg.setI16(mcfg::LockTimeout, 1);
    std::vector<std::pair<std::string, std::string>> saved;  // subject, text
    auto save = [&](const std::string& subject, const std::string& text) {
      if (test::FormWorld::send(*eva, "ANN", subject, text) >= 0) saved.emplace_back(subject, text);
    };
    std::string purgeLock;
    BoardHooks hooks;
    hooks.maintenance = [&](char) {
      FileMaintDialog dialog(w.ws);
      dialog.FormShow();
      save("while asked", "saved while the dialog asked");
      dialog.onProgress = [&] {
        if (!purgeLock.empty()) return;
        purgeLock = readFile(w.dir / "MEMOLK.LOK");
        w.fake.events.keys.assign(40, 0);
        w.fake.events.keys.push_back(row.key);
        save("while purged", "saved while the purge worked");
        w.fake.events.keys.clear();
      };
      dialog.OKbtnClick();
    };
    EXPECT_EQ(DeleteTaggedMessages(w.ws, hooks), CommandResult::Done);
    EXPECT_NE(purgeLock.find("!!"), std::string::npos) << purgeLock;
    EXPECT_EQ(saved.size(), row.key == 6 ? 2u : 1u);
    const auto recs = test::ReadRecords(w.dir / "MESSAGE.DAF");
    for (const auto& [subject, text] : saved) {
      int found = -1;
      for (std::size_t j = 0; j < recs.size(); ++j)
        if (recs[j].headline() == subject && recs[j].closed() == 0) found = static_cast<int>(j);
      EXPECT_GE(found, 0) << subject << " lost";
      if (found < 0) continue;
      EXPECT_NE(Slurp(w.dir / "BULLETIN" / (std::to_string(found) + ".DA0")).find(text), std::string::npos) << subject;
    }
  }
}

// Runs the child and kills it after delayMs (never when delayMs < 0);
// returns the milliseconds it ran.
int RunChild(const std::vector<std::string>& args, int delayMs) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string exe = std::string(EGRESSO_TEST_BIN_DIR) + "/egresso_maintenance_child";
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  if (delayMs >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// The folder as the next run sees it: a journal is completed, staged files
// of an unfinished run are dropped with the dead process's locks.
void Recover(BoardWorld& w) {
  CompleteInterruptedMaintenance(w.ws);
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    if (e.path().extension() == ".LOK") std::filesystem::remove(e.path());
}

TEST(MaintenanceKilled, APurgeOrRestoreKilledAnywhereLeavesOneWholeSet) {
  constexpr int kMessages = 900, kDeletedEvery = 3;
  std::mt19937 random(20261207);
  auto freshPurge = [&](BoardWorld& w) { test::WriteMessages(w.dir.path(), kMessages, kDeletedEvery); };
  int purgeMs = 0, restoreMs = 0;
  {
    BoardWorld w;
    freshPurge(w);
    purgeMs = RunChild({w.dir.str(), "purge"}, -1);
    ASSERT_EQ(test::CheckMessageSet(w.dir.path(), kMessages, kDeletedEvery), "");
    ASSERT_EQ(test::ReadRecords(w.dir / "MESSAGE.DAF").size(), 600u);
  }
  auto freshRestore = [&](BoardWorld& w) {
    std::filesystem::create_directories(w.dir / "BACKUP");
    w.ws.mcfg.setU8(5046, 'B');
    w.saveConfig();
    std::filesystem::copy_file(w.ws.paths.MainConfigPath, w.dir / "BACKUP" / "CFGMAIN.BA1");
    w.ws.mcfg.setU8(5046, 'L');
    w.saveConfig();
    test::WriteMessages(w.dir.path(), kMessages, 0, "b");
    std::filesystem::copy_file(w.dir / "MESSAGE.DAF", w.dir / "BACKUP" / "MESSAGE.BA1");
    test::WriteMessages(w.dir.path(), 7, 0, "l");
  };
  // Whole old set or whole new set, generation 9 included.
  auto restoreState = [&](BoardWorld& w) -> std::string {
    const bool configRestored = readFile(w.ws.paths.MainConfigPath)[5046] == 'B';
    const auto recs = test::ReadRecords(w.dir / "MESSAGE.DAF");
    const bool messagesRestored = recs.size() == kMessages && recs.back().headline() == "b899";
    if (!messagesRestored && !(recs.size() == 7 && recs.back().headline() == "l6")) return "message file mixed";
    if (configRestored != messagesRestored) return "configuration and messages from different sets";
    if (std::filesystem::file_size(w.dir / "MESSAGE.DAI") != recs.size() * 3 && messagesRestored)
      return "index of the old set";
    const bool safety = std::filesystem::exists(w.dir / "BACKUP" / "MESSAGE.BA9");
    if (safety != messagesRestored || safety != std::filesystem::exists(w.dir / "BACKUP" / "CFGMAIN.BA9"))
      return "generation 9 incomplete";
    return messagesRestored ? "new" : "old";
  };
  {
    BoardWorld w;
    freshRestore(w);
    restoreMs = RunChild({w.dir.str(), "restore", "1"}, -1);
    ASSERT_EQ(restoreState(w), "new");
  }
  for (int round = 0; round < 20; ++round) {
    BoardWorld w;
    const bool restore = round % 2 == 1;
    const int span = restore ? restoreMs : purgeMs;
    const int delay = std::uniform_int_distribution<int>(0, std::max(1, span))(random);
    if (restore) {
      freshRestore(w);
      RunChild({w.dir.str(), "restore", "1"}, delay);
      Recover(w);
      const std::string state = restoreState(w);
      EXPECT_TRUE(state == "old" || state == "new") << "round " << round << " after " << delay << " ms: " << state;
      // The next restore completes the work.
      RestoreData(w.ws, 1);
      EXPECT_EQ(restoreState(w), "new") << "round " << round;
    } else {
      freshPurge(w);
      RunChild({w.dir.str(), "purge"}, delay);
      Recover(w);
      EXPECT_EQ(test::CheckMessageSet(w.dir.path(), kMessages, kDeletedEvery), "") << "round " << round << " after " << delay << " ms";
      ASSERT_TRUE(AcquireLock(w.ws, "MEMOLK", "T"));
      ASSERT_TRUE(AcquireLock(w.ws, "LOCATELK", "T"));
      PurgeTaggedMessages(w.ws);
      EXPECT_EQ(test::ReadRecords(w.dir / "MESSAGE.DAF").size(), 600u) << "round " << round;
      EXPECT_EQ(test::CheckMessageSet(w.dir.path(), kMessages, kDeletedEvery), "");
      ReleaseLock(w.ws, "LOCATELK");
      ReleaseLock(w.ws, "MEMOLK");
    }
  }
}

}  // namespace
}  // namespace egresso
