// Day numbers (day 1 = 1 January 1984, 0 = no date) and HHMM times of day:
// conversion, formatting and parsing as the records and screens use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

struct Workstation;

std::int16_t dayNumber(int year, int month, int day);
std::int16_t dayNumber(const LocalDateTime& t);
int monthOfDay(int day);
int dayOfMonth(int day);
int yearOfDay2(int day);
int weekdayIndex(const Workstation& ws, int day);
int daysInMonth(int month, int twoDigitYear);

std::string formatDay(const Workstation& ws, int day, bool longMonth = false, bool withCentury = false);
std::int16_t parseDay(Workstation& ws, std::string_view text, std::string_view reference, bool showErrors);
std::string shiftDay(Workstation& ws, std::string_view baseDate, std::string_view entry);

int currentTimeHHMM(Workstation& ws);
std::string formatTime(const Workstation& ws, int hhmm, bool withColon, bool shortSuffix, int style);
int parseTime(const Workstation& ws, std::string_view text);

}  // namespace egresso
