// Placeholder bodies; replaced by the full date routines.
#include "storage/dates.h"

#include "startup/workstation.h"

namespace egresso {

std::int16_t DayNumber(int year, int month, int day) {
  static constexpr int kStart[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  int y = year - 1984;
  int days = y * 365 + (y + 3) / 4 + kStart[month - 1] + (month > 2 && year % 4 == 0 ? 1 : 0) + day;
  return static_cast<std::int16_t>(days);
}
std::int16_t DayNumber(const LocalDateTime& t) { return DayNumber(t.year, t.month, t.day); }
int MonthOfDay(int) { return 1; }
int DayOfMonth(int) { return 1; }
int YearOfDay2(int) { return 0; }
int WeekdayIndex(const Workstation&, int) { return 0; }
int DaysInMonth(int, int) { return 30; }
std::string FormatDay(const Workstation&, int day, bool, bool) { return std::to_string(day); }
std::int16_t ParseDay(Workstation&, std::string_view, std::string_view, bool) { return 0; }
std::string ShiftDay(Workstation&, std::string_view, std::string_view entry) { return std::string(entry); }
int CurrentTimeHHMM(Workstation& ws) {
  auto t = ws.platform.clock->now();
  return t.hour * 100 + t.minute;
}
std::string FormatTime(const Workstation&, int hhmm, bool, bool, int) { return std::to_string(hhmm); }
int ParseTime(const Workstation&, std::string_view) { return 0; }

}  // namespace egresso
