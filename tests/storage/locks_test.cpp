#include "storage/locks.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <random>

#include "board/board_world.h"
#include "core/waiting.h"
#include "storage/file_access.h"
#include "storage/record_io.h"
#include "support/child_process.h"
#include "support/faulty_file_ops.h"
#include "text/notices.h"
#include "support/share_folder.h"
#include "workstation_fixture.h"

namespace egresso {
namespace {

using test::readFile;
using test::writeFile;

class LockTest : public test::WorkstationTest {
 protected:
  std::string lockFile(const std::string& name = "LOCATELK") const { return path(name + ".LOK"); }
  // A lock file as another workstation writes it.
  void heldBy(const std::string& line, const std::string& name = "LOCATELK") { writeFile(lockFile(name), line + "\r\n"); }
  // The lock file's line as the lock protocol's columns give it (initials,
  // tag, station), without the process this program names after them.
  std::string lockLine(const std::string& name = "LOCATELK") const {
    std::string line = readFile(lockFile(name));
    if (line.size() > 37 && line.compare(35, 2, " P") == 0) {
      line.resize(35);
      line.resize(std::max<std::size_t>(20, line.find_last_not_of(' ') + 1));
      line += "\r\n";
    }
    return line;
  }
  void typeAfterRounds(int rounds, int key) {
    for (int i = 0; i < rounds; ++i) fake.events.keys.push_back(0);
    fake.events.keys.push_back(key);
  }
};

constexpr const char* kOtherBBSL1 = "XYZ BBSL1           2222";
constexpr const char* kOtherMaintenance = "XYZ FMAE1 !!        2222";

TEST_F(LockTest, SingleUserModeTakesNoLockFile) {
  ws.MultiUser = false;
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_FALSE(ws.locks.LockBusy);
  EXPECT_FALSE(std::filesystem::exists(lockFile()));
  heldBy(kOtherBBSL1);
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  ReleaseLock(ws, "LOCATELK");
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");
}

TEST_F(LockTest, TakingWritesTheHolderLineAndReleasingRemovesIt) {
  ws.ThisUser = "AB";
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "A-TAG-LONGER-THAN-FIFTEEN"));
  EXPECT_EQ(lockLine(), "AB  A-TAG-LONGER-TH 1111\r\n");
  EXPECT_EQ(ws.locks.HolderInitials, "AB");
  EXPECT_EQ(ws.locks.HolderStation, "1111");
  ReleaseLock(ws, "LOCATELK");
  EXPECT_FALSE(std::filesystem::exists(lockFile()));
  EXPECT_FALSE(ws.locks.LockBusy);
  EXPECT_TRUE(fake.lockAlert.texts.empty());
}

TEST_F(LockTest, ALineWithInitialsOnlyIsAnotherWorkstationsLock) {
  heldBy("XYZ");
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_TRUE(ws.locks.LockBusy);
  EXPECT_EQ(ws.locks.HolderInitials, "XYZ");
  EXPECT_EQ(ws.locks.HolderStation, "");
  ReleaseLock(ws, "LOCATELK");
  EXPECT_TRUE(std::filesystem::exists(lockFile())) << "another workstation's lock is left alone";
}

TEST_F(LockTest, ALockLeftByThisWorkstationIsTakenAgainAtOnce) {
  heldBy("QQ  BBSL2           1111");
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_TRUE(fake.lockAlert.texts.empty());
  EXPECT_EQ(fake.events.slept, 0);
  ReleaseLock(ws, "LOCATELK");
  EXPECT_FALSE(std::filesystem::exists(lockFile()));
}

TEST_F(LockTest, WaitingShowsTheHolderAndPausesBetweenRounds) {
  heldBy(kOtherBBSL1);
  typeAfterRounds(5, 27);
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_TRUE(ws.locks.LockBusy);
  ASSERT_EQ(fake.lockAlert.texts.size(), 6u);
  EXPECT_EQ(fake.lockAlert.texts[0], "Held by XYZ\r\nEsc gives up");
  // Every round but the last (given up) waits before looking again, a
  // little longer each time.
  EXPECT_GE(fake.events.slept, 5 * ws.locks.WaitRoundMs);
  EXPECT_LE(fake.events.slept, 5 * ws.locks.MaxWaitRoundMs);
  EXPECT_GE(ws.locks.WaitRoundMs, 10);
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");
}

TEST_F(LockTest, EscOnTheNoteGivesUp) {
  heldBy(kOtherBBSL1);
  fake.lockAlert.keyAnswer = 27;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_TRUE(std::filesystem::exists(lockFile()));
}

// The note stays up to a second after a wait ended; a key pressed on it then
// answers no wait, so the next one neither gives up nor breaks a lock on it.
TEST_F(LockTest, AKeyLeftOnTheNoteOfAnEarlierWaitAnswersNothing) {
  heldBy(kOtherBBSL1);
  fake.lockAlert.answered = 6;
  typeAfterRounds(2, 27);
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(fake.lockAlert.texts.size(), 3u);
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");
}

TEST_F(LockTest, CtrlFBreaksTheLockAndTakesIt) {
  heldBy(kOtherMaintenance);
  typeAfterRounds(2, 6);
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(lockLine(), "ABC BBSL1           1111\r\n");

  ReleaseLock(ws, "LOCATELK");
  heldBy(kOtherBBSL1);
  fake.lockAlert.keyAnswer = 6;
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(lockLine(), "ABC BBSL1           1111\r\n");
}

TEST_F(LockTest, StaleTimeoutBreaksAnOrdinaryLockAfterItsSeconds) {
  ws.mcfg.setI16(mcfg::LockTimeout, 10);
  heldBy(kOtherBBSL1);
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_GE(fake.events.slept, 10000);
  EXPECT_LE(fake.events.slept, 10000 + 2 * ws.locks.MaxWaitRoundMs);
  EXPECT_EQ(lockLine(), "ABC BBSL1           1111\r\n");
}

TEST_F(LockTest, StaleTimeoutOfAMinuteOrMoreStillBreaks) {
  ws.mcfg.setI16(mcfg::LockTimeout, 90);
  fake.clock.set(2026, 12, 7, 9, 0, 45);
  heldBy(kOtherBBSL1);
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_GE(fake.events.slept, 90000);
  EXPECT_LE(fake.events.slept, 90000 + 2 * ws.locks.MaxWaitRoundMs);
}

TEST_F(LockTest, StaleTimeoutNeverBreaksAMaintenanceLock) {
  ws.mcfg.setI16(mcfg::LockTimeout, 10);
  heldBy(kOtherMaintenance);
  typeAfterRounds(1000, 27);  // 25 s of waiting
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_GT(fake.events.slept, 20000);
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherMaintenance) + "\r\n");
}

TEST_F(LockTest, StaleTimeoutStartsAgainWhenTheHolderChanges) {
  ws.mcfg.setI16(mcfg::LockTimeout, 10);
  heldBy(kOtherBBSL1);
  // Eight seconds in, the lock changes hands.
  class HandOver : public EventPump {
   public:
    HandOver(test::FakePlatform& f, std::string file) : fake(f), file(std::move(file)) {}
    int processEvents() override {
      if (fake.clock.mono >= 8000 && !handed) {
        test::writeFile(file, "QRS BBSL2           3333\r\n");
        handed = fake.clock.mono;
      }
      return 0;
    }
    void sleepMs(int ms) override { fake.events.sleepMs(ms); }
    test::FakePlatform& fake;
    std::string file;
    std::int64_t handed = 0;
  } pump(fake, lockFile());
  ws.platform.events = &pump;
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_GE(fake.clock.mono, pump.handed + 10000);
  // Seen at the next look, broken at the first look after the timeout.
  EXPECT_LE(fake.clock.mono, pump.handed + 10000 + 3 * ws.locks.MaxWaitRoundMs);
}

TEST_F(LockTest, AnEmptyLockFileIsTakenOnlyAfterTheGracePeriod) {
  writeFile(lockFile(), "");
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1")) << "it may be a lock another workstation is still writing";
  fake.clock.advanceMs(ws.locks.DeadLockGraceMs - 1);
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(readFile(lockFile()), "");
  fake.clock.advanceMs(1);
  EXPECT_TRUE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(lockLine(), "ABC BBSL1           1111\r\n") << "taken, not merely deleted";
}

TEST_F(LockTest, AnEmptyLockFileThatGetsWrittenIsNotTakenForDead) {
  writeFile(lockFile(), "");
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1"));
  fake.clock.advanceMs(1000);
  heldBy(kOtherBBSL1);
  fake.clock.advanceMs(5000);
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(ws.locks.HolderInitials, "XYZ");
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");
}

TEST_F(LockTest, WaitingOnAnEmptyLockFileEndsAfterTheGracePeriod) {
  writeFile(lockFile(), "");
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_GE(fake.events.slept, ws.locks.DeadLockGraceMs);
  EXPECT_LE(fake.events.slept, ws.locks.DeadLockGraceMs + ws.locks.MaxWaitRoundMs);
}

// A lock that stays busy is looked at less and less often, up to the
// ceiling: forty waiting workstations do not read it a thousand times a
// second. Pauses stay within three quarters and the whole of their step.
TEST_F(LockTest, AWaitBacksOffToItsCeiling) {
  heldBy(kOtherBBSL1);
  typeAfterRounds(101, 27);
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_GT(fake.events.slept, 100 * ws.locks.MaxWaitRoundMs * 3 / 4 - 10 * ws.locks.MaxWaitRoundMs);
  EXPECT_LE(fake.events.slept, 100 * ws.locks.MaxWaitRoundMs);
}

TEST_F(LockTest, ALockFileOfRandomBytesCountsAsDamaged) {
  std::mt19937 random(20261207);
  std::string junk(300, '\0');
  for (auto& c : junk) c = static_cast<char>(random() & 0xFF);
  junk[1] = '\0';
  writeFile(lockFile(), junk);

  ReleaseLock(ws, "LOCATELK");
  EXPECT_EQ(readFile(lockFile()), junk) << "release leaves a file it cannot read";
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_LE(ws.locks.LockLine.size(), 120u);
  fake.clock.advanceMs(ws.locks.DeadLockGraceMs);
  EXPECT_TRUE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(lockLine(), "ABC BBSL1           1111\r\n");
}

TEST_F(LockTest, ALongPrintableLineIsReadUpTo120Characters) {
  std::string line = "XYZ BBSL1           2222" + std::string(200, 'x');
  heldBy(line);
  EXPECT_FALSE(TryLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(ws.locks.LockLine, line.substr(0, 120));
  EXPECT_EQ(ws.locks.HolderStation, "2222xxxxxxxxxxx");
}

TEST_F(LockTest, BreakingSparesALockCreatedAfresh) {
  heldBy(kOtherBBSL1);
  fake.lockAlert.keyAnswer = 27;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  // Meanwhile the holder released and a third workstation took the lock.
  std::filesystem::remove(lockFile());
  heldBy("QRS BBSL2           3333");
  BreakLock(ws);
  EXPECT_EQ(readFile(lockFile()), "QRS BBSL2           3333\r\n");
}

// A lock held past another workstation's patience is broken by it; the
// release must then leave whatever stands under the name now, and delete
// the lock only while it is still this workstation's own.
TEST_F(LockTest, ReleaseDeletesOnlyThisWorkstationsOwnLock) {
  const struct {
    const char* meanwhile;
    bool broken, replaced;
  } cases[] = {
      {"untouched", false, false},
      {"broken and taken by another", true, true},
      {"broken and left free", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.meanwhile);
    ASSERT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
    if (c.broken) std::filesystem::remove(lockFile());
    if (c.replaced) heldBy(kOtherBBSL1);
    ReleaseLock(ws, "LOCATELK");
    EXPECT_EQ(std::filesystem::exists(lockFile()), c.replaced);
    if (c.replaced) EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");
    std::filesystem::remove(lockFile());
  }
}

TEST_F(LockTest, TwoWorkstationsTakeTurns) {
  test::FakePlatform otherFake;
  Workstation other(otherFake.platform());
  test::joinFolder(other, dir.str(), "XYZ", "2222");
  EXPECT_TRUE(AcquireLock(ws, "MEMOLK", "BBSL1"));
  EXPECT_FALSE(TryLock(other, "MEMOLK", "BBSL1"));
  EXPECT_EQ(other.locks.HolderInitials, "ABC");
  ReleaseLock(other, "MEMOLK");
  EXPECT_TRUE(std::filesystem::exists(lockFile("MEMOLK")));
  ReleaseLock(ws, "MEMOLK");
  EXPECT_TRUE(AcquireLock(other, "MEMOLK", "BBSL1"));
  ReleaseLock(other, "MEMOLK");
  EXPECT_FALSE(std::filesystem::exists(lockFile("MEMOLK")));
}

// Without a lock file there is no exclusion: the take is reported as the
// file step would be and the caller abandons its operation. A folder that
// stays unusable is reported once, not at every command or timer tick.
TEST_F(LockTest, AFolderThatTakesNoLockFileIsReportedAndNothingIsLocked) {
  const std::string gone = dir.str() + "/GONE";
  test::joinFolder(ws, gone, "ABC", "1111");
  ws.locks.TraceFolder = dir.str();
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_TRUE(ws.locks.LockBusy);
  EXPECT_EQ(fake.events.slept, 0) << "no waiting for a lock that cannot be made";
  EXPECT_TRUE(fake.lockAlert.texts.empty());
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fake.dialogs.dialogs[0].detail.rfind("\"2 (BBSL1)", 0), 0u) << fake.dialogs.dialogs[0].detail;
  EXPECT_NE(trace().find("ERR[2] LOC[BBSL1]"), std::string::npos);

  EXPECT_FALSE(AcquireLock(ws, "MEMOLK", "BBDL1"));
  EXPECT_EQ(fake.dialogs.dialogs.size(), 1u) << "the same failure is not shown again";
  ReleaseLock(ws, "MEMOLK");
  EXPECT_FALSE(ws.locks.LockBusy);

  // Once a lock can be made again, a later failure is news again.
  std::filesystem::create_directory(gone);
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  ReleaseLock(ws, "LOCATELK");
  std::filesystem::remove_all(gone);
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL2"));
  EXPECT_EQ(fake.dialogs.dialogs.size(), 2u);
}

// A file server sets a file's times when it pleases (on closing the handle
// that created it, say); that must not make a lock a stranger to its holder
// or to the workstation that breaks it.
TEST_F(LockTest, TimesSetByTheServerChangeNoLocksIdentity) {
  auto serverTouches = [&](const std::string& file) {
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  };
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  serverTouches(lockFile());
  ReleaseLock(ws, "LOCATELK");
  EXPECT_FALSE(std::filesystem::exists(lockFile())) << "this workstation's own lock is released";

  heldBy(kOtherMaintenance);
  typeAfterRounds(0, 27);
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  serverTouches(lockFile());
  BreakLock(ws);
  EXPECT_FALSE(std::filesystem::exists(lockFile())) << "the lock examined is broken";
}

// A local file system gives a new file the number of one just deleted, and
// a workstation may put its own lock under the same name as the one
// examined: neither may be broken in place of the lock examined.
TEST_F(LockTest, BreakingSparesALockOfTheSameNumberOrTheSameLine) {
  heldBy(kOtherBBSL1);
  fake.lockAlert.keyAnswer = 27;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  writeFile(lockFile(), "QRS BBSL2           3333\r\n");  // same file, another holder
  BreakLock(ws);
  EXPECT_EQ(readFile(lockFile()), "QRS BBSL2           3333\r\n");

  fake.lockAlert.keyAnswer = 27;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  // Released and taken again under the same tag: a new file, the same line.
  writeFile(lockFile("NEW"), "QRS BBSL2           3333\r\n");
  std::filesystem::rename(lockFile("NEW"), lockFile());
  BreakLock(ws);
  EXPECT_TRUE(std::filesystem::exists(lockFile()));
}

// Several accounts share an office folder: whatever one's umask, the
// others can read the lock it holds, and a lock they cannot read is
// somebody's live lock, never a dead one to delete.
TEST_F(LockTest, LocksAreReadableByEveryAccountAndAnUnreadableOneIsHeld) {
  mode_t saved = ::umask(077);
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  ::umask(saved);
  struct stat st;
  ASSERT_EQ(::stat(lockFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0444, 0444u);
  ReleaseLock(ws, "LOCATELK");

  if (::geteuid() != 0) GTEST_SKIP() << "reading as another account needs root to become one";
  heldBy(kOtherBBSL1);
  ::chmod(lockFile().c_str(), 0600);
  ::chmod(dir.str().c_str(), 0777);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int code = 0;
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
    if (TryLock(ws, "LOCATELK", "BBSL1")) code |= 1;
    fake.clock.advanceMs(ws.locks.DeadLockGraceMs * 10);
    if (TryLock(ws, "LOCATELK", "BBSL1") || !ws.locks.LockBusy) code |= 2;
    ReleaseLock(ws, "LOCATELK");
    if (!fake.dialogs.dialogs.empty()) code |= 4;
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: taken, 2: taken after the grace period, 4: reported";
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");
}

TEST_F(LockTest, WaitingEndsWhenTheApplicationIsClosing) {
  heldBy(kOtherBBSL1);
  class Closing : public EventPump {
   public:
    explicit Closing(Workstation& w) : ws(w) {}
    int processEvents() override {
      if (++rounds == 3) ws.QuitRequested = true;
      return 0;
    }
    void sleepMs(int) override {}
    Workstation& ws;
    int rounds = 0;
  } pump(ws);
  ws.platform.events = &pump;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(pump.rounds, 3);
}

// Timers run while the wait processes window events, and a timer's handler
// may take and release a lock of its own. The wait must go on judging the
// lock it waits for, not what that handler left behind.
TEST_F(LockTest, ALockTakenByAHandlerDuringTheWaitDoesNotEndIt) {
  heldBy(kOtherBBSL1);
  class TimerTakesALock : public EventPump {
   public:
    TimerTakesALock(Workstation& w, test::FakeEvents& e) : ws(w), events(e) {}
    int processEvents() override {
      if (++rounds == 1) {
        EXPECT_TRUE(AcquireLock(ws, "EGLOG", "BBSSI"));
        ReleaseLock(ws, "EGLOG");
      }
      return rounds == 4 ? typed : 0;
    }
    void sleepMs(int ms) override { events.sleepMs(ms); }
    Workstation& ws;
    test::FakeEvents& events;
    int rounds = 0;
    int typed = 27;
  } pump(ws, fake.events);
  ws.platform.events = &pump;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1")) << "still held by XYZ";
  EXPECT_EQ(pump.rounds, 4);
  EXPECT_TRUE(ws.locks.LockBusy);
  EXPECT_EQ(ws.locks.HolderInitials, "XYZ");
  EXPECT_EQ(readFile(lockFile()), std::string(kOtherBBSL1) + "\r\n");

  // Ctrl+F after such a handler still breaks the lock waited for.
  pump.rounds = 0;
  pump.typed = 6;
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(lockLine(), "ABC BBSL1           1111\r\n");
}

// A handler run inside a command that holds a lock (from its lock wait or
// its dialog) may take and release that lock too; the command keeps it.
TEST_F(LockTest, AnInnerTakeAndReleaseLeaveTheOuterCommandsLock) {
  ASSERT_TRUE(AcquireLock(ws, "LOCATELK", "BBOT"));
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBMSI"));
  ReleaseLock(ws, "LOCATELK");
  EXPECT_EQ(lockLine(), "ABC BBOT            1111\r\n") << "still the outer command's lock";
  ReleaseLock(ws, "LOCATELK");
  EXPECT_FALSE(std::filesystem::exists(lockFile())) << "the outermost release removes it";
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  ReleaseLock(ws, "LOCATELK");
  EXPECT_FALSE(std::filesystem::exists(lockFile())) << "no take is left over";
}

TEST_F(LockTest, OnlyKeysTypedDuringTheWaitAnswerIt) {
  heldBy(kOtherBBSL1);
  fake.events.typeDuringNextSleep = 27;
  PauseMs(ws, 1000);  // a retry pause of some earlier command
  typeAfterRounds(3, 27);
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(fake.events.pumps, 4) << "gave up at the key typed during the wait, not at once";

  // Typed during the wait's own pause between two looks, it does answer.
  fake.events.pumps = 0;
  fake.events.typeDuringNextSleep = 27;
  EXPECT_FALSE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(fake.events.pumps, 2);
}

// A workstation whose identity could not be read has an empty station; the
// stale-lock timeout must never take away the lock it has just made.
TEST_F(LockTest, TheStaleTimeoutNeverBreaksTheLockJustTaken) {
  ws.StationId.clear();
  ws.mcfg.setI16(mcfg::LockTimeout, 1);
  writeFile(lockFile(), "");
  EXPECT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  EXPECT_EQ(lockLine(), "ABC BBSL1           \r\n");
}

TEST_F(LockTest, LockingIsTracedOnlyWithTheTraceFlag) {
  EXPECT_TRUE(AcquireLock(ws, "EGLOG", "BBSSI"));
  ReleaseLock(ws, "EGLOG");
  EXPECT_FALSE(std::filesystem::exists(path("TEST")));
  ws.mcfg.setU8(mcfg::TraceLog, 1);
  EXPECT_TRUE(AcquireLock(ws, "EGLOG", "BBSSI"));
  ReleaseLock(ws, "EGLOG");
  std::string t = trace();
  EXPECT_EQ(t.rfind("Locking \"EGLOG\" ABC ", 0), 0u) << t;
  EXPECT_NE(t.find("\nUnlocking \"EGLOG\" ABC "), std::string::npos) << t;
}

// Whatever the umask of the account, what the station makes in the data
// folder, and a file of its own that it writes again, gets the folder's bits:
// the group's colleagues may read and write it. Bits are only ever added.
TEST_F(LockTest, FilesAndFoldersMadeInTheDataFolderTakeTheFolderBitsWhateverTheUmask) {
  struct Row {
    mode_t folder, umask;
    mode_t file, made;  // the bits a file and a folder made in it get at least
  };
  const Row rows[] = {
      {02770, 022, 0660, 02770}, {02770, 077, 0660, 02770}, {0775, 077, 0664, 0775},
      {0750, 077, 0640, 0750},   {0700, 022, 0600, 0700},
  };
  const mode_t before = ::umask(0);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::oct << "folder " << r.folder << ", umask " << r.umask);
    ::umask(r.umask);
    const std::string sub = "F" + std::to_string(r.folder) + "-" + std::to_string(r.umask);
    ASSERT_EQ(::mkdir(path(sub).c_str(), 0700), 0);
    ASSERT_EQ(::chmod(path(sub).c_str(), r.folder), 0);
    auto bits = [&](const std::string& name) {
      struct stat st {};
      ::lstat(path(sub + "/" + name).c_str(), &st);
      return st.st_mode & 07777;
    };
    // A file made new, as lock files and records are.
    const int fd = ws.files->open(path(sub + "/MADE.DAF").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0);
    ws.files->close(fd);
    EXPECT_EQ(bits("MADE.DAF") & r.file, r.file);
    EXPECT_EQ(bits("MADE.DAF") & 0111, 0u);
    // A folder, as BULLETIN and BACKUP are.
    ASSERT_EQ(ws.files->mkdir(path(sub + "/SUB").c_str(), 0777), 0);
    EXPECT_EQ(bits("SUB") & r.made, r.made);
    // A file replaced through a temporary one, over one a umask closed.
    writeFile(path(sub + "/BODY.DA0"), "old");
    ::chmod(path(sub + "/BODY.DA0").c_str(), 0600);
    ASSERT_EQ(WriteFileReplacing(*ws.files, path(sub + "/BODY.DA0"), "new"), 0);
    EXPECT_EQ(bits("BODY.DA0") & r.file, r.file);
    // A file written in place and then reset, in multi-user mode only.
    writeFile(path(sub + "/LOCATE.DAF"), "x");
    ::chmod(path(sub + "/LOCATE.DAF").c_str(), 0400);
    ws.MultiUser = false;
    EXPECT_EQ(NormalizeFileAttr(ws, path(sub + "/LOCATE.DAF")), 0);
    EXPECT_EQ(bits("LOCATE.DAF"), 0400u);
    ws.MultiUser = true;
    EXPECT_EQ(NormalizeFileAttr(ws, path(sub + "/LOCATE.DAF")), 0);
    EXPECT_EQ(bits("LOCATE.DAF"), r.file | 0400);
  }
  ::umask(before);
  EXPECT_EQ(NormalizeFileAttr(ws, path("MISSING.DAF")), 0);
}

class ErrorReportTest : public test::WorkstationTest {};

TEST_F(ErrorReportTest, CodeZeroShowsAndWritesNothing) {
  ReportIoError(ws, 0, "RBR-x");
  EXPECT_TRUE(fake.dialogs.dialogs.empty());
  EXPECT_FALSE(std::filesystem::exists(path("TEST")));
}

TEST_F(ErrorReportTest, ASharingViolationIsShownByItsNumberAndTraced) {
  errno = 0;
  ReportIoError(ws, 32, "WBR-1-BBSL1-AND-A-VERY-LONG-TAG");
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  const DialogRequest& d = fake.dialogs.dialogs[0];
  EXPECT_EQ(d.message, "The file \"" + dir.str() + "\" could not be read or written: input/output error.\r\r"
                       "Check the network.");
  EXPECT_EQ(d.detail, "\"32 (WBR-1-BBSL1-AND-A-VERY-LO)\"");
  EXPECT_EQ(d.button3, "OK");
  EXPECT_TRUE(d.button1.empty() && d.button2.empty());
  EXPECT_EQ(d.defaultButton, 3);
  std::string t = trace();
  EXPECT_EQ(t.rfind("ERR[32] LOC[WBR-1-BBSL1-AND-A-VERY-LO] TU[ABC] DATE[", 0), 0u) << t;
  EXPECT_NE(t.find("]  LAST["), std::string::npos);
}

TEST_F(ErrorReportTest, ReadErrorsNameTheFileAndTheReasonInOneReport) {
  ReportIoError(ws, 100, "RCR-x", path("SCHED.DAF"), EIO);
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fake.dialogs.dialogs[0].message, "The file \"" + path("SCHED.DAF") +
                                                 "\" could not be read or written: input/output error.\r\r"
                                                 "Check the network.");
  EXPECT_EQ(fake.dialogs.dialogs[0].detail, "Read error (RCR-x)\"  errno 5");
  EXPECT_NE(trace().find("ERR[100] LOC[RCR-x]"), std::string::npos);
}

TEST_F(ErrorReportTest, FileNotOpenTellsWhetherTheDataFolderCanBeReached) {
  errno = 0;
  ReportIoError(ws, 103, "RBR-x");
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_NE(fake.dialogs.dialogs[0].message.find("input/output error"), std::string::npos);

  ws.paths.DataFolder = dir.str() + "/GONE";
  ReportIoError(ws, 103, "RBR-x");
  ASSERT_EQ(fake.dialogs.dialogs.size(), 2u);
  EXPECT_EQ(fake.dialogs.dialogs[1].message, "The file \"" + dir.str() + "/GONE\" could not be read or written: "
                                             "no such file or folder.\r\rCheck the network drive.");
  EXPECT_EQ(fake.dialogs.dialogs[1].detail, "File not open (RBR-x)\"");
}

// Whose lock a lock file is, by the station and the process its line names
// after the protocol's columns: a process of this computer that has ended
// holds nothing, another copy of this station holds its own, and a line
// without a process keeps the protocol's rule.
TEST_F(LockTest, AHolderIsJudgedByItsStationAndItsProcess) {
  ws.ThisUser = "ABC";
  ASSERT_TRUE(AcquireLock(ws, "LOCATELK", "BBSL1"));
  const std::string own = readFile(lockFile());
  ReleaseLock(ws, "LOCATELK");
  ASSERT_GT(own.size(), 40u) << own;
  const std::string computer = own.substr(own.find('@') + 1, 8);
  EXPECT_EQ(own.substr(0, 36), "ABC BBSL1           1111            ") << "the protocol's columns, then the process";
  // A process number that has certainly ended.
  const pid_t gone = test::SpawnChild("/bin/true", {});
  int status = 0;
  ASSERT_EQ(::waitpid(gone, &status, 0), gone);
  const std::string alive = std::to_string(::getppid()), dead = std::to_string(gone);
  const std::string self = std::to_string(::getpid());
  auto line = [](const std::string& station, const std::string& process) {
    return "XYZ BBSL1           " + (station + std::string(16, ' ')).substr(0, 16) + process;
  };
  const struct { std::string held; bool taken; bool left; } cases[] = {
      {line("2222", ""), false, true},                                   // another station
      {line("1111", ""), true, false},                                   // this station, no process named
      {line("1111", "P" + self + "@" + computer + " N7"), true, false},  // this very process
      {line("1111", "P" + alive + "@" + computer + " N7"), false, true},  // another copy of this station
      {line("1111", "P" + dead + "@" + computer + " N7"), true, false},  // a copy of this station that ended
      {line("2222", "P" + dead + "@" + computer + " N7"), true, false},  // anyone on this computer, ended
      {line("2222", "P" + alive + "@" + computer + " N7"), false, true},
      {line("2222", "P" + dead + "@0badf00d N7"), false, true},            // a process of another computer
      {line("1111", "P" + alive + "@0badf00d N7"), true, false},          // this station, before a restart
      {line("2222", "Pxyz@" + computer), false, true},                    // no process number
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.held);
    heldBy(c.held);
    EXPECT_EQ(TryLock(ws, "LOCATELK", "BBSL1"), c.taken);
    if (c.taken) {
      ws.locks.Taken.emplace("LOCATELK", 1);
      ReleaseLock(ws, "LOCATELK");
    } else {
      ReleaseLock(ws, "LOCATELK");
    }
    EXPECT_EQ(std::filesystem::exists(lockFile()), c.left) << "a lock held elsewhere stays; a taken one goes";
    std::filesystem::remove(lockFile());
  }
}

// A holder that keeps its lock file's time fresh is alive while it does;
// one whose file stands still for the set time is gone, and its lock is
// broken without a word from anyone. Maintenance locks, and lines of
// writers that do not refresh, are never broken so.
TEST_F(LockTest, ALockItsHolderStoppedRefreshingIsBroken) {
  ws.locks.UnrefreshedMs = 15000;
  const std::string refreshing = "XYZ BBSL1           2222            P123@0badf00d N4 R";
  const struct {
    std::string line;
    std::int64_t refreshUntilMs;  // the holder refreshes until then (0: never)
    std::int64_t releaseAtMs;     // then deletes its file (0: never; the wait is given up at 60 s)
    bool broken;
  } cases[] = {
      {refreshing, 0, 0, true},
      {refreshing, 30000, 0, true},        // froze after 30 s
      {refreshing, 40000, 40000, false},   // released after 40 s
      {"XYZ FMAE1 !!        2222            P123@0badf00d N4 R", 0, 0, false},
      {"XYZ BBSL1           2222            P123@0badf00d N4", 0, 0, false},
      {kOtherBBSL1, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line + " refreshed until " + std::to_string(c.refreshUntilMs));
    fake.clock.mono = 0;
    heldBy(c.line);
    class Holder : public EventPump {
     public:
      Holder(test::FakePlatform& f, std::string file, std::int64_t until, std::int64_t release)
          : fake(f), file(std::move(file)), until(until), release(release) {}
      int processEvents() override {
        const std::int64_t now = fake.clock.mono;
        if (release && now >= release) std::filesystem::remove(file);
        if (now < until && now - refreshed >= 4000 && std::filesystem::exists(file)) {
          std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now());
          refreshed = now;
        }
        return now >= 60000 ? 27 : 0;
      }
      void sleepMs(int ms) override { fake.events.sleepMs(ms); }
      test::FakePlatform& fake;
      std::string file;
      std::int64_t until, release, refreshed = 0;
    } holder(fake, lockFile(), c.refreshUntilMs, c.releaseAtMs);
    ws.platform.events = &holder;
    const bool taken = AcquireLock(ws, "LOCATELK", "BBSL1");
    ws.platform.events = &fake.events;
    EXPECT_EQ(taken, c.broken || c.releaseAtMs > 0);
    if (c.broken) {
      // Broken at the first look a full period after the last refresh.
      EXPECT_GE(fake.clock.mono, c.refreshUntilMs + 15000 - 4000);
      EXPECT_LE(fake.clock.mono, c.refreshUntilMs + 15000 + 3 * ws.locks.MaxWaitRoundMs);
    }
    if (c.releaseAtMs) EXPECT_GE(fake.clock.mono, c.releaseAtMs);
    if (taken) ReleaseLock(ws, "LOCATELK");
    std::filesystem::remove(lockFile());
  }
}

// Two stations that take one lock in quick succession, each hold lasting
// near the stale-lock timeout: a waiter that saw the same station at every
// look took the station's many holds for one long one and broke the lock
// while it was held. Every hold is alone.
TEST(LockProcesses, HoldsInQuickSuccessionNearTheTimeoutNeverOverlap) {
  test::TempDir dir("");
  {
    RecordFile f;
    ASSERT_EQ(f.open(dir.str() + "/COUNTER.DAF", 4, RecordFile::Mode::Create, PosixFileOps()), 0);
    std::array<std::uint8_t, 4> zero{};
    ASSERT_EQ(f.write(0, zero), 0);
  }
  const std::string program = test::ChildProgram("lock_counter_child");
  std::vector<pid_t> children;
  for (int i = 0; i < 2; ++i) children.push_back(test::SpawnChild(program, {dir.str(), std::to_string(1000 + i), "8", "450", "1"}));
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "OVERLAPS")) << readFile(dir.path() / "OVERLAPS").size()
                                                                  << " holds overlapped";
  RecordFile f;
  ASSERT_EQ(f.open(dir.str() + "/COUNTER.DAF", 4, RecordFile::Mode::ReadOnly, PosixFileOps()), 0);
  std::array<std::uint8_t, 4> value{};
  ASSERT_EQ(f.read(0, value), 0);
  EXPECT_EQ(getI32(value, 0), 16);
}

// Eight workstations, each on its own process, add one to a shared counter
// 300 times under "LOCATELK": any moment at which two of them held the lock
// would lose an increment, and a lock a workstation fails to remove is left
// behind (and would stop everybody else).
void EightWorkstationsCountTo2400(const std::string& base) {
  test::TempDir dir(base);
  std::string counter = dir.str() + "/COUNTER.DAF";
  {
    RecordFile f;
    ASSERT_EQ(f.open(counter, 4, RecordFile::Mode::Create, PosixFileOps()), 0);
    std::array<std::uint8_t, 4> zero{};
    ASSERT_EQ(f.write(0, zero), 0);
  }
  const std::string program = test::ChildProgram("lock_counter_child");
  std::vector<pid_t> children;
  for (int i = 0; i < 8; ++i) {
    const pid_t pid = test::SpawnChild(program, {dir.str(), std::to_string(1000 + i), "300"});
    ASSERT_NE(pid, 0) << program;
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  RecordFile f;
  ASSERT_EQ(f.open(counter, 4, RecordFile::Mode::ReadOnly, PosixFileOps()), 0);
  std::array<std::uint8_t, 4> value{};
  ASSERT_EQ(f.read(0, value), 0);
  EXPECT_EQ(getI32(value, 0), 2400);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".LOK") << entry.path() << ": " << readFile(entry.path());
}

// Breaking a lock whose holder keeps its file open where the file server
// refuses to delete an open file (on the share for real, elsewhere played):
// a holder that waits lets go at the request, the breaker takes the lock
// and the holder's release leaves it alone; a holder that does not wait,
// or holds a maintenance lock, keeps it, and the breaker is told why the
// lock cannot be freed from here.
void BreakingALockHeldOpen(const std::string& share) {
  const struct {
    const char* name;
    const char* tag;
    bool holderWaits, freed;
  } rows[] = {{"holder waits", "BBSL1", true, true},
              {"holder frozen", "BBSL1", false, false},
              {"maintenance lock", "BBDL1 !!", true, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    test::BoardWorld w("ANN", share);
    w.notice(2100, "cannot be freed from here");
    auto bob = w.station("BOB");
    w.ws.StationId = "ann";
    bob->StationId = "bob";
    test::HeldOpenElsewhere server;
    bob->files = &server;
    ASSERT_TRUE(AcquireLock(w.ws, "MEMOLK", row.tag));
    const std::string lock = LockFilePath(w.ws, "MEMOLK");
    if (share.empty()) server.held = lock;
    // The breaker's wait: the holder's own waits run meanwhile, or not.
    class Pump : public EventPump {
     public:
      Pump(test::FakePlatform& f, Workstation& h, bool waits) : fake(f), holder(h), waits(waits) {}
      int processEvents() override {
        if (waits) PauseMs(holder, 0);
        return fake.clock.mono >= 30000 ? 27 : 0;
      }
      void sleepMs(int ms) override { fake.events.sleepMs(ms); }
      test::FakePlatform& fake;
      Workstation& holder;
      bool waits;
    } pump(w.fake, w.ws, row.holderWaits);
    bob->platform.events = &pump;
    w.fake.clock.mono = 0;
    w.fake.lockAlert.keyAnswer = 6;
    const bool taken = AcquireLock(*bob, "MEMOLK", "BBSL1");
    EXPECT_EQ(taken, row.freed);
    EXPECT_EQ(LockStillHeld(w.ws, "MEMOLK"), !row.freed);
    EXPECT_EQ(w.fake.dialogs.allText().find(MessageText(w.ws, 2100)) != std::string::npos, !row.freed);
    ReleaseLock(w.ws, "MEMOLK");
    EXPECT_EQ(std::filesystem::exists(lock), row.freed) << "the holder's release leaves the breaker's lock";
    server.held.clear();
    if (taken) ReleaseLock(*bob, "MEMOLK");
    EXPECT_FALSE(std::filesystem::exists(lock));
    EXPECT_FALSE(std::filesystem::exists(w.dir / "MEMOLK.BRK"));
  }
}

TEST(LockBreak, ALockHeldOpenIsFreedByItsHolderOrTheBreakerIsToldWhyNot) { BreakingALockHeldOpen(""); }

TEST(LockBreak, ALockHeldOpenIsFreedByItsHolderOrTheBreakerIsToldWhyNotOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  BreakingALockHeldOpen(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

TEST(LockProcesses, EightWorkstationsCountToExactly2400) { EightWorkstationsCountTo2400(""); }

TEST(LockProcesses, EightWorkstationsCountToExactly2400OnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  EightWorkstationsCountTo2400(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
