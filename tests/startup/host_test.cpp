#include "startup/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "board/refresh.h"
#include "core/waiting.h"
#include "messages/daily.h"
#include "messages/form_world.h"
#include "storage/dates.h"
#include "storage/bytes.h"
#include "storage/locks.h"
#include "support/fake_host_window.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

using test::FakeHostWindow;
using test::FakePlatform;
using test::TempDir;

struct HostFixture : ::testing::Test {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  FakeHostWindow window;
  TempDir dir;
  int dailyRuns = 0;

  void SetUp() override {
    for (int n = 1; n <= 2100; ++n) ws.notices.lines.push_back("T" + std::to_string(n));
    ws.paths.ProgramFolder = "/prog";
    ws.paths.DataFolder = dir.str();
    ws.locks.TraceFolder = dir.str();
    ws.paths.ProductTitle = "Egresso";
    ws.host.AppTitle = "Egresso";
    ws.ThisUser = "AB";
    ws.UserSlot = 7;
    ws.MultiUser = true;
    ws.HostReady = true;
    ws.BoardOpen = true;
    ws.StartupFinished = true;
    ws.host.DailyRun = [this](Workstation&, bool byTimer) {
      EXPECT_TRUE(byTimer);
      ++dailyRuns;
    };
    fp.clock.set(2026, 12, 7, 9, 0);
  }

  void notify(const std::string& letters) {
    std::array<std::uint8_t, 11> rec{};
    putPString(rec, 0, 10, letters);
    test::writeFile(dir / "TIMER.AB", std::string(rec.begin(), rec.end()));
  }
  bool notifyFileExists() const { return std::filesystem::exists(dir / "TIMER.AB"); }
  void nextMinute() { fp.clock.advanceMs(60'000); }
};

TEST_F(HostFixture, TimerPeriodIsTheConfiguredSecondsPlusOne) {
  ws.mcfg.setU8(mcfg::HostTimerSeconds, 0);
  PaintMonth(ws, window);
  EXPECT_EQ(window.period, 1000);
  ws.mcfg.setU8(mcfg::HostTimerSeconds, 255);
  PaintMonth(ws, window);
  EXPECT_EQ(window.period, 256000);
  EXPECT_EQ(HostTimerPeriodMs(ws), 256000);
  EXPECT_TRUE(ws.HostReady);
  EXPECT_EQ(window.calls.back(), "bounds:1,1,1,1");
}

TEST(DailyTrigger, StaggersTheSlotsOneMinuteApart) {
  EXPECT_TRUE(DailyTriggerDue(0, 0, 0));
  EXPECT_TRUE(DailyTriggerDue(1, 0, 1));
  EXPECT_TRUE(DailyTriggerDue(59, 0, 59));
  EXPECT_TRUE(DailyTriggerDue(100, 0, 60));
  EXPECT_TRUE(DailyTriggerDue(115, 0, 75));
  EXPECT_FALSE(DailyTriggerDue(2, 0, 1));
  EXPECT_FALSE(DailyTriggerDue(100, 0, 59));
  EXPECT_FALSE(DailyTriggerDue(0, 0, 1));
  EXPECT_FALSE(DailyTriggerDue(1300, 0, 60));
}

TEST(DailyTrigger, CountsClockMinutesFromTheOffset) {
  // Slot 30 after 00:30 is 01:00; no slot waits for a clock time like 00:60.
  EXPECT_TRUE(DailyTriggerDue(100, 30, 30));
  EXPECT_TRUE(DailyTriggerDue(31, 30, 1));
  EXPECT_TRUE(DailyTriggerDue(59, 30, 29));
  EXPECT_FALSE(DailyTriggerDue(100, 30, 29));
  EXPECT_TRUE(DailyTriggerDue(0, -30, 30));
}

TEST_F(HostFixture, DailyTriggerFiresOncePerMinuteHoweverShortThePeriod) {
  ws.UserSlot = 1;
  ws.Today = 0;
  fp.clock.set(2026, 12, 7, 0, 0, 50);
  for (int i = 0; i < 50; ++i) {  // 00:00:50 .. 00:01:00 .. 00:01:40
    Timer1Timer(ws, window);
    fp.clock.advanceMs(1000);
  }
  EXPECT_EQ(dailyRuns, 1);
  EXPECT_NE(ws.Today, 0);
  for (int i = 0; i < 1200; ++i) {  // up to 00:03:40 in 0.1 s steps
    Timer1Timer(ws, window);
    fp.clock.advanceMs(100);
  }
  EXPECT_EQ(dailyRuns, 1);
  EXPECT_FALSE(ws.host.DailyTriggerLatch);
  fp.clock.set(2026, 12, 8, 0, 1, 0);
  Timer1Timer(ws, window);
  EXPECT_EQ(dailyRuns, 2);
}

TEST_F(HostFixture, DailyTriggerTableForEachSlot) {
  struct Case { int slot, hour, minute; };
  int day = 7;  // the processing runs once a day: each slot on a day of its own
  for (Case c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{59, 0, 59}, Case{60, 1, 0}, Case{75, 1, 15}}) {
    dailyRuns = 0;
    ws.host.DailyTriggerLatch = false;
    ws.UserSlot = c.slot;
    ++day;
    if (c.hour + c.minute > 0) {  // the second before its minute
      fp.clock.set(2026, 12, day, c.minute == 0 ? c.hour - 1 : c.hour, (c.minute + 59) % 60, 59);
      Timer1Timer(ws, window);
      EXPECT_EQ(dailyRuns, 0) << "slot " << c.slot;
    }
    fp.clock.set(2026, 12, day, c.hour, c.minute, 0);
    Timer1Timer(ws, window);
    Timer1Timer(ws, window);
    EXPECT_EQ(dailyRuns, 1) << "slot " << c.slot;
    fp.clock.advanceMs(60'000);
    Timer1Timer(ws, window);
    EXPECT_EQ(dailyRuns, 1) << "slot " << c.slot;
  }
}

TEST_F(HostFixture, DailyTriggerSkipsTheRunWhenMorningProcessingIsOff) {
  ws.options.MorningRun = false;
  ws.UserSlot = 1;
  ws.Today = 0;
  fp.clock.set(2026, 12, 7, 0, 1, 0);
  Timer1Timer(ws, window);
  EXPECT_EQ(dailyRuns, 0);
  EXPECT_NE(ws.Today, 0);
  EXPECT_TRUE(ws.host.DailyTriggerLatch);
}

TEST_F(HostFixture, DailyRunThatLetsTheTimerTickAgainRunsOnce) {
  ws.UserSlot = 1;
  fp.clock.set(2026, 12, 7, 0, 1, 0);
  ws.host.DailyRun = [this](Workstation& w, bool) {
    ++dailyRuns;
    Timer1Timer(w, window);  // a dialog inside the run lets the timer fire
  };
  Timer1Timer(ws, window);
  EXPECT_EQ(dailyRuns, 1);
}

TEST_F(HostFixture, NotificationWithBothLettersIsActedOnInOneTick) {
  notify("MB");
  ws.ListMode = 1;
  Timer1Timer(ws, window);
  EXPECT_FALSE(notifyFileExists());
  EXPECT_EQ(window.count("switch"), 1);
  EXPECT_TRUE(ws.AnnouncementChanged);
  EXPECT_EQ(ws.host.IconFlashState, 1);
  EXPECT_EQ(window.count("restore"), 1);
}

TEST_F(HostFixture, NewMessageInMessageListRequestsRefresh) {
  notify("M");
  ws.ListMode = 0;
  Timer1Timer(ws, window);
  EXPECT_EQ(window.count("switch"), 0);
  EXPECT_TRUE(ws.MessageRefreshRequest);
  EXPECT_FALSE(ws.AnnouncementChanged);
}

TEST_F(HostFixture, NewMessageShowsAClosedBoardModallyOnTheMessageList) {
  notify("M");
  ws.BoardOpen = false;
  ws.ListMode = 1;
  ws.ArchiveView = true;
  Timer1Timer(ws, window);
  EXPECT_EQ(window.count("modal"), 1);
  EXPECT_EQ(ws.ListMode, 0);
  EXPECT_FALSE(ws.ArchiveView);
  EXPECT_TRUE(ws.host.OpenedByNotification);
  EXPECT_TRUE(fp.dialogs.boxes.empty());
}

TEST_F(HostFixture, BoardShownWithoutTroubleLooksUpNoExplanation) {
  ws.notices.lines.resize(100);  // texts 1884..1886 are missing
  notify("M");
  ws.BoardOpen = false;
  Timer1Timer(ws, window);
  EXPECT_EQ(window.count("modal"), 1);
  EXPECT_TRUE(fp.dialogs.boxes.empty());
}

TEST_F(HostFixture, BoardThatCannotBeShownModallyIsExplained) {
  ws.notices.lines[1886 - 1] = "visible window modal";
  window.modalError = "Cannot make a visible window modal";
  notify("M");
  ws.BoardOpen = false;
  Timer1Timer(ws, window);
  ASSERT_EQ(fp.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fp.dialogs.boxes[0], "T1884T1885");

  // Any other failure is not explained with that text.
  fp.dialogs.boxes.clear();
  window.modalError = "Out of memory";
  notify("M");
  nextMinute();
  Timer1Timer(ws, window);
  EXPECT_TRUE(fp.dialogs.boxes.empty());
}

TEST_F(HostFixture, NotificationFileIsLookedAtOncePerMinute) {
  Timer1Timer(ws, window);
  notify("B");
  Timer1Timer(ws, window);
  EXPECT_TRUE(notifyFileExists());
  EXPECT_FALSE(ws.AnnouncementChanged);
  nextMinute();
  Timer1Timer(ws, window);
  EXPECT_FALSE(notifyFileExists());
  EXPECT_TRUE(ws.AnnouncementChanged);
  EXPECT_EQ(window.count("restore"), 0);
}

// Letters a board tick found are acted on at once, whatever the minute;
// a new message also comes up as a note from the tray, where there is one.
TEST_F(HostFixture, LettersFoundByABoardTickAreActedOnAtOnceWithADesktopNote) {
  struct Case {
    const char* letters;
    bool tray;
    int switches;
    int notes;
    bool announcement;
  };
  for (const Case& c : {Case{"M", true, 1, 1, false}, Case{"B", true, 0, 0, true}, Case{"M", false, 1, 0, false}}) {
    ws.options.TrayIcon = c.tray;
    AddTrayIcon(ws);
    fp.tray.calls.clear();
    window.calls.clear();
    ws.AnnouncementChanged = false;
    ws.ListMode = 1;
    notify(c.letters);
    LookAtLetters(ws, window);
    EXPECT_FALSE(notifyFileExists()) << c.letters;
    EXPECT_EQ(window.count("switch"), c.switches) << c.letters;
    EXPECT_EQ(std::count(fp.tray.calls.begin(), fp.tray.calls.end(), "message:Egresso:" + NewMessageNote(ws)), c.notes)
        << c.letters << " tray " << c.tray;
    EXPECT_EQ(ws.AnnouncementChanged, c.announcement) << c.letters;
  }
}

TEST_F(HostFixture, NotificationCheckNeedsMultiUserNotificationsAndReadyHost) {
  notify("M");
  ws.MultiUser = false;
  Timer1Timer(ws, window);
  ws.MultiUser = true;
  ws.options.Notifications = false;
  nextMinute();
  Timer1Timer(ws, window);
  ws.options.Notifications = true;
  ws.HostReady = false;
  nextMinute();
  Timer1Timer(ws, window);
  EXPECT_TRUE(notifyFileExists());
  ws.HostReady = true;
  nextMinute();
  Timer1Timer(ws, window);
  EXPECT_FALSE(notifyFileExists());
}

TEST_F(HostFixture, UnreadableNotificationFileIsTriedAgainNextMinute) {
  test::writeFile(dir / "TIMER.AB", "\x01M");  // shorter than one record
  Timer1Timer(ws, window);
  EXPECT_TRUE(notifyFileExists());
  EXPECT_EQ(window.count("switch"), 0);
  notify("M");
  Timer1Timer(ws, window);
  EXPECT_TRUE(notifyFileExists());
  nextMinute();
  Timer1Timer(ws, window);
  EXPECT_FALSE(notifyFileExists());
  EXPECT_EQ(window.count("switch"), 1);
}

TEST_F(HostFixture, TrayDisabledMeansNoTrayCallsAndNewMessagesRaiseTheWindow) {
  ws.options.TrayIcon = false;
  ws.options.FlashMode = true;
  AddTrayIcon(ws);
  notify("M");
  Timer1Timer(ws, window);
  for (int i = 0; i < 3; ++i) {
    nextMinute();
    Timer1Timer(ws, window);
  }
  RestoreFromTray(ws, window);
  HostFormDestroy(ws, window);
  EXPECT_TRUE(fp.tray.calls.empty());
  EXPECT_GE(window.count("restore"), 1);
  EXPECT_EQ(window.count("icon:/prog/FLASH.ICO"), 0);
}

TEST_F(HostFixture, TrayMissingFromTheDesktopActsAsDisabled) {
  fp.tray.present = false;
  AddTrayIcon(ws);
  notify("M");
  Timer1Timer(ws, window);
  HostFormDestroy(ws, window);
  EXPECT_TRUE(fp.tray.calls.empty());
  EXPECT_EQ(window.count("restore"), 1);
}

TEST_F(HostFixture, FlashModeAlternatesTheIconsUntilRestored) {
  ws.options.FlashMode = true;
  ws.host.IconPath = "/prog/KESTRA.ICO";
  AddTrayIcon(ws);
  ASSERT_EQ(fp.tray.calls, std::vector<std::string>{"add:/prog/KESTRA.ICO"});
  notify("M");
  Timer1Timer(ws, window);
  EXPECT_EQ(window.count("restore"), 0);  // flash mode does not raise the window
  std::vector<std::string> shown;
  for (int i = 0; i < 4; ++i) {
    fp.tray.calls.clear();
    fp.clock.advanceMs(1000);
    Timer1Timer(ws, window);
    ASSERT_EQ(fp.tray.calls.size(), 1u);
    shown.push_back(fp.tray.calls[0]);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"modify:/prog/FLASH.ICO", "modify:/prog/KESTRA.ICO",
                                             "modify:/prog/FLASH.ICO", "modify:/prog/KESTRA.ICO"}));
  fp.tray.calls.clear();
  RestoreFromTray(ws, window);
  EXPECT_EQ(ws.host.IconFlashState, 0);
  EXPECT_EQ(fp.tray.calls, std::vector<std::string>{"modify:/prog/KESTRA.ICO"});
  EXPECT_EQ(window.count("restore"), 1);
  fp.tray.calls.clear();
  for (int i = 0; i < 3; ++i) {
    fp.clock.advanceMs(1000);
    Timer1Timer(ws, window);
  }
  EXPECT_TRUE(fp.tray.calls.empty());
}

TEST_F(HostFixture, StoppingTheFlashingPutsTheNormalIconBack) {
  ws.options.FlashMode = true;
  ws.host.IconPath = "/prog/KESTRA.ICO";
  AddTrayIcon(ws);
  notify("M");
  Timer1Timer(ws, window);
  fp.clock.advanceMs(1000);
  Timer1Timer(ws, window);  // the tray now shows the flash image
  ASSERT_EQ(fp.tray.calls.back(), "modify:/prog/FLASH.ICO");
  fp.tray.calls.clear();
  StopIconFlashing(ws);
  EXPECT_EQ(ws.host.IconFlashState, 0);
  EXPECT_EQ(fp.tray.calls, std::vector<std::string>{"modify:/prog/KESTRA.ICO"});
  // Nothing flashes any more: no further tray calls, also not from a second stop.
  fp.tray.calls.clear();
  StopIconFlashing(ws);
  for (int i = 0; i < 3; ++i) {
    fp.clock.advanceMs(1000);
    Timer1Timer(ws, window);
  }
  EXPECT_TRUE(fp.tray.calls.empty());
}

TEST_F(HostFixture, StoppingTheFlashingWithoutATrayMakesNoTrayCall) {
  ws.options.TrayIcon = false;
  AddTrayIcon(ws);
  ws.host.IconFlashState = 2;
  StopIconFlashing(ws);
  EXPECT_EQ(ws.host.IconFlashState, 0);
  EXPECT_TRUE(fp.tray.calls.empty());
}

TEST_F(HostFixture, MissingFlashIconIsReportedOnceAndStopsTheFlashing) {
  ws.options.FlashMode = true;
  ws.host.IconPath = "/prog/KESTRA.ICO";
  window.missingIcons.insert("/prog/FLASH.ICO");
  AddTrayIcon(ws);
  notify("M");
  Timer1Timer(ws, window);
  for (int i = 0; i < 5; ++i) {
    fp.clock.advanceMs(1000);
    Timer1Timer(ws, window);
  }
  ASSERT_EQ(fp.dialogs.boxes.size(), 1u);
  EXPECT_NE(fp.dialogs.boxes[0].find("\"MODICO\""), std::string::npos);
  EXPECT_EQ(ws.host.IconFlashState, 0);
  EXPECT_EQ(ws.host.IconPath, "/prog/KESTRA.ICO");
}

TEST_F(HostFixture, RestoreMinimisesFirstOnlyWhenInactiveWithoutFlashMode) {
  window.active = false;
  RestoreFromTray(ws, window);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"minimise", "restore"}));
  window.calls.clear();
  window.active = true;
  RestoreFromTray(ws, window);
  EXPECT_EQ(window.calls, std::vector<std::string>{"restore"});
}

TEST_F(HostFixture, QuitRequestClosesTheHostUnlessThePasswordDialogIsOpen) {
  ws.QuitRequested = true;
  ws.PasswordDialogClosed = false;
  Timer1Timer(ws, window);
  EXPECT_EQ(window.count("closeHost"), 0);
  ws.PasswordDialogClosed = true;
  notify("M");
  Timer1Timer(ws, window);
  EXPECT_EQ(window.count("closeHost"), 1);
  EXPECT_TRUE(notifyFileExists());
}

// A command waiting for a lock or between attempts has its files and buffers
// in use: the ticks during the wait leave the notification file, the daily
// run and closing to the first tick after it, even one in a later minute.
TEST_F(HostFixture, TicksDuringAWaitLeaveTheirFileWorkToTheNextTick) {
  ws.UserSlot = 1;
  ws.ListMode = 0;
  fp.clock.set(2026, 12, 7, 0, 1, 0);
  notify("M");
  {
    WaitScope waiting(ws);
    ws.QuitRequested = true;
    Timer1Timer(ws, window);
    Timer1Timer(ws, window);
    EXPECT_EQ(dailyRuns, 0);
    EXPECT_TRUE(notifyFileExists());
    EXPECT_FALSE(ws.MessageRefreshRequest);
    EXPECT_EQ(window.count("closeHost"), 0);
    ws.QuitRequested = false;
    nextMinute();
    Timer1Timer(ws, window);
  }
  Timer1Timer(ws, window);
  EXPECT_EQ(dailyRuns, 1);
  EXPECT_FALSE(notifyFileExists());
  EXPECT_TRUE(ws.MessageRefreshRequest);
  Timer1Timer(ws, window);
  EXPECT_EQ(dailyRuns, 1);

  // So do the ticks while a command holds a lock (a dialog of the command is open).
  ws.MessageRefreshRequest = false;
  notify("M");
  nextMinute();
  ASSERT_TRUE(AcquireLock(ws, "LOCATELK", "BBOT"));
  Timer1Timer(ws, window);
  EXPECT_TRUE(notifyFileExists());
  ReleaseLock(ws, "LOCATELK");
  Timer1Timer(ws, window);
  EXPECT_FALSE(notifyFileExists());
  EXPECT_TRUE(ws.MessageRefreshRequest);
}

TEST_F(HostFixture, TrayMenuCaptionsAndItems) {
  TrayMenuCaptions c = TrayIconMenuPopup(ws);
  EXPECT_EQ(c.iconExit, "T1894Egresso");
  EXPECT_EQ(c.iconExitMenu, "T1895");
  EXPECT_EQ(c.iconRestore, "T1893Egresso");
  TrayIconMenuClick(ws, window, TrayItem::IconExitMenu);
  EXPECT_TRUE(window.calls.empty());
  TrayIconMenuClick(ws, window, TrayItem::IconExit);
  TrayIconMenuClick(ws, window, TrayItem::IconRestore);
  EXPECT_EQ(window.count("closeBoard"), 1);
  EXPECT_EQ(window.count("restore"), 1);
}

TEST_F(HostFixture, TrayRecordCarriesTheIconAndTheTitleCut) {
  ws.host.AppTitle = std::string(70, 't');
  ws.host.IconPath = "/prog/KESTRA.ICO";
  AddTrayIcon(ws);
  const TrayRecord& t = ws.host.TrayData;
  EXPECT_EQ(t.size, 88u);
  EXPECT_EQ(t.iconId, 1u);
  EXPECT_EQ(t.flags, 7u);
  EXPECT_EQ(t.callbackMessage, 0x400u);
  EXPECT_EQ(t.tip, std::string(63, 't'));
  HostFormDestroy(ws, window);
  EXPECT_EQ(t.flags, 0u);
  EXPECT_EQ(fp.tray.calls.back(), "remove");
}

TEST_F(HostFixture, DestroySignsOutOnlyWithTheSwitch) {
  HostFormDestroy(ws, window);
  EXPECT_EQ(window.count("signOut:7"), 0);
  ws.options.AutoInOut = true;
  HostFormDestroy(ws, window);
  EXPECT_EQ(window.count("signOut:7"), 1);
  // A start that did not finish (password failed or cancelled) leaves
  // nothing to sign out.
  ws.StartupFinished = false;
  HostFormDestroy(ws, window);
  EXPECT_EQ(window.count("signOut:7"), 1);
}

TEST_F(HostFixture, FormShowMinimisesOnceWithTheStartSwitch) {
  ws.options.StartMinimised = true;
  HostFormShow(ws, window);
  EXPECT_TRUE(ws.HostShown);
  EXPECT_EQ(window.count("minimiseHost"), 1);
  EXPECT_FALSE(ws.options.StartMinimised);
  HostFormShow(ws, window);
  EXPECT_EQ(window.count("minimiseHost"), 1);
}

TEST_F(HostFixture, StartProgRunsTheStartupAndShowsTheHost) {
  TempDir data;
  ws.HostReady = true;
  HostFormCreate(ws, window, EGRESSO_PROGRAM_DIR, {"/MD=" + data.str()});
  ASSERT_FALSE(window.calls.empty());
  EXPECT_EQ(window.calls.front(), "alert");
  EXPECT_TRUE(ws.options.SmallFonts);
  EXPECT_DOUBLE_EQ(ws.options.FontScale, 1.0);
  if (!ws.QuitRequested) {
    EXPECT_EQ(window.count("show"), 1);
    EXPECT_EQ(window.count("title:" + ws.paths.ProductTitle), 1);
    EXPECT_EQ(window.count("icon:" + ws.paths.ProgramFolder + "/KESTRA.ICO"), 1);
    EXPECT_TRUE(ws.HostShown);
    EXPECT_TRUE(ws.HostReady);
    EXPECT_EQ(window.period, HostTimerPeriodMs(ws));
  } else {
    EXPECT_EQ(window.count("show"), 0);
  }
}

// The line of the board that names someone, or "" when none does.
std::string LineOf(const Workstation& w, const std::string& name) {
  for (const auto& l : w.board.BBSlist)
    if (l.text.rfind(name, 0) == 0) return l.text;
  return {};
}

// A board left running over a night its computer slept through wakes into
// the clock's day: it does that day's processing once, its form offers the
// new day, and a sign-out saved then is kept by the other workstations'
// starts. A clock put back runs nothing again and is told in the trace.
TEST(HostOvernight, ABoardThatSleptThroughTheNightWakesIntoTheClocksDay) {
  const struct {
    const char* night;
    int day, hour;
    int runs;
  } cases[] = {{"asleep from 23:58 to 8:00", 8, 8, 1}, {"the clock put back a day", 6, 12, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.night);
    test::FormWorld w;  // Ann, slot 1
    FakeHostWindow window;
    w.fake.clock.set(2026, 12, 7, 23, 58);
    const std::int16_t evening = DayNumber(w.fake.clock.now());
    w.ws.Today = evening;
    w.ws.UserSlot = 1;
    w.ws.mcfg.setI16(mcfg::LastDateUsed, evening);
    w.ws.pcfg.setI16(pcfg::UserLastDate, evening);
    w.saveConfig();
    w.putLocation(3, "Client visit", evening, 2330);  // Claire, back late this evening
    int runs = 0;
    w.ws.host.DailyRun = [&runs](Workstation& x, bool byTimer) {
      ++runs;
      EarlyMorningStuff(x, byTimer);
    };
    FormShow(w.ws);
    Timer1Timer(w.ws, window);
    ASSERT_EQ(runs, 0);

    w.fake.clock.set(2026, 12, c.day, c.hour, 0);
    const std::int16_t woken = DayNumber(w.fake.clock.now());
    for (int tick = 0; tick < 5; ++tick) {
      Timer1Timer(w.ws, window);
      Timer1Timer(w.ws);
      w.fake.clock.advanceMs(1000);
    }
    EXPECT_EQ(w.ws.Today, woken);
    EXPECT_EQ(runs, c.runs);
    EXPECT_EQ(test::readFile(w.dir / "TEST").find("Clock set back") != std::string::npos, c.runs == 0);
    if (c.runs == 0) continue;
    // The new day's processing marked Claire's entry of yesterday.
    EXPECT_NE(LineOf(w.ws, "Claire Dumont").find(MessageText(w.ws, 1445)), std::string::npos);
    EXPECT_EQ(w.ws.pcfg.i16(pcfg::UserLastDate), woken);

    auto form = test::FormWorld::show(w.ws, 1, 'N');
    EXPECT_EQ(form->f.ReturnDate, FormatDay(w.ws, woken));
    form->f.ReturnTime = "5:00P";
    form->f.Location = "Bank";
    form->OKbtnClick();
    ASSERT_TRUE(form->closed());

    // Bob's workstation starts, as every start does: its day's processing
    // when it has not run it yet, then the board with its expiry.
    auto bob = w.other("BOB");
    if (bob->Today != bob->pcfg.i16(pcfg::UserLastDate)) EarlyMorningStuff(*bob, false);
    FormShow(*bob);
    EXPECT_FALSE(w.index("LOCATE.DAI", 1).closed());
    EXPECT_EQ(w.record("LOCATE.DAF", 1).headline(), "Bank");
    EXPECT_NE(LineOf(*bob, "Ann Baker").find("Bank"), std::string::npos);
  }
}

}  // namespace
}  // namespace egresso
