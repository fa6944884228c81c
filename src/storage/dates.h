// Day numbers (day 1 = 1 January 1984, 0 = no date) and HHMM times of day:
// conversion, formatting and parsing as the records and screens use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

struct Workstation;

std::int16_t DayNumber(int year, int month, int day);
std::int16_t DayNumber(const LocalDateTime& t);
int MonthOfDay(int day);
int DayOfMonth(int day);
int YearOfDay2(int day);
int WeekdayIndex(const Workstation& ws, int day);
int DaysInMonth(int month, int twoDigitYear);

std::string FormatDay(const Workstation& ws, int day, bool longMonth = false, bool withCentury = false);
std::int16_t ParseDay(Workstation& ws, std::string_view text, std::string_view reference, bool showErrors);
std::string ShiftDay(Workstation& ws, std::string_view baseDate, std::string_view entry);

int CurrentTimeHHMM(Workstation& ws);
std::string FormatTime(const Workstation& ws, int hhmm, bool withColon, bool shortSuffix, int style);
int ParseTime(const Workstation& ws, std::string_view text);

}  // namespace egresso
