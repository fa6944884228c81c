// The small month calendar: grid, clicks and keys.
#include "messages/calendar.h"

#include <gtest/gtest.h>

#include "board/board_world.h"

namespace egresso {
namespace {

TEST(SmallCalendar, GridFollowsTheWeekStart) {
  test::BoardWorld w;
  SmallCalendar c;
  c.Show(w.ws, DayNumber(2026, 12, 7));
  EXPECT_EQ(c.Cell(0, 2), 1);  // Tuesday 1 December under Sunday-first
  EXPECT_EQ(c.Cell(4, 4), 31);
  int row, col;
  c.ChosenCell(row, col);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(c.DayHeading(w.ws, 0), "Sun");
  w.ws.pcfg.setU8(pcfg::MondayFirst, 1);
  c.Show(w.ws, DayNumber(2026, 12, 7));
  EXPECT_EQ(c.Cell(0, 1), 1);
  EXPECT_EQ(c.DayHeading(w.ws, 0), "Mon");
  EXPECT_EQ(c.Header(w.ws), "Dec 26");
}

TEST(SmallCalendar, ClicksAndKeys) {
  test::BoardWorld w;
  SmallCalendar c;
  c.Show(w.ws, DayNumber(2026, 12, 31));
  // The cell of the 15th (Tuesday, row 2, column 2) at its drawn place.
  EXPECT_EQ(c.Click(w.ws, 27 * 2 + 12, 21 * 2 + 45), SmallCalendar::Hit::Day);
  EXPECT_EQ(c.Chosen(), DayNumber(2026, 12, 15));
  EXPECT_EQ(c.Click(w.ws, 100, 10), SmallCalendar::Hit::Drag);
  EXPECT_EQ(c.Click(w.ws, 180, 150), SmallCalendar::Hit::NextMonth);
  EXPECT_EQ(c.Chosen(), DayNumber(2027, 1, 15));
  c.Press(w.ws, SmallCalendar::Key::Left);
  EXPECT_EQ(c.Chosen(), DayNumber(2027, 1, 14));
  c.Press(w.ws, SmallCalendar::Key::Up);
  c.Press(w.ws, SmallCalendar::Key::Up);
  EXPECT_EQ(c.Chosen(), DayNumber(2026, 12, 31));
  c.Press(w.ws, SmallCalendar::Key::PageUp);
  EXPECT_EQ(c.Chosen(), DayNumber(2026, 11, 30));  // limited to the month's length
  c.Press(w.ws, SmallCalendar::Key::Home);
  EXPECT_EQ(c.Chosen(), w.ws.Today);
  EXPECT_EQ(c.DateText(w.ws), "7 December 26");
}

// Day numbers reach into 2073, whose two-digit year a date text would read
// as 1973: the calendar stops at the last month that reads back.
TEST(SmallCalendar, StaysWithinTheYearsADateTextReadsBack) {
  test::BoardWorld w;
  SmallCalendar c;
  c.Show(w.ws, DayNumber(2073, 3, 1));
  EXPECT_EQ(c.Chosen(), DayNumber(2072, 12, 31));
  c.Press(w.ws, SmallCalendar::Key::PageDown);
  c.Press(w.ws, SmallCalendar::Key::Down);
  EXPECT_EQ(c.Chosen(), DayNumber(2072, 12, 31));
  c.Show(w.ws, 1);
  c.Press(w.ws, SmallCalendar::Key::PageUp);
  c.Press(w.ws, SmallCalendar::Key::Left);
  EXPECT_EQ(c.Chosen(), DayNumber(1984, 1, 1));
}

}  // namespace
}  // namespace egresso
