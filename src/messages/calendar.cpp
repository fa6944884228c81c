#include "messages/calendar.h"

#include <algorithm>

#include "core/workstation.h"
#include "storage/dates.h"

namespace egresso {

namespace {

int FullYear(int year2) { return year2 < 73 ? 2000 + year2 : 1900 + year2; }

// The months the calendar may show: those whose days are day numbers a date
// text reads back as (1984 to 2072). Further on, the two-digit year of the
// text would name a year of the last century.
constexpr int kFirstYear = 1984, kLastYear = 2072;

std::string TwoDigitYear(int year2) {
  const char digits[3] = {static_cast<char>('0' + year2 / 10 % 10), static_cast<char>('0' + year2 % 10), 0};
  return digits;
}

}  // namespace

void SmallCalendar::Show(Workstation& ws, int dayNumber) {
  if (dayNumber <= 0 || dayNumber >= kNoDateFrom) dayNumber = ws.Today > 0 ? ws.Today : 1;
  dayNumber = std::clamp<int>(dayNumber, 1, DayNumber(kLastYear, 12, 31));
  const CalendarDate d = SplitDay(dayNumber);
  day_ = d.day;
  month_ = d.month;
  year2_ = d.year % 100;
  Fill(ws);
}

int SmallCalendar::Chosen() const { return DayNumber(FullYear(year2_), month_, day_); }

void SmallCalendar::Fill(Workstation& ws) {
  for (auto& row : grid_) std::fill(std::begin(row), std::end(row), 0);
  const int first = DayNumber(FullYear(year2_), month_, 1);
  const int start = WeekdayIndex(ws, first);
  const int days = DaysInMonth(month_, year2_);
  for (int d = 1; d <= days; ++d) {
    const int cell = start + d - 1;
    if (cell < 42) grid_[cell / 7][cell % 7] = d;
  }
}

void SmallCalendar::ChosenCell(int& row, int& column) const {
  row = column = -1;
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 7; ++c)
      if (grid_[r][c] == day_) row = r, column = c;
}

std::string SmallCalendar::Header(Workstation& ws) const {
  return MonthAbbreviation(ws, month_) + " " + TwoDigitYear(year2_);
}

std::string SmallCalendar::DayHeading(Workstation& ws, int column) const {
  // Column 0 is Monday when weeks start on Monday, else Sunday.
  const bool monday = ws.pcfg.flag(pcfg::MondayFirst);
  const int iso = monday ? column + 1 : (column == 0 ? 7 : column);
  return DayName(ws, iso).substr(0, 3);
}

void SmallCalendar::SetMonth(Workstation& ws, int month, int year2) {
  if (month < 1) month = 12, year2 = year2 == 0 ? 99 : year2 - 1;
  if (month > 12) month = 1, year2 = year2 == 99 ? 0 : year2 + 1;
  if (FullYear(year2) < kFirstYear || FullYear(year2) > kLastYear) return;
  month_ = month;
  year2_ = year2;
  day_ = std::min(day_, DaysInMonth(month_, year2_));
  Fill(ws);
}

SmallCalendar::Hit SmallCalendar::Click(Workstation& ws, int x, int y) {
  if (x >= 171 && x <= 189 && y >= 3 && y <= 21) {
    SetMonth(ws, month_ - 1, year2_);
    return Hit::PreviousMonth;
  }
  if (x >= 171 && x <= 189 && y >= 142 && y <= 160) {
    SetMonth(ws, month_ + 1, year2_);
    return Hit::NextMonth;
  }
  if (x >= 2 && x <= 190 && y >= GridTop && y <= 161) {
    const int c = std::clamp((x - 2) / CellWidth, 0, 6);
    const int r = std::clamp((y - GridTop) / CellHeight, 0, 5);
    if (grid_[r][c] == 0) return Hit::Nothing;
    day_ = grid_[r][c];
    return Hit::Day;
  }
  return Hit::Drag;
}

void SmallCalendar::Press(Workstation& ws, Key key) {
  auto moveDays = [&](int n) { Show(ws, std::max(Chosen() + n, 1)); };
  switch (key) {
    case Key::Left: moveDays(-1); break;
    case Key::Right: moveDays(1); break;
    case Key::Up: moveDays(-7); break;
    case Key::Down: moveDays(7); break;
    case Key::PageUp: SetMonth(ws, month_ - 1, year2_); break;
    case Key::PageDown: SetMonth(ws, month_ + 1, year2_); break;
    case Key::Home: Show(ws, ws.Today); break;
  }
}

std::string SmallCalendar::DateText(Workstation& ws) const {
  return std::to_string(day_) + " " + MonthName(ws, month_) + " " + TwoDigitYear(year2_);
}

}  // namespace egresso
