// The small calendar driven by arbitrary clicks and keys from any day: the
// chosen day stays a real day shown in the grid, and the text it hands to
// the return date reads back as that day.
#include <cstdint>
#include <string>

#include "config/records.h"
#include "fuzz_support.h"
#include "messages/calendar.h"
#include "storage/dates.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

void check(Workstation& ws, const SmallCalendar& cal) {
  require(cal.month() >= 1 && cal.month() <= 12 && cal.year2() >= 0 && cal.year2() <= 99, "month and year");
  require(cal.day() >= 1 && cal.day() <= DaysInMonth(cal.month(), cal.year2()), "a day of the month");
  int row = -1, column = -1;
  cal.ChosenCell(row, column);
  require(row >= 0 && column >= 0 && cal.Cell(row, column) == cal.day(), "the chosen day is shown");
  const int chosen = cal.Chosen();
  require(chosen >= 1 && chosen < kNoDateFrom, "the chosen day can be stored");
  const CalendarDate d = SplitDay(chosen);
  require(d.day == cal.day() && d.month == cal.month() && d.year % 100 == cal.year2(), "day number agrees");
  require(cal.Header(ws).size() <= 6, "header");
  if (chosen >= 367 && chosen < DayNumber(2071, 1, 1))
    require(ParseDay(ws, cal.DateText(ws), "", false) == chosen, "the date text reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.Today = DayNumber(2026, 12, 7);
  ws.pcfg.setU8(pcfg::MondayFirst, data[0] & 1);
  ws.pcfg.setU8(pcfg::EuroFormat, (data[0] >> 1) & 1);
  SmallCalendar cal;
  cal.Show(ws, static_cast<std::int16_t>(data[1] | (data[2] << 8)));
  check(ws, cal);
  for (std::size_t i = 3; i + 1 < size; i += 2) {
    const std::uint8_t a = data[i], b = data[i + 1];
    if (a & 0x80) {
      cal.Click(ws, (a & 0x7F) * 2 - 20, b - 20);
    } else {
      cal.Press(ws, static_cast<SmallCalendar::Key>(a % 7));
    }
    check(ws, cal);
  }
  for (int c = 0; c < 7; ++c) require(cal.DayHeading(ws, c).size() <= 3, "day heading");
  return 0;
}
