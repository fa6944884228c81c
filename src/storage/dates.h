// Day numbers (day 1 = 1 January 1984, 0 = no date) and HHMM times of day:
// conversion, formatting and parsing as the records and screens use them.
// Every year divisible by 4 is a leap year in the supported range; day
// numbers from 32760 on mean no date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

class FileOps;

struct Workstation;

inline constexpr int kNoDateFrom = 32760;  // this day number and above: no date
inline constexpr int kBadDate = 32767;     // what ParseDay gives for a text it cannot read

struct CalendarDate {
  int year = 1984, month = 1, day = 1;
};

// A day beyond the month's length runs into the next month. Results outside
// the int16 range are clamped to it.
std::int16_t DayNumber(int year, int month, int day);
std::int16_t DayNumber(const LocalDateTime& t);
// The moment t (local time, this computer's zone) in seconds since the
// epoch, as file times count; -1 when the zone has no such moment.
std::int64_t EpochSeconds(const LocalDateTime& t);
CalendarDate SplitDay(int day);
int MonthOfDay(int day);
int DayOfMonth(int day);
int YearOfDay2(int day);  // year - 2000 from 2000 on, else year - 1900
// 0..6, 0 being the first day of the week (Sunday, or Monday when the
// personal configuration starts weeks on Monday).
int WeekdayIndex(const Workstation& ws, int day);
int IsoWeekday(int day);  // 1 = Monday .. 7 = Sunday
// 28, 29 (February of a year divisible by 4), 30 or 31; 0 outside 1..12.
int DaysInMonth(int month, int twoDigitYear);

// Month 1..12 and day of week 1 (Monday) .. 7 from the notice texts; a
// missing notice text falls back to the English name.
std::string MonthName(const Workstation& ws, int month);
std::string MonthAbbreviation(const Workstation& ws, int month);  // first three characters
std::string DayName(const Workstation& ws, int isoWeekday);

// The day (local time) a file was last written; 0 when it is missing.
int FileDay(FileOps& ops, const std::string& path);

// At most 20 characters; nine blanks for no date.
std::string FormatDay(const Workstation& ws, int day, bool longMonth = false, bool withCentury = false);
// How a date typed without its year is read. AsWritten takes the missing
// parts from the reference, and two numbers as month and year. Ahead is for
// a day still to come (a return date): two numbers are a day and a month in
// the order dates are shown, and a date without a year is the next such day
// from today, never one of a year gone by.
enum class DaySense { AsWritten, Ahead };

// 0 for an empty text; kBadDate (after telling the user when showErrors is
// set) for a text that is not a date from 1985 to 2072.
std::int16_t ParseDay(Workstation& ws, std::string_view text, std::string_view reference, bool showErrors,
                      DaySense sense = DaySense::AsWritten);
// The entry itself, or the base date moved by "+n", "-n" (days) or "+nW",
// "-nW" (working days); at most 15 characters.
std::string ShiftDay(Workstation& ws, std::string_view baseDate, std::string_view entry);

// The workstation clock as HHMM, corrected by the time-zone switch; the
// correction may move Today to the neighbouring day.
int CurrentTimeHHMM(Workstation& ws);
// Sets Today to the clock's day (with the time-zone correction) and returns
// CurrentTimeHHMM.
int TakeTodayFromClock(Workstation& ws);
// At most 10 characters; empty for 0 and 2900 (no time). Style non-zero
// gives the long suffix " AM"/" PM" on a 12-hour clock.
std::string FormatTime(const Workstation& ws, int hhmm, bool withColon, bool shortSuffix, int style);
// HHMM, or 0 when the text is not a time.
int ParseTime(const Workstation& ws, std::string_view text);

}  // namespace egresso
