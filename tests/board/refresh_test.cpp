#include "board/refresh.h"

#include <gtest/gtest.h>

#include <functional>

#include "config/startup_routine.h"
#include "storage/notify_file.h"
#include "board/board_list.h"
#include "board/board_world.h"
#include "support/whole_second_file_ops.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

using test::BoardWorld;
using test::readFile;
using test::SetFileTimeToClock;
using test::SetFileTimeToClockMs;
using test::writeFile;

std::string Location(const Workstation& w, const std::string& name) {
  for (const auto& l : w.board.BBSlist)
    if (l.text.rfind(name, 0) == 0) {
      std::string s = l.text.substr(23, 36);
      while (!s.empty() && s.back() == ' ') s.pop_back();
      return s;
    }
  return "<no line>";
}

// Both board files of the location set stamped at the fake clock's time.
void StampLocations(BoardWorld& w, int offsetSeconds) {
  SetFileTimeToClock(w.path("LOCATE.DAF"), w.fake.clock, offsetSeconds);
  SetFileTimeToClock(w.path("LOCATE.DAI"), w.fake.clock, offsetSeconds);
}

// ------------------------------------------------- two workstations, one folder

// Ann's workstation (A) and Bob's (B) on one folder, everybody in, B's
// board shown.
struct TwoStations : BoardWorld {
  std::unique_ptr<Workstation> b;
  explicit TwoStations(bool stagger = false, int bobSlot = 0) {
    allIn();
    ws.mcfg.setU8(mcfg::StaggerRefresh, stagger ? 1 : 0);
    b = station("BOB");
    if (bobSlot != 0) b->UserSlot = bobSlot;
    FormShow(*b);
  }
};

TEST(BoardRefresh, ASignOutOnOneWorkstationAppearsOnTheOtherAtItsNextTick) {
  BoardWorld w;  // workstation A, Ann
  w.allIn();
  auto b = w.station("BOB");
  FormShow(*b);
  ASSERT_EQ(Location(*b, "Ann Baker"), "");

  w.putLocation(1, "Dentist", w.ws.Today, 1100);  // A signs Ann out
  StampLocations(w, -5);
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
  EXPECT_EQ(Location(*b, "Ann Baker"), "Dentist");
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt) << "nothing changed since";

  // B's own write does not make B read the board again.
  BulBrdRcrd& r = b->board.RecordBuffer;
  ReadBoardRecord(*b, 2, "T");
  r.setHeadline("Post office");
  r.setClosed(0);
  r.setReturnDay(b->Today);
  WriteBoardRecord(*b, 2, "T");
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
}

// File times finer than a second: a change is due at the first tick after
// it. One seen within a step of its time (a hundredth of a second, or the
// whole second of a file system that stamps no fraction) is read once more
// at the next tick, which finds a second change made under the same time.
TEST(BoardRefresh, AChangeIsDueAtTheFirstTickAfterItHoweverFinelyItIsStamped) {
  const struct {
    const char* stamp;
    int clockMs, stampOffsetMs;
    bool readAgain;
  } cases[] = {
      {"300 ms before the tick", 500, -300, false},
      {"2 ms before the tick", 500, -2, true},
      {"a whole second, the tick within it", 400, -400, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stamp);
    TwoStations w;
    auto& b = w.b;
    w.fake.clock.current.millisecond = c.clockMs;
    auto stamp = [&] {
      SetFileTimeToClockMs(w.path("LOCATE.DAF"), w.fake.clock, c.stampOffsetMs);
      SetFileTimeToClockMs(w.path("LOCATE.DAI"), w.fake.clock, c.stampOffsetMs);
    };
    w.putLocation(1, "Bank", w.ws.Today, 1000);
    stamp();
    EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
    EXPECT_EQ(Location(*b, "Ann Baker"), "Bank");
    w.putLocation(1, "Post office", w.ws.Today, 1000);
    stamp();
    w.fake.clock.advanceMs(5000);
    EXPECT_EQ(Timer1Timer(*b).listRebuilt, c.readAgain);
    EXPECT_EQ(Location(*b, "Ann Baker"), c.readAgain ? "Post office" : "Bank");
    EXPECT_FALSE(Timer1Timer(*b).listRebuilt) << "read once more, not at every tick";
  }
}

// On a file system that stamps whole seconds, another workstation's change
// made in the second of this workstation's own write, or of its own reading
// of the files, leaves their time as it was: it is shown at the next tick
// all the same, and the files are not read at every tick after it.
TEST(BoardRefresh, AChangeInTheSecondOfOnesOwnWriteOrReadingIsShown) {
  const struct {
    const char* own;
    bool write;
  } cases[] = {{"own write", true}, {"own reading", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.own);
    TwoStations w;
    auto& b = w.b;
    test::WholeSecondFileOps wholeSeconds(w.fake.clock);
    b->files = &wholeSeconds;
    w.fake.clock.current.millisecond = 300;
    if (c.write) {
      BulBrdRcrd& r = b->board.RecordBuffer;
      ReadBoardRecord(*b, 2, "T");
      r.setHeadline("Post office");
      r.setClosed(0);
      r.setReturnDay(b->Today);
      WriteBoardRecord(*b, 2, "T");
    } else {
      StampLocations(w, 0);
      FormShow(*b);
    }
    w.fake.clock.current.millisecond = 700;
    w.putLocation(1, "Bank", w.ws.Today, 1000);  // A, in the same second
    StampLocations(w, 0);
    w.fake.clock.advanceMs(5000);
    EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
    EXPECT_EQ(Location(*b, "Ann Baker"), "Bank");
    w.fake.clock.advanceMs(5000);
    EXPECT_FALSE(Timer1Timer(*b).listRebuilt) << "read once more, not at every tick";
    b->files = &b->ownFiles;
  }
}

// The day's processing marks the open entries of earlier days in the index
// alone: a change of that one file is a change all the same.
TEST(BoardRefresh, AChangeOfTheIndexAloneIsShown) {
  TwoStations w;
  auto& b = w.b;
  w.putLocation(3, "Client visit", w.ws.Today - 1, 1700);
  StampLocations(w, -10);
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
  EXPECT_EQ(Location(*b, "Claire Dumont"), "Client visit");
  const std::string data = readFile(w.path("LOCATE.DAF"));
  SignAllOut(w.ws);
  ASSERT_EQ(readFile(w.path("LOCATE.DAF")), data);
  SetFileTimeToClock(w.path("LOCATE.DAI"), w.fake.clock, 0);
  w.fake.clock.advanceMs(5000);
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
  EXPECT_EQ(Location(*b, "Claire Dumont"), MessageText(w.ws, 1445));
}

TEST(BoardRefresh, StaggeredRefreshWaitsTheUsersSlotInSeconds) {
  TwoStations w(true, 12);
  auto& b = w.b;
  const auto savedData = b->board.SavedDataAge;

  w.putLocation(1, "Bank", w.ws.Today, 1000);
  StampLocations(w, 0);
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  w.fake.clock.advanceMs(5000);
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  w.fake.clock.advanceMs(7000);  // 12 seconds: not yet more than 12
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  EXPECT_EQ(b->board.SavedDataAge, savedData) << "the change stays detected until acted on";
  EXPECT_EQ(Location(*b, "Ann Baker"), "");
  w.fake.clock.advanceMs(1000);
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
  EXPECT_EQ(Location(*b, "Ann Baker"), "Bank");
}

TEST(BoardRefresh, AChangeStampedAheadOfTheLocalClockWaitsForIt) {
  TwoStations w;
  auto& b = w.b;
  w.putLocation(1, "Bank", w.ws.Today, 1000);
  StampLocations(w, 30);  // the file server's clock is half a minute ahead
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  w.fake.clock.advanceMs(29000);
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  w.fake.clock.advanceMs(2000);
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
}

TEST(BoardRefresh, AChangeMadeBeforeMidnightIsDueAfterIt) {
  BoardWorld w;
  w.fake.clock.set(2026, 12, 8, 0, 0, 30);
  w.ws.Today = DayNumber(w.fake.clock.now());
  w.allIn();
  w.ws.mcfg.setU8(mcfg::StaggerRefresh, 1);
  auto b = w.station("BOB");
  b->UserSlot = 40;
  FormShow(*b);
  w.putLocation(1, "Night shift", w.ws.Today, 600);
  StampLocations(w, -60);  // 23:59:30 yesterday
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
}

TEST(BoardRefresh, ChangeDetectionOnlyOnTheOpenBoard) {
  TwoStations w;
  auto& b = w.b;
  w.putLocation(1, "Bank", w.ws.Today, 1000);
  StampLocations(w, -5);
  b->options.OwnEntryOnly = true;
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  b->options.OwnEntryOnly = false;
  FormClose(*b);
  EXPECT_FALSE(Timer1Timer(*b).listRebuilt);
  FormShow(*b);
  EXPECT_EQ(Location(*b, "Ann Baker"), "Bank");
}

TEST(BoardRefresh, AChangedEmployeeTableIsReadAtTheRefresh) {
  TwoStations w;
  auto& b = w.b;
  w.ws.mcfg.setEmpInitials(4, "BOB");
  w.ws.mcfg.setEmpInitials(2, "DAN");
  w.saveConfig();
  b->mcfg = w.ws.mcfg;  // what the re-read finds
  // This run's switches, applied to the record in memory at start-up.
  b->options.ArchiveOn = true;        // "/AM"
  b->options.SignAllOutMinus = true;  // "/SI-"
  b->options.LogPlus = true;          // "/SL+"
  b->options.LockTimeoutSwitch = 7;   // "/EL=7"
  ApplyMainConfigSwitches(*b);
  writeFile(w.path("EMPBOB"), "1");
  w.putLocation(1, "Bank", w.ws.Today, 1000);
  StampLocations(w, -5);
  EXPECT_TRUE(Timer1Timer(*b).listRebuilt);
  EXPECT_FALSE(std::filesystem::exists(w.path("EMPBOB")));
  EXPECT_EQ(b->UserSlot, 4);
  EXPECT_TRUE(b->board.EmployeeTablesReloaded);
  EXPECT_EQ(b->mcfg.empInitials(2), "DAN");
  EXPECT_EQ(b->mcfg.u8(mcfg::ArchiveMessages), 1) << "the switches outlive the re-read";
  EXPECT_EQ(b->mcfg.u8(mcfg::NoSignAllOut), 1);
  EXPECT_EQ(b->mcfg.u8(mcfg::InOutLog), 1);
  EXPECT_EQ(b->mcfg.i16(mcfg::LockTimeout), 7);
  EXPECT_TRUE(b->options.LoggingOn);
  EXPECT_EQ(readFile(w.path("CFGMAIN.DAF"))[mcfg::ArchiveMessages], 0) << "and stay this workstation's own";
}

// ------------------------------------------------------- other timer duties

TEST(BoardTimer, AVanishedFolderIsToldOnceKeepsTheListsAndComesBackByItself) {
  TwoStations w;
  w.putLocation(1, "Dentist", w.ws.Today, 1100);
  FormShow(*w.b);
  const std::string away = w.dir.str() + ".away";
  std::filesystem::rename(w.dir.path(), away);
  Timer1Result r = Timer1Timer(*w.b);
  EXPECT_EQ(r.folder, FolderState::Gone);
  EXPECT_TRUE(r.folderChanged);
  for (int i = 0; i < 3; ++i) {
    r = Timer1Timer(*w.b);
    EXPECT_FALSE(r.folderChanged || r.listRebuilt);
  }
  EXPECT_EQ(Location(*w.b, "Ann Baker"), "Dentist") << "the lists as last read";
  EXPECT_TRUE(w.fake.dialogs.dialogs.empty() && w.fake.dialogs.boxes.empty()) << w.fake.dialogs.allText();

  // Back, with a change made meanwhile elsewhere: read again at once.
  std::filesystem::rename(away, w.dir.path());
  w.putLocation(1, "Bank", w.ws.Today, 1100);
  r = Timer1Timer(*w.b);
  EXPECT_EQ(r.folder, FolderState::Usable);
  EXPECT_TRUE(r.folderChanged && r.listRebuilt);
  EXPECT_EQ(Location(*w.b, "Ann Baker"), "Bank");
}


TEST(BoardTimer, MessageRefreshRebuildsAndSounds) {
  BoardWorld w;
  w.ws.pcfg.setStr(pcfg::AlarmSound, 40, "alarm.wav");
  writeFile(w.path("alarm.wav"), "RIFF");
  w.putMessage({"BOB", {"ANN"}, "New one", w.ws.Today, 900, {}});
  w.mode(0);
  w.ws.MessageRefreshRequest = true;
  const auto r = Timer1Timer(w.ws);
  EXPECT_TRUE(r.listRebuilt);
  EXPECT_FALSE(w.ws.MessageRefreshRequest);
  EXPECT_EQ(w.lines().size(), 1u);
  EXPECT_EQ(w.fake.sound.played, (std::vector<std::string>{w.path("alarm.wav"), w.path("alarm.wav")}));
  EXPECT_EQ(w.fake.events.slept, 1000);
  EXPECT_EQ(w.fake.dialogs.beeps, 0);
}

TEST(BoardTimer, SoundFallsBackToBeeps) {
  BoardWorld w;
  w.ws.pcfg.setStr(pcfg::AlarmSound, 40, "missing.wav");
  w.ws.board.SoundPending = true;
  w.allIn();
  w.mode(1);
  Timer1Timer(w.ws);
  EXPECT_FALSE(w.ws.board.SoundPending);
  EXPECT_TRUE(w.fake.sound.played.empty());
  EXPECT_EQ(w.fake.dialogs.beeps, 2);
  EXPECT_EQ(w.fake.events.slept, 500);

  // A file that is there but cannot be played (no audio device, no
  // player) is tried once; beeps stand in for it, and nothing is shown.
  w.notice(933, "\" file cannot be found or played.");
  writeFile(w.path("alarm.wav"), "RIFF");
  w.ws.pcfg.setStr(pcfg::AlarmSound, 40, w.path("alarm.wav"));
  w.fake.sound.works = false;
  PlayNewMessageSound(w.ws);
  EXPECT_EQ(w.fake.dialogs.beeps, 4);
  EXPECT_EQ(w.fake.sound.played.size(), 1u);
  EXPECT_TRUE(w.fake.dialogs.boxes.empty() && w.fake.dialogs.dialogs.empty()) << w.fake.dialogs.allText();

  // A damaged count does not hold the program for hours.
  w.ws.pcfg.setI16(pcfg::MaxBeeps, 30000);
  PlayNewMessageSound(w.ws);
  EXPECT_EQ(w.fake.dialogs.beeps, 4 + 99);
}

TEST(BoardTimer, OneTimeNotices) {
  BoardWorld w;
  w.notice(1464, "Single");
  w.notice(1465, "-user");
  w.notice(1466, " mode.");
  w.notice(1467, "No employees");
  w.notice(1468, " yet.");
  w.ws.MultiUser = false;
  for (int s = 1; s <= 5; ++s) w.ws.mcfg.setEmpInitials(s, "");
  w.mode(1);
  Timer1Timer(w.ws);
  Timer1Timer(w.ws);
  EXPECT_EQ(w.fake.dialogs.boxes, (std::vector<std::string>{"No employees yet.", "Single-user mode."}));
  ASSERT_EQ(w.fake.help.requests.size(), 1u);
  EXPECT_EQ(w.fake.help.requests[0].second, 900);
}

TEST(BoardTimer, AQuitRequestClosesTheBoard) {
  BoardWorld w;
  w.ws.QuitRequested = true;
  EXPECT_TRUE(Timer1Timer(w.ws).closeBoard);
  w.ws.PasswordDialogClosed = false;
  EXPECT_FALSE(Timer1Timer(w.ws).closeBoard) << "not while the password dialog is open";
}

TEST(BoardTimer, ThePeriodFollowsTheConfiguration) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::BoardTimerSeconds, 9);
  Timer1Timer(w.ws);
  EXPECT_EQ(w.ws.board.Timer1PeriodMs, 10000);
}

// --------------------------------------------------- automatic sign-in and out

TEST(AutoInOut, ArrivalAtStartDepartureAtExit) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.allIn();
  w.mode(0);  // the board shows the messages
  w.ws.board.AutoSignInPending = true;
  const auto r = Timer1Timer(w.ws);
  EXPECT_TRUE(r.modeChanged) << "the board shows the in/out list again";
  EXPECT_EQ(w.ws.ListMode, 1);
  EXPECT_FALSE(w.ws.board.AutoSignInPending);
  const auto arrival = w.record("LOCATE.DAF", 1);
  const std::string stamp = AutoEntryStamp(w.ws);
  EXPECT_EQ(arrival.headline(), "Arrived with Egresso " + stamp);
  EXPECT_EQ(arrival.closed(), 0);
  EXPECT_EQ(arrival.who(), "ANN");
  EXPECT_EQ(arrival.enteredBy(), "ANN");
  EXPECT_EQ(arrival.returnDay(), w.ws.Today);
  EXPECT_EQ(Location(w.ws, "Ann Baker"), "Arrived with Egresso " + stamp) << "it stays on the board today";
  EXPECT_NE(readFile(w.path("INOUTANN.DAF")).find("came in"), std::string::npos);

  w.mode(0);
  const std::string messages = readFile(w.path("MESSAGE.DAF"));
  EgressoOnExit(w.ws, 1);
  EXPECT_EQ(w.ws.ListMode, 0) << "the board's own mode is kept";
  EXPECT_EQ(w.ws.paths.BoardDataPath, w.path("MESSAGE.DAF"));
  EXPECT_EQ(readFile(w.path("MESSAGE.DAF")), messages) << "the departure goes to the location file";
  const auto departure = w.record("LOCATE.DAF", 1);
  EXPECT_EQ(departure.headline(), "Left at close of Egresso " + stamp);
  EXPECT_EQ(departure.returnAt(), 2900);
  EXPECT_EQ(departure.returnDay(), w.ws.Today);
  EXPECT_EQ(departure.madeDay(), w.ws.Today);
  EXPECT_EQ(departure.who(), "ANN");
  EXPECT_EQ(departure.enteredBy(), "ANN");
  EXPECT_EQ(departure.closed(), 0);
  EXPECT_FALSE(w.index("LOCATE.DAI", 1).closed());
  EXPECT_EQ(readFile(w.path("BULLETIN/1.DA1")), "Left at close of Egresso " + stamp + "\r\n");
  EXPECT_NE(readFile(w.path("INOUTANN.DAF")).find("went out"), std::string::npos);
}

TEST(AutoInOut, ARealDestinationStaysOnTheBoard) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.allIn();
  w.putLocation(1, "Client in Bonn", w.ws.Today + 1, 1000);
  EgressoOnExit(w.ws, 1);
  const auto r = w.record("LOCATE.DAF", 1);
  EXPECT_EQ(r.headline(), "Client in Bonn");
  EXPECT_EQ(r.returnAt(), 1000);
  EXPECT_EQ(r.returnDay(), w.ws.Today + 1);
  const std::string journal = readFile(w.path("INOUTANN.DAF"));
  EXPECT_NE(journal.find("went out"), std::string::npos);
  EXPECT_EQ(journal.find("came in"), std::string::npos);
}

TEST(AutoInOut, SomeoneWhoIsInGetsTheDepartureWhateverTextWasLeft) {
  BoardWorld w;
  w.allIn();
  w.putLocation(1, "Lunch", 0, 0, true);  // signed back in, the old text still in the record
  EgressoOnExit(w.ws, 1);
  EXPECT_EQ(w.record("LOCATE.DAF", 1).headline().rfind("Left at close of Egresso ", 0), 0u);
  EXPECT_EQ(w.record("LOCATE.DAF", 1).closed(), 0);
}

TEST(AutoInOut, TheDepartureKeepsARunningWorkClock) {
  BoardWorld w;
  w.allIn();
  w.mode(1);
  ReadBoardRecord(w.ws, 1, "T");
  w.ws.board.RecordBuffer.setClockStart(3600);
  w.ws.board.RecordBuffer.setClockDay(w.ws.Today);
  w.ws.board.RecordBuffer.setClockEntry(4);
  WriteBoardRecord(w.ws, 1, "T");
  EgressoOnExit(w.ws, 1);
  EXPECT_EQ(w.record("LOCATE.DAF", 1).clockStart(), 3600);
  EXPECT_EQ(w.record("LOCATE.DAF", 1).clockEntry(), 4);
}

TEST(MorningSignIn, SigningInAStaleEntry) {
  BoardWorld w("BOB");
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.allIn();
  w.putLocation(3, "Old trip", w.ws.Today - 2);
  SignAllOut(w.ws);
  w.mode(1);
  BuildBoardList(w.ws);
  w.ws.mcfg.setU8(mcfg::OwnSignInOnly, 1);
  w.ws.board.CurrentLine = 2;  // Claire's line is selected by Bob
  MorningSignIn(w.ws, 3);
  ASSERT_EQ(w.fake.dialogs.dialogs.size(), 1u) << "Bob is warned, and it goes on";
  EXPECT_EQ(w.fake.dialogs.dialogs[0].message, "This is not your own entry.");
  const auto e = w.index("LOCATE.DAI", 3);
  EXPECT_EQ(e.Flags, 1) << "in, and no longer stale";
  EXPECT_EQ(e.Key, 0);
  EXPECT_EQ(w.record("LOCATE.DAF", 3).headline(), "");
  EXPECT_EQ(w.record("LOCATE.DAF", 3).closed(), 1);
  EXPECT_NE(readFile(w.path("INOUTCLA.DAF")).find("came in (entered by BOB)"), std::string::npos);
  EXPECT_EQ(w.ws.board.OutButtonHint, "Sign out");
}

// ------------------------------------------------------ timers during a wait

// The board's two timers tick whenever the workstation processes events or
// pauses, never inside their own handler (as with a window's timers); then
// the world moves on.
class BoardTimersTick : public EventPump {
 public:
  BoardTimersTick(BoardWorld& w, BoardRect moved) : w(w), moved(moved) {}
  std::function<void(int)> afterTick;
  int ticks = 0;
  bool placementSaved = false;
  int processEvents() override {
    tick();
    return 0;
  }
  void sleepMs(int ms) override {
    w.fake.events.sleepMs(ms);
    tick();
  }

 private:
  void tick() {
    if (!ticking) {
      ticking = true;
      Timer1Timer(w.ws);
      placementSaved = Timer2Timer(w.ws, moved) || placementSaved;
      ticking = false;
    }
    if (afterTick) afterTick(++ticks);
  }
  BoardWorld& w;
  BoardRect moved;
  bool ticking = false;
};

// Ann's morning sign-in and a moved window wait for a tick of the board.
struct TimerWorkPending : BoardWorld {
  const BoardRect moved{40, 30, 636, 480};
  std::string personal;
  BoardTimersTick pump{*this, moved};
  TimerWorkPending() {
    allIn();
    FormShow(ws);
    ws.board.AutoSignInPending = true;
    personal = readFile(path("CFGANN.DAF"));
    ws.platform.events = &pump;
  }
  // After the command the timers' work is still to do; the next ticks,
  // outside it, do it without touching what the command wrote.
  void expectWorkLeftToTheNextTick() {
    EXPECT_EQ(record("LOCATE.DAF", 1).headline(), "") << "Ann's sign-in waited";
    EXPECT_FALSE(pump.placementSaved);
    EXPECT_TRUE(readFile(path("CFGANN.DAF")) == personal) << "the placement is not saved meanwhile";
    ws.platform.events = &fake.events;
    const BulBrdRcrd written = record("LOCATE.DAF", 2);
    EXPECT_TRUE(Timer1Timer(ws).listRebuilt);
    EXPECT_FALSE(ws.board.AutoSignInPending);
    EXPECT_EQ(record("LOCATE.DAF", 1).headline(), "Arrived with Egresso " + AutoEntryStamp(ws));
    EXPECT_TRUE(record("LOCATE.DAF", 2).bytes == written.bytes);
    EXPECT_TRUE(Timer2Timer(ws, moved));
  }
};

// Bob comes back in on Ann's board while another workstation holds the
// journal lock: CloseEntry writes Bob's record, gives "LOCATELK" back and
// then waits for "EGLOG", so that the others need not wait for the journal
// too. Through the ticks of that wait the record stays written, and Bob's
// journal line follows.
TEST(TimersDuringAWait, CloseEntryWaitingForTheJournalKeepsItsLockAndItsRecord) {
  TimerWorkPending w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.putLocation(2, "Dentist", w.ws.Today, 1500);
  writeFile(w.path("EGLOG.LOK"), "XYZ EGOK2           2222\r\n");
  bool boardFreeWithRecordWritten = true;
  w.pump.afterTick = [&](int tick) {
    boardFreeWithRecordWritten = boardFreeWithRecordWritten && !std::filesystem::exists(w.path("LOCATELK.LOK")) &&
                                 w.record("LOCATE.DAF", 2).closed() == 1;
    if (tick == 4) std::filesystem::remove(w.path("EGLOG.LOK"));
  };
  EXPECT_EQ(CloseEntry(w.ws, 2, BoardSource::List), CloseResult::Closed);
  EXPECT_EQ(w.pump.ticks, 4);
  EXPECT_TRUE(boardFreeWithRecordWritten);
  EXPECT_FALSE(std::filesystem::exists(w.path("LOCATELK.LOK")));
  EXPECT_EQ(w.record("LOCATE.DAF", 2).who(), "BOB");
  EXPECT_EQ(w.record("LOCATE.DAF", 2).closed(), 1);
  EXPECT_NE(readFile(w.path("INOUTBOB.DAF")).find("came in"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(w.path("INOUTANN.DAF")));
  w.expectWorkLeftToTheNextTick();
}

// The departure at exit and the morning sign-in write the board record,
// give "LOCATELK" back and only then wait for the journal's lock: a
// workstation never waits for one lock while the others wait for its other.
TEST(TimersDuringAWait, NoBoardWriterWaitsForTheJournalWhileHoldingTheBoard) {
  const struct {
    const char* what;
    void (*run)(Workstation&);
    const char* journal;
  } cases[] = {
      {"departure at exit", [](Workstation& ws) { EgressoOnExit(ws, 1); }, "INOUTANN.DAF"},
      {"morning sign-in", [](Workstation& ws) { MorningSignIn(ws, 2, {}); }, "INOUTBOB.DAF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TimerWorkPending w;
    w.ws.mcfg.setU8(mcfg::InOutLog, 1);
    w.putLocation(2, "Dentist", w.ws.Today - 1, 1500);
    writeFile(w.path("EGLOG.LOK"), "XYZ EGOK2           2222\r\n");
    bool boardFree = true;
    w.pump.afterTick = [&](int tick) {
      boardFree = boardFree && !std::filesystem::exists(w.path("LOCATELK.LOK"));
      if (tick == 4) std::filesystem::remove(w.path("EGLOG.LOK"));
    };
    c.run(w.ws);
    EXPECT_EQ(w.pump.ticks, 4) << "the journal was waited for";
    EXPECT_TRUE(boardFree);
    EXPECT_FALSE(readFile(w.path(c.journal)).empty());
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
      EXPECT_NE(e.path().extension(), ".LOK") << e.path();
  }
}

// A record write that has to retry opening the data file pauses between the
// attempts; the ticks in the pauses must not fill RecordBuffer with another
// employee's record before the write.
TEST(TimersDuringAWait, ARecordWriteRetryingTheOpenWritesItsOwnRecord) {
  TimerWorkPending w;
  std::filesystem::rename(w.path("LOCATE.DAF"), w.path("LOCATE.SAV"));
  std::filesystem::create_directory(w.path("LOCATE.DAF"));  // there, but cannot be opened
  w.pump.afterTick = [&](int tick) {
    if (tick != 2) return;  // the network gives the file back
    std::filesystem::remove(w.path("LOCATE.DAF"));
    std::filesystem::rename(w.path("LOCATE.SAV"), w.path("LOCATE.DAF"));
  };
  BulBrdRcrd& rec = w.ws.board.RecordBuffer;
  rec.clear();
  rec.setWho("BOB");
  rec.setHeadline("Dentist");
  EXPECT_EQ(WriteBoardRecord(w.ws, 2, "EGOK1"), 0);
  EXPECT_EQ(w.pump.ticks, 2);
  EXPECT_EQ(w.record("LOCATE.DAF", 2).who(), "BOB");
  EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "Dentist");
  w.expectWorkLeftToTheNextTick();
}

// Every tick takes one look at this user's notification file: letters
// waiting are taken at the tick that finds them, not at the minute's look.
TEST(BoardTick, LettersWaitingAreTakenAtTheTickThatFindsThem) {
  BoardWorld w;
  int looks = 0;
  w.ws.host.LookAtLetters = [&] { ++looks; };
  Timer1Timer(w.ws);
  EXPECT_EQ(looks, 0);
  ASSERT_EQ(AppendNotifyLetter(w.ws, "ANN", 'M'), io::Ok);
  Timer1Timer(w.ws);
  EXPECT_EQ(looks, 1);
  EXPECT_TRUE(w.ws.host.NotifyLookDue) << "left to the host's next tick when nobody took them";
}

// ------------------------------------------------------------- the window

TEST(BoardShow, MessageModeRemovesTheNotificationFile) {
  BoardWorld w;
  writeFile(w.path("TIMER.ANN"), "M");
  w.ws.ListMode = 1;
  FormShow(w.ws);
  EXPECT_TRUE(std::filesystem::exists(w.path("TIMER.ANN")));
  w.ws.ListMode = 0;
  FormShow(w.ws);
  EXPECT_FALSE(std::filesystem::exists(w.path("TIMER.ANN")));
  EXPECT_TRUE(w.ws.BoardOpen);
  EXPECT_TRUE(w.ws.HostReady);
  EXPECT_EQ(w.ws.board.BoardLockName, "MEMOLK");
}

// The message list on screen settles the new-message letter; an
// announcement change that waited in the same file is still shown.
TEST(BoardShow, MessageModeKeepsAnAnnouncementLetterFromTheNotificationFile) {
  BoardWorld w;
  w.ws.ListMode = 0;
  ASSERT_EQ(AppendNotifyLetter(w.ws, "ANN", 'M'), io::Ok);
  ASSERT_EQ(AppendNotifyLetter(w.ws, "ANN", 'B'), io::Ok);
  w.ws.AnnouncementChanged = false;
  FormShow(w.ws);
  EXPECT_FALSE(std::filesystem::exists(w.path("TIMER.ANN")));
  EXPECT_TRUE(w.ws.AnnouncementChanged);
}

TEST(BoardShow, PlacementSavedOrCentred) {
  BoardWorld w;
  const BoardRect reference{0, 0, 1000, 800};
  const BoardRect screen{0, 0, 1000, 800};
  const BoardRect def{0, 0, 640, 480};
  EXPECT_EQ(ShowPlacement(w.ws, reference, screen, def), (BoardRect{180, 160, 640, 480}));
  EXPECT_FALSE(Timer2Timer(w.ws, BoardRect{180, 160, 640, 480})) << "unchanged: nothing saved";
  EXPECT_TRUE(Timer2Timer(w.ws, BoardRect{10, 20, 700, 500}));
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::BoardPlacement + 0), 700);
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::BoardPlacement + 2), 500);
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::BoardPlacement + 4), 20);
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::BoardPlacement + 6), 10);
  EXPECT_EQ(ShowPlacement(w.ws, reference, screen, def), (BoardRect{10, 20, 700, 500}));
  w.ws.options.TallBoard = true;
  EXPECT_EQ(ShowPlacement(w.ws, reference, screen, def), (BoardRect{1, 1, 700, 798}));
  w.ws.options.TallBoard = false;
  w.ws.options.CompactMode = true;
  EXPECT_EQ(ShowPlacement(w.ws, reference, screen, def), (BoardRect{400, 1, 200, 798}));
  // The compact window goes back to those bounds; nothing new is saved.
  BoardRect bounds;
  EXPECT_FALSE(CompactBoundsLeft(w.ws, BoardRect{400, 1, 200, 798}, bounds));
  EXPECT_FALSE(Timer2Timer(w.ws, BoardRect{300, 50, 500, 400}));
  ASSERT_TRUE(CompactBoundsLeft(w.ws, BoardRect{300, 50, 500, 400}, bounds));
  EXPECT_EQ(bounds, (BoardRect{400, 1, 200, 798}));
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::BoardPlacement + 0), 200);
}

}  // namespace
}  // namespace egresso
