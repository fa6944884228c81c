#include "board/work_clock.h"

#include <gtest/gtest.h>

#include "board/board_world.h"
#include "board/refresh.h"
#include "messages/board_files.h"
#include "storage/bytes.h"

namespace egresso {
namespace {

using test::BoardWorld;

struct Clocked : BoardWorld {
  Clocked() {
    notice(1693, "Start the work clock");
    notice(1694, "Stop the work clock");
    notice(1697, "Work clock");
    notice(1700, "1 day +");
    ws.options.WorkClock = true;
    allIn();
    mode(1);
  }
  // Record n of a log set as the engine reads it.
  std::array<std::uint8_t, kCalRecordSize> entry(const std::string& set, int n) {
    std::array<std::uint8_t, kCalRecordSize> rec{};
    RecordFile f;
    if (f.open(path(set), kCalRecordSize, RecordFile::Mode::ReadOnly, PosixFileOps()) == io::Ok) f.read(n, rec);
    return rec;
  }
  void at(int y, int mo, int d, int h, int mi) {
    fake.clock.set(y, mo, d, h, mi);
    ws.Today = DayNumber(fake.clock.now());
  }
};

TEST(WorkClock, StartTheDisplayAfterAnHourAndStopWritesTheDuration) {
  Clocked c;
  c.at(2026, 12, 7, 9, 15);
  BoardIndexEntry before = c.index("LOCATE.DAI", 1);
  EXPECT_EQ(WorkClockBtnClick(c.ws), ClockResult::Started);
  EXPECT_EQ(WorkClockButtonState(c.ws).hint, "Stop the work clock");
  EXPECT_EQ(WorkClockButtonState(c.ws).width, 69);
  const BulBrdRcrd rec = c.record("LOCATE.DAF", 1);
  EXPECT_EQ(rec.clockDay(), c.ws.Today);
  EXPECT_EQ(rec.clockStart(), (9 * 60 + 15) * 60);
  EXPECT_EQ(rec.clockEntry(), 1) << "the first entry after the set's header";
  EXPECT_EQ(c.index("LOCATE.DAI", 1).Flags, before.Flags) << "the entry's flags stay";

  auto e = c.entry("DEC26LOG.DAF", 1);
  EXPECT_EQ(getI16(e, cal::StartDay), c.ws.Today);
  EXPECT_EQ(getI16(e, timeentry::StartTime), 915);
  EXPECT_EQ(getPString(e, timeentry::Owner, 3), "ANN");
  EXPECT_EQ(getPString(e, timeentry::Text, 12), "Work clock");

  c.fake.clock.advanceMs(3600 * 1000 + 30 * 1000);
  EXPECT_EQ(Timer1Timer(c.ws).workClockText, "01:00");
  c.fake.clock.advanceMs(30 * 60 * 1000);

  EXPECT_EQ(WorkClockBtnClick(c.ws), ClockResult::Stopped);
  e = c.entry("DEC26LOG.DAF", 1);
  EXPECT_EQ(getI16(e, cal::EndDay), c.ws.Today);
  EXPECT_EQ(getI16(e, timeentry::EndTime), 1045);
  EXPECT_DOUBLE_EQ(getReal48(e, timeentry::Hours), 1.5);
  EXPECT_EQ(c.record("LOCATE.DAF", 1).clockDay(), 0);
  EXPECT_EQ(WorkClockButtonState(c.ws).hint, "Start the work clock");
  EXPECT_EQ(Timer1Timer(c.ws).workClockText, "");

  // A second clock of the same month is the set's next record.
  EXPECT_EQ(WorkClockBtnClick(c.ws), ClockResult::Started);
  EXPECT_EQ(c.record("LOCATE.DAF", 1).clockEntry(), 2);
}

TEST(WorkClock, AnEntryOverMidnightIsClosedInTheSetOfItsStartDay) {
  Clocked c;
  c.at(2026, 12, 31, 22, 30);
  ASSERT_EQ(WorkClockBtnClick(c.ws), ClockResult::Started);
  c.at(2027, 1, 1, 1, 0);
  EXPECT_EQ(WorkClockElapsedText(c.ws), "02:30");
  ASSERT_EQ(WorkClockBtnClick(c.ws), ClockResult::Stopped);
  const auto e = c.entry("DEC26LOG.DAF", 1);
  EXPECT_DOUBLE_EQ(getReal48(e, timeentry::Hours), 2.5);
  EXPECT_EQ(getI16(e, cal::EndDay), c.ws.Today);
  EXPECT_FALSE(std::filesystem::exists(c.dir / "JAN27LOG.DAF"));

  // Over a whole day: the full-day text, and the fixed duration.
  c.at(2027, 1, 4, 8, 0);
  ASSERT_EQ(WorkClockBtnClick(c.ws), ClockResult::Started);
  c.at(2027, 1, 5, 8, 0);
  EXPECT_EQ(WorkClockElapsedText(c.ws), "1 day +");
  c.at(2027, 1, 6, 9, 0);
  ASSERT_EQ(WorkClockBtnClick(c.ws), ClockResult::Stopped);
  EXPECT_DOUBLE_EQ(getReal48(c.entry("JAN27LOG.DAF", 1), timeentry::Hours), kMultiDayHours);
}

TEST(WorkClock, DurationsInHours) {
  EXPECT_DOUBLE_EQ(WorkClockHours(100, 900, 100, 1720), 8 + 20 / 60.0);
  EXPECT_DOUBLE_EQ(WorkClockHours(100, 2350, 101, 10), 20 / 60.0);
  EXPECT_DOUBLE_EQ(WorkClockHours(100, 900, 101, 1000), 25.0);
  EXPECT_DOUBLE_EQ(WorkClockHours(100, 900, 102, 800), kMultiDayHours);
}

TEST(WorkClock, ACancelledStartOrAnotherStationsClockChangesNothing) {
  Clocked c;
  c.fake.dialogs.answers = {2};
  EXPECT_EQ(WorkClockBtnClick(c.ws), ClockResult::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(c.dir / "DEC26LOG.DAF"));
  c.ws.options.WorkClock = false;
  EXPECT_EQ(WorkClockBtnClick(c.ws), ClockResult::NotRun);
}

// "Start the work clock now?" and "Stop ...?" are asked before the board
// and log locks are taken; a clock that another workstation of the user
// started or stopped while the question stood is left as it is now.
TEST(WorkClock, TheQuestionIsAskedBeforeTheLocks) {
  enum Meanwhile { Nothing, OtherStarted };
  const struct { bool running; Meanwhile meanwhile; ClockResult result; } cases[] = {
      {false, Nothing, ClockResult::Started},
      {true, Nothing, ClockResult::Stopped},
      {false, OtherStarted, ClockResult::Cancelled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.running) + " " + std::to_string(c.meanwhile));
    Clocked w;
    if (c.running) ASSERT_EQ(WorkClockBtnClick(w.ws), ClockResult::Started);
    bool lockHeld = false;
    BulBrdRcrd meanwhile;
    w.fake.dialogs.whileShown = [&](const DialogRequest&) {
      for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
        lockHeld = lockHeld || e.path().extension() == ".LOK";
      if (c.meanwhile != OtherStarted) return;
      auto other = w.station("ANN");
      other->ListMode = 1;
      SelectBoardFiles(*other);
      other->board.RecordBuffer = w.record("LOCATE.DAF", 1);
      other->board.RecordBuffer.setClockDay(w.ws.Today);
      other->board.RecordBuffer.setClockStart(3600);
      other->board.RecordBuffer.setClockEntry(7);
      WriteBoardRecord(*other, 1, "TEST");
      meanwhile = w.record("LOCATE.DAF", 1);
    };
    EXPECT_EQ(WorkClockBtnClick(w.ws), c.result);
    EXPECT_EQ(w.fake.dialogs.dialogs.size(), c.running ? 2u : 1u);
    EXPECT_FALSE(lockHeld) << "a lock was held while the question stood";
    if (c.meanwhile == OtherStarted) {
      EXPECT_TRUE(w.record("LOCATE.DAF", 1).bytes == meanwhile.bytes) << "the other's clock stays";
      EXPECT_FALSE(std::filesystem::exists(w.dir / "DEC26LOG.DAF"));
    }
  }
}

}  // namespace
}  // namespace egresso
