#include "storage/dates.h"

#include <gtest/gtest.h>

#include "config/records.h"
#include "storage/engine_fixture.h"

namespace egresso {
namespace {

using test::EngineTest;

class Dates : public EngineTest {
 protected:
  void setFlags(bool numeric, bool euro, bool mondayFirst = false) {
    ws.pcfg.setU8(pcfg::NumericDates, numeric);
    ws.pcfg.setU8(pcfg::EuroFormat, euro);
    ws.pcfg.setU8(pcfg::MondayFirst, mondayFirst);
  }
  std::int16_t parse(std::string_view text, std::string_view reference = "") {
    return ParseDay(ws, text, reference, false);
  }
};

TEST(DayNumbers, SplitAndJoinAgreeOverTheWholeRange) {
  EXPECT_EQ(DayNumber(1984, 1, 1), 1);
  EXPECT_EQ(DayNumber(2000, 1, 1), 5845);
  EXPECT_EQ(DayNumber(LocalDateTime{1997, 12, 5, 8, 30}), DayNumber(1997, 12, 5));
  int previousMonth = 12, previousDay = 31;
  for (int day = 1; day < kNoDateFrom; ++day) {
    CalendarDate d = SplitDay(day);
    ASSERT_EQ(DayNumber(d.year, d.month, d.day), day) << day;
    // Consecutive day numbers are consecutive calendar days.
    if (d.day == 1) {
      ASSERT_EQ(previousMonth % 12 + 1, d.month) << day;
      ASSERT_EQ(previousDay, DaysInMonth(previousMonth, d.month == 1 ? YearOfDay2(day) - 1 : YearOfDay2(day))) << day;
    } else {
      ASSERT_EQ(d.day, previousDay + 1) << day;
    }
    previousMonth = d.month;
    previousDay = d.day;
  }
  EXPECT_EQ(SplitDay(kNoDateFrom - 1).year, 2073);
  CalendarDate noDate = SplitDay(0);
  EXPECT_EQ(noDate.year, 1983);
  EXPECT_EQ(noDate.day, 31);
}

TEST(DayNumbers, FieldsAroundTheCentury) {
  int lastOf1999 = DayNumber(1999, 12, 31);
  EXPECT_EQ(MonthOfDay(lastOf1999), 12);
  EXPECT_EQ(DayOfMonth(lastOf1999), 31);
  EXPECT_EQ(YearOfDay2(lastOf1999), 99);
  EXPECT_EQ(YearOfDay2(lastOf1999 + 1), 0);
  EXPECT_EQ(MonthOfDay(lastOf1999 + 1), 1);
  // 2000 is a leap year, as every year divisible by 4 in the range.
  EXPECT_EQ(DayNumber(2000, 3, 1) - DayNumber(2000, 2, 28), 2);
  // A day beyond the month's length runs into the next month.
  EXPECT_EQ(DayNumber(1997, 2, 30), DayNumber(1997, 3, 2));
  EXPECT_EQ(DayNumber(2100, 1, 1), 32767);
}

TEST(DayNumbers, DaysInMonth) {
  EXPECT_EQ(DaysInMonth(2, 0), 29);
  EXPECT_EQ(DaysInMonth(2, 96), 29);
  EXPECT_EQ(DaysInMonth(2, 97), 28);
  EXPECT_EQ(DaysInMonth(4, 97), 30);
  EXPECT_EQ(DaysInMonth(12, 97), 31);
  EXPECT_EQ(DaysInMonth(0, 97), 0);
  EXPECT_EQ(DaysInMonth(13, 97), 0);
}

TEST_F(Dates, WeekdayIndexFollowsTheWeekStart) {
  int friday = DayNumber(1997, 12, 5);
  EXPECT_EQ(IsoWeekday(friday), 5);
  EXPECT_EQ(IsoWeekday(1), 7);  // 1 January 1984 was a Sunday
  EXPECT_EQ(WeekdayIndex(ws, 1), 0);
  EXPECT_EQ(WeekdayIndex(ws, friday), 5);
  EXPECT_EQ(WeekdayIndex(ws, friday + 1), 6);
  setFlags(false, false, true);
  EXPECT_EQ(WeekdayIndex(ws, 1), 6);
  EXPECT_EQ(WeekdayIndex(ws, friday), 4);
  EXPECT_EQ(WeekdayIndex(ws, friday + 3), 0);
  EXPECT_EQ(DayName(ws, 1), "Monday");
  EXPECT_EQ(DayName(ws, 7), "Sunday");
}

TEST_F(Dates, FormatDayStyles) {
  EXPECT_EQ(FormatDay(ws, 0), "         ");
  EXPECT_EQ(FormatDay(ws, kNoDateFrom), "         ");
  EXPECT_EQ(FormatDay(ws, -5), "         ");
  EXPECT_EQ(FormatDay(ws, 1), "1 JAN 84");
  EXPECT_EQ(FormatDay(ws, 5845, false, true), "1 JAN 2000");
  EXPECT_EQ(FormatDay(ws, 1, false, true), "1 JAN 1984");
  EXPECT_EQ(FormatDay(ws, DayNumber(2005, 9, 30), true, true), "30 SEPTEMBER 2005");
  EXPECT_EQ(FormatDay(ws, kNoDateFrom - 1, false, true), "8 SEP 2073");
  setFlags(true, false);
  EXPECT_EQ(FormatDay(ws, 5845, false, true), "1.1.00");
  EXPECT_EQ(FormatDay(ws, DayNumber(1997, 12, 5)), "5.12.97");
}

TEST_F(Dates, MonthNamesFallBackWhenTheNoticeIsMissing) {
  ws.notices.lines.assign(2000, "");
  EXPECT_EQ(FormatDay(ws, 1), "1 Jan 84");
  EXPECT_EQ(parse("5 jan 97"), DayNumber(1997, 1, 5));
}

TEST_F(Dates, ParseDayForms) {
  EXPECT_EQ(parse(""), 0);
  EXPECT_EQ(parse("   "), 0);
  EXPECT_EQ(parse("t"), ws.Today);
  EXPECT_EQ(parse("Today"), ws.Today);
  EXPECT_EQ(parse("5 jan 97"), DayNumber(1997, 1, 5));
  EXPECT_EQ(parse(" 05 Jan 1997 "), DayNumber(1997, 1, 5));
  EXPECT_EQ(parse("5-JANUARY-97"), DayNumber(1997, 1, 5));
  EXPECT_EQ(parse("jan 97"), DayNumber(1997, 1, 1));
  EXPECT_EQ(parse("0197"), DayNumber(1997, 1, 1));
  EXPECT_EQ(parse("1/97"), DayNumber(1997, 1, 1));
  // Six digits and separated numbers are month first on a 12-hour clock ...
  EXPECT_EQ(parse("050197"), DayNumber(1997, 5, 1));
  EXPECT_EQ(parse("5/1/97"), DayNumber(1997, 5, 1));
  EXPECT_EQ(parse("5/1/1997"), DayNumber(1997, 5, 1));
  // ... and day first on a 24-hour clock.
  setFlags(false, true);
  EXPECT_EQ(parse("050197"), DayNumber(1997, 1, 5));
  EXPECT_EQ(parse("5.1.97"), DayNumber(1997, 1, 5));
  EXPECT_EQ(parse("05011997"), DayNumber(1997, 1, 5));
  // Two-digit years below 73 are 20YY.
  EXPECT_EQ(parse("1 jan 72"), DayNumber(2072, 1, 1));
  EXPECT_EQ(parse("1 jan 99"), DayNumber(1999, 1, 1));
  EXPECT_EQ(parse("1 jan 85"), 367);
  // A day beyond the month's length runs into the next month.
  EXPECT_EQ(parse("30 feb 97"), DayNumber(1997, 3, 2));
}

TEST_F(Dates, ParseDayTakesMissingPartsFromTheReference) {
  EXPECT_EQ(parse("5", "20 MAR 98"), DayNumber(1998, 3, 5));
  EXPECT_EQ(parse("5 apr", "20 MAR 98"), DayNumber(1998, 4, 5));
  EXPECT_EQ(parse("5", "1 MAR 2001"), DayNumber(2001, 3, 5));
  EXPECT_EQ(parse("5"), kBadDate);
  EXPECT_EQ(parse("5", "garbage"), kBadDate);
}

TEST_F(Dates, ParseDayErrors) {
  for (const char* bad : {"5 jan 1984", "31 dec 84", "1 jan 2071", "32 jan 97", "0 jan 97", "5 xyz 97", "13/1/97",
                          "123 jan 97", "1 jan 197", "hello", "5 jan 97 extra", "1234567", "//", "5 ja 97",
                          "05 05970970197", "5 jan 99999999999", "99999999999 jan 97"}) {
    EXPECT_EQ(parse(bad), kBadDate) << bad;
  }
  EXPECT_TRUE(fp.dialogs.dialogs.empty());
  EXPECT_EQ(ParseDay(ws, " 5 jan 1984 ", "", true), kBadDate);
  ASSERT_EQ(fp.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fp.dialogs.dialogs[0].message, "\"5 jan 1984\" is not a date");
  EXPECT_EQ(fp.dialogs.dialogs[0].button3, "OK");
  EXPECT_EQ(fp.dialogs.dialogs[0].button1, "");
}

TEST_F(Dates, EveryFormattedDateReadsBackInEveryStyle) {
  // What the program shows in a date field must read back as the same day,
  // including numeric dates, which are shown day first on either clock.
  for (bool numeric : {false, true}) {
    for (bool euro : {false, true}) {
      setFlags(numeric, euro);
      // Typed four-digit years end with 2070.
      for (int day = 367; day < DayNumber(2071, 1, 1); day += 7) {
        ASSERT_EQ(parse(FormatDay(ws, day, false, true)), day) << numeric << euro << day;
        ASSERT_EQ(parse(FormatDay(ws, day, true, false)), day) << numeric << euro << day;
      }
    }
  }
}

TEST_F(Dates, ShiftDayMovesByDaysOrWorkingDays) {
  const char* friday = "5 DEC 97";
  EXPECT_EQ(ShiftDay(ws, friday, "+1W"), "8 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, friday, "+1"), "6 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, friday, "+ 5 w"), "12 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, "8 DEC 97", "-1W"), "5 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, friday, "-31"), "4 NOV 1997");
  EXPECT_EQ(ShiftDay(ws, friday, "+0"), "5 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, friday, "12 JAN 98"), "12 JAN 98");
  EXPECT_EQ(ShiftDay(ws, friday, "a text far longer than fifteen"), "a text far long");
  EXPECT_TRUE(fp.dialogs.dialogs.empty());
}

TEST_F(Dates, ShiftDayWithABadCountKeepsTheBase) {
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+abc"), "5 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+W"), "5 DEC 1997");
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+99999999999W"), "5 DEC 1997");
  ASSERT_EQ(fp.dialogs.dialogs.size(), 3u);
  EXPECT_EQ(fp.dialogs.dialogs[0].message, "Not a number");
  // Moving off the end of the day numbers gives no date rather than a wrap.
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+40000"), "         ");
}

TEST_F(Dates, ShiftDaySkipsRepeatingEntries) {
  RepeatEntry entry{};
  entry[0] = 8;  // the test below reads it as "day of month 8 is taken"
  std::vector<RepeatDayFacts> asked;
  ws.engine.RepeatTable = {entry};
  ws.engine.RepeatFallsOn = [&](const RepeatEntry& e, const RepeatDayFacts& f) {
    asked.push_back(f);
    return f.dayOfMonth == e[0];
  };
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+1W"), "9 DEC 1997");
  ASSERT_FALSE(asked.empty());
  const RepeatDayFacts& monday = asked.front();
  EXPECT_EQ(monday.day, DayNumber(1997, 12, 8));
  EXPECT_EQ(monday.dayOfMonth, 8);
  EXPECT_EQ(monday.month, 12);
  EXPECT_EQ(monday.weekday, 1);
  EXPECT_EQ(monday.weekOfMonth, 2);
  EXPECT_EQ(monday.daysInMonth, 31);
  // Without working days the table is not consulted.
  asked.clear();
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+3"), "8 DEC 1997");
  EXPECT_TRUE(asked.empty());
}

TEST_F(Dates, ShiftDayConsultsAtMost512EntriesAndEnds) {
  RepeatEntry free{}, taken{};
  taken[0] = 1;
  ws.engine.RepeatTable.assign(kMaxRepeatEntries, free);
  ws.engine.RepeatTable.push_back(taken);  // the 513th entry is beyond the table
  ws.engine.RepeatFallsOn = [](const RepeatEntry& e, const RepeatDayFacts&) { return e[0] == 1; };
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+1W"), "8 DEC 1997");
  // A table that takes every day cannot hold the walk forever.
  ws.engine.RepeatTable.assign(1, taken);
  EXPECT_EQ(ShiftDay(ws, "5 DEC 97", "+1W"), "         ");
}

TEST_F(Dates, CurrentTimeWithoutZoneIsTheClock) {
  fp.clock.set(1997, 12, 5, 8, 30);
  EXPECT_EQ(CurrentTimeHHMM(ws), 830);
  // An office zone never set (-99) leaves the clock alone whatever the switch.
  ws.mcfg.setReal(mcfg::ZoneReference, -99.0);
  ws.options.ZoneHours = 2;
  EXPECT_EQ(CurrentTimeHHMM(ws), 830);
  EXPECT_EQ(ws.Today, 5000);
}

TEST_F(Dates, CurrentTimeZoneRule) {
  ws.mcfg.setReal(mcfg::ZoneReference, 3.0);
  ws.options.ZoneHours = 1;
  fp.clock.set(1997, 12, 5, 9, 15);
  EXPECT_EQ(CurrentTimeHHMM(ws), 715);
  EXPECT_EQ(ws.Today, 5000);
  // Below zero the time wraps and Today becomes the day before.
  fp.clock.set(1997, 12, 5, 1, 30);
  EXPECT_EQ(CurrentTimeHHMM(ws), 2330);
  EXPECT_EQ(ws.Today, DayNumber(1997, 12, 4));
  // Only the whole part of the difference counts.
  ws.mcfg.setReal(mcfg::ZoneReference, 5.5);
  ws.options.ZoneHours = 0;
  fp.clock.set(1997, 12, 5, 9, 15);
  EXPECT_EQ(CurrentTimeHHMM(ws), 415);
  // A workstation behind the office passes midnight into the next day.
  ws.mcfg.setReal(mcfg::ZoneReference, -2.0);
  ws.options.ZoneHours = 1;
  fp.clock.set(1997, 12, 31, 22, 30);
  EXPECT_EQ(CurrentTimeHHMM(ws), 130);
  EXPECT_EQ(ws.Today, DayNumber(1998, 1, 1));
}

TEST_F(Dates, FormatTimeOnBothClocks) {
  EXPECT_EQ(FormatTime(ws, 0, true, true, 0), "");
  EXPECT_EQ(FormatTime(ws, 2900, true, true, 1), "");
  EXPECT_EQ(FormatTime(ws, 2400, false, true, 0), "1200A");
  EXPECT_EQ(FormatTime(ws, 2400, false, false, 1), "1200 AM");
  EXPECT_EQ(FormatTime(ws, 830, true, true, 0), "8:30A");
  EXPECT_EQ(FormatTime(ws, 830, true, true, 1), "8:30 AM");
  EXPECT_EQ(FormatTime(ws, -830, true, false, 0), "8:30");
  EXPECT_EQ(FormatTime(ws, 1330, true, true, 0), "1:30P");
  EXPECT_EQ(FormatTime(ws, 1200, true, true, 0), "12:00P");
  EXPECT_EQ(FormatTime(ws, 1159, true, true, 0), "11:59A");
  EXPECT_EQ(FormatTime(ws, 5, false, false, 0), "1205");
  EXPECT_EQ(FormatTime(ws, 30, true, true, 0), "12:30A");
  EXPECT_LE(FormatTime(ws, 32767, true, true, 1).size(), 10u);
  setFlags(false, true);
  EXPECT_EQ(FormatTime(ws, 830, true, true, 1), "08:30");
  EXPECT_EQ(FormatTime(ws, 830, false, false, 0), "0830");
  EXPECT_EQ(FormatTime(ws, 5, true, false, 0), "00:05");
  EXPECT_EQ(FormatTime(ws, 2400, true, false, 0), "24:00");
  EXPECT_EQ(FormatTime(ws, -2147483647 - 1, false, false, 0).size(), 10u);
}

TEST_F(Dates, ParseTimeExamples) {
  EXPECT_EQ(ParseTime(ws, "1:30"), 1330);
  EXPECT_EQ(ParseTime(ws, "9"), 900);
  EXPECT_EQ(ParseTime(ws, "12"), 1200);
  EXPECT_EQ(ParseTime(ws, "12:00A"), 2400);
  EXPECT_EQ(ParseTime(ws, "12:30 am"), 30);
  EXPECT_EQ(ParseTime(ws, "10:75"), 1059);
  EXPECT_EQ(ParseTime(ws, "3 pm"), 1500);
  EXPECT_EQ(ParseTime(ws, "7:45"), 745);
  EXPECT_EQ(ParseTime(ws, "25:00"), 0);
  EXPECT_EQ(ParseTime(ws, "2400"), 2400);
  for (const char* bad : {"", "abc", "P", "am", "-5", "-5P", "99999999999", "12.30", "1o30", "12x30", "9h15P"})
    EXPECT_EQ(ParseTime(ws, bad), 0) << bad;
  setFlags(false, true);
  EXPECT_EQ(ParseTime(ws, "1:30"), 130);
  EXPECT_EQ(ParseTime(ws, "3"), 300);
  // An explicit suffix is read the same on a 24-hour clock.
  EXPECT_EQ(ParseTime(ws, "3P"), 1500);
}

TEST_F(Dates, EveryFormattedTimeReadsBack) {
  for (bool euro : {false, true}) {
    setFlags(false, euro);
    for (int h = 0; h < 24; ++h) {
      for (int m = 0; m < 60; ++m) {
        int t = h * 100 + m;
        if (t == 0) continue;
        ASSERT_EQ(ParseTime(ws, FormatTime(ws, t, true, true, 0)), t) << euro << " " << t;
        ASSERT_EQ(ParseTime(ws, FormatTime(ws, t, true, false, 1)), t) << euro << " " << t;
      }
    }
  }
}

}  // namespace
}  // namespace egresso
