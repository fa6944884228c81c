#include "storage/dates.h"

#include <sys/stat.h>

#include <ctime>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "text/notices.h"
#include "core/workstation.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr int kMonthStart[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr const char* kEnglishMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kEnglishDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

constexpr int kMonthNameNotice = 184;  // January; December is 195
constexpr int kDayNameNotice = 177;    // Monday; Sunday is 183
constexpr int kNoticeOk = 29;
constexpr int kNoticeNotADate = 31;
constexpr int kNoticeNotANumber = 403;

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }
long long floorMod(long long a, long long b) { return a - floorDiv(a, b) * b; }

// The notice lookup is non-const only because a failing lookup is reported;
// formatting a date is logically a read of the workstation.
std::string notice(const Workstation& ws, int number) {
  return MessageText(const_cast<Workstation&>(ws), number);
}

void showSingleButton(Workstation& ws, const std::string& message) {
  UltimateDialog(ws, message, -1, "", "", MessageText(ws, kNoticeOk), 3);
}

bool dayFirstNumbers(const Workstation& ws) {
  // Numeric dates are always shown day first, so typed numbers follow them.
  return ws.pcfg.flag(pcfg::EuroFormat) || ws.pcfg.flag(pcfg::NumericDates);
}

bool isDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The value of a run of digits; long runs saturate instead of overflowing.
int digitsValue(std::string_view s) {
  int v = 0;
  for (char c : s) v = std::min(v * 10 + (c - '0'), 100000000);
  return v;
}

std::string trimAll(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

// Two numbers that can stand for a day and a month in the given order.
bool isDayAndMonth(const std::vector<std::string>& tok, bool dayFirst) {
  const std::string& d = dayFirst ? tok[0] : tok[1];
  const std::string& m = dayFirst ? tok[1] : tok[0];
  if (d.size() > 2 || m.size() > 2) return false;
  const int day = digitsValue(d), month = digitsValue(m);
  return day >= 1 && day <= 31 && month >= 1 && month <= 12;
}

std::vector<std::string> dateTokens(std::string_view s) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : s) {
    if (c == ' ' || c == '-' || c == '.' || c == '/') {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

// A year token: one or two digits (below 73 means 20YY) or a four-digit
// year from 1985 to 2070; -1 when it is neither.
int yearOfToken(std::string_view s) {
  if (!isDigits(s) || s.size() > 4) return -1;
  int v = digitsValue(s);
  if (s.size() <= 2) return v < 73 ? 2000 + v : 1900 + v;
  if (s.size() == 4 && v >= 1985 && v <= 2070) return v;
  return -1;
}

int monthOfToken(const Workstation& ws, std::string_view s) {
  if (s.size() < 3) return 0;
  std::string want = UpperText(s.substr(0, 3));
  for (int m = 1; m <= 12; ++m)
    if (UpperText(MonthAbbreviation(ws, m)) == want) return m;
  return 0;
}

bool isWorkingDay(const Workstation& ws, int day) {
  int weekday = IsoWeekday(day);
  if (weekday > 5) return false;
  const auto& e = ws.engine;
  if (e.RepeatTable.empty() || !e.RepeatFallsOn) return true;
  CalendarDate d = SplitDay(day);
  RepeatDayFacts facts{day, d.day, d.month, weekday, (d.day - 1) / 7 + 1, DaysInMonth(d.month, YearOfDay2(day))};
  std::size_t n = std::min(e.RepeatTable.size(), kMaxRepeatEntries);
  for (std::size_t i = 0; i < n; ++i)
    if (e.RepeatFallsOn(e.RepeatTable[i], facts)) return false;
  return true;
}

}  // namespace

std::int16_t DayNumber(int year, int month, int day) {
  long long y = static_cast<long long>(year) - 1984;
  long long m = month;
  // Months outside 1..12 carry into the year so that the arithmetic stays defined.
  y += floorDiv(m - 1, 12);
  m = floorMod(m - 1, 12) + 1;
  long long fullYear = 1984 + y;
  long long days = y * 365 + floorDiv(y + 3, 4) + kMonthStart[m - 1] + (m > 2 && floorMod(fullYear, 4) == 0 ? 1 : 0) +
                   static_cast<long long>(day);
  if (days > std::numeric_limits<std::int16_t>::max()) return std::numeric_limits<std::int16_t>::max();
  if (days < std::numeric_limits<std::int16_t>::min()) return std::numeric_limits<std::int16_t>::min();
  return static_cast<std::int16_t>(days);
}

std::int64_t EpochSeconds(const LocalDateTime& t) {
  std::tm local{};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month - 1;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&local));
}

std::int16_t DayNumber(const LocalDateTime& t) { return DayNumber(t.year, t.month, t.day); }

CalendarDate SplitDay(int day) {
  long long d = static_cast<long long>(day) - 1;  // days since 1 January 1984
  long long cycle = floorDiv(d, 1461);
  long long rest = d - cycle * 1461;
  int yearInCycle = 0;
  if (rest >= 366) {
    rest -= 366;
    yearInCycle = 1 + static_cast<int>(rest / 365);
    rest %= 365;
  }
  bool leap = yearInCycle == 0;
  CalendarDate r;
  r.year = static_cast<int>(1984 + 4 * cycle + yearInCycle);
  r.month = 12;
  for (int m = 2; m <= 12; ++m) {
    int start = kMonthStart[m - 1] + (leap && m > 2 ? 1 : 0);
    if (rest < start) {
      r.month = m - 1;
      break;
    }
  }
  int monthStart = kMonthStart[r.month - 1] + (leap && r.month > 2 ? 1 : 0);
  r.day = static_cast<int>(rest - monthStart + 1);
  return r;
}

int MonthOfDay(int day) { return SplitDay(day).month; }
int DayOfMonth(int day) { return SplitDay(day).day; }

int YearOfDay2(int day) {
  int year = SplitDay(day).year;
  return year >= 2000 ? year - 2000 : year - 1900;
}

int WeekdayIndex(const Workstation& ws, int day) {
  long long a = ws.pcfg.flag(pcfg::MondayFirst) ? static_cast<long long>(day) - 1 : day;
  long long r = floorMod(a, 7);
  return r == 0 ? 6 : static_cast<int>(r - 1);
}

int IsoWeekday(int day) { return static_cast<int>(floorMod(static_cast<long long>(day) + 5, 7) + 1); }

int DaysInMonth(int month, int twoDigitYear) {
  static constexpr int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && floorMod(twoDigitYear, 4) == 0) return 29;
  return kLength[month - 1];
}

std::string MonthName(const Workstation& ws, int month) {
  if (month < 1 || month > 12) return {};
  std::string name = notice(ws, kMonthNameNotice + month - 1);
  if (name.empty()) name = kEnglishMonths[month - 1];
  name.resize(std::min<std::size_t>(name.size(), 10));
  return name;
}

std::string MonthAbbreviation(const Workstation& ws, int month) {
  std::string name = MonthName(ws, month);
  name.resize(std::min<std::size_t>(name.size(), 3));
  return name;
}

std::string DayName(const Workstation& ws, int isoWeekday) {
  if (isoWeekday < 1 || isoWeekday > 7) return {};
  std::string name = notice(ws, kDayNameNotice + isoWeekday - 1);
  return name.empty() ? kEnglishDays[isoWeekday - 1] : name;
}

std::string FormatDay(const Workstation& ws, int day, bool longMonth, bool withCentury) {
  if (day <= 0 || day >= kNoDateFrom) return std::string(9, ' ');
  CalendarDate d = SplitDay(day);
  int yy = d.year >= 2000 ? d.year - 2000 : d.year - 1900;
  std::string yearText = PadNumber(std::to_string(yy), -2);
  std::string result;
  if (ws.pcfg.flag(pcfg::NumericDates)) {
    result = std::to_string(d.day) + "." + std::to_string(d.month) + "." + yearText;
  } else {
    std::string century = withCentury ? (yy >= 84 ? "19" : "20") : "";
    std::string month = longMonth ? MonthName(ws, d.month) : MonthAbbreviation(ws, d.month);
    result = std::to_string(d.day) + " " + month + " " + century + yearText;
  }
  result.resize(std::min<std::size_t>(result.size(), 20));
  return result;
}

std::int16_t ParseDay(Workstation& ws, std::string_view text, std::string_view reference, bool showErrors,
                      DaySense sense) {
  std::string t = trimAll(text);
  if (t.empty()) return 0;
  auto fail = [&]() -> std::int16_t {
    if (showErrors) showSingleButton(ws, "\"" + t + "\" " + MessageText(ws, kNoticeNotADate));
    return kBadDate;
  };
  if (t[0] == 'T' || t[0] == 't') return ws.Today;

  std::vector<std::string> tok = dateTokens(t);
  std::string dayText, yearText;
  int month = 0;
  bool needMonth = false, needYear = false;
  bool numeric = true;
  for (const auto& s : tok) numeric = numeric && isDigits(s);

  if (numeric) {
    if (tok.size() == 1) {
      const std::string& s = tok[0];
      bool dayFirst = dayFirstNumbers(ws);
      if (s.size() <= 2) {
        dayText = s;
        needMonth = needYear = true;
      } else if (s.size() == 4) {  // MMYY: the first of that month
        month = digitsValue(s.substr(0, 2));
        dayText.assign(1, '1');
        yearText = s.substr(2);
      } else if (s.size() == 6 || s.size() == 8) {
        std::string first = s.substr(0, 2), second = s.substr(2, 2);
        dayText = dayFirst ? first : second;
        month = digitsValue(dayFirst ? second : first);
        yearText = s.substr(4);
      } else {
        return fail();
      }
    } else if (tok.size() == 2 && sense == DaySense::Ahead && tok[1].size() <= 2 &&
               isDayAndMonth(tok, dayFirstNumbers(ws))) {
      // "12/5" as a return date is a day to come, not the first of a
      // month some twenty years ago.
      const bool dayFirst = dayFirstNumbers(ws);
      dayText = dayFirst ? tok[0] : tok[1];
      month = digitsValue(dayFirst ? tok[1] : tok[0]);
      needYear = true;
    } else if (tok.size() == 2) {  // month and year
      if (tok[0].size() > 2) return fail();
      month = digitsValue(tok[0]);
      dayText.assign(1, '1');
      yearText = tok[1];
    } else if (tok.size() == 3) {
      bool dayFirst = dayFirstNumbers(ws);
      const std::string& monthToken = dayFirst ? tok[1] : tok[0];
      if (monthToken.size() > 2) return fail();
      month = digitsValue(monthToken);
      dayText = dayFirst ? tok[0] : tok[1];
      yearText = tok[2];
    } else {
      return fail();
    }
  } else if (tok.size() == 3 && isDigits(tok[0]) && isDigits(tok[2])) {  // DD MMM YY
    dayText = tok[0];
    month = monthOfToken(ws, tok[1]);
    yearText = tok[2];
  } else if (tok.size() == 2 && isDigits(tok[1]) && !isDigits(tok[0])) {  // MMM YY
    month = monthOfToken(ws, tok[0]);
    dayText.assign(1, '1');
    yearText = tok[1];
  } else if (tok.size() == 2 && isDigits(tok[0])) {  // DD MMM
    dayText = tok[0];
    month = monthOfToken(ws, tok[1]);
    needYear = true;
  } else {
    return fail();
  }

  if (dayText.size() > 2) return fail();
  int day = digitsValue(dayText);
  int year = 0;
  if (needMonth || needYear) {
    std::string ref = trimAll(reference);
    int refDay = ref.empty() ? 0 : ParseDay(ws, ref, "", false);
    if (sense == DaySense::Ahead && (!needMonth || refDay <= 0 || refDay >= kNoDateFrom)) refDay = ws.Today;
    if (refDay <= 0 || refDay >= kNoDateFrom) return fail();
    CalendarDate r = SplitDay(refDay);
    if (needMonth) month = r.month;
    year = r.year;
    if (sense == DaySense::Ahead && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
        DayNumber(year, month, day) < ws.Today) {
      // A day to come: the next such day from today, never one gone by.
      const CalendarDate now = SplitDay(ws.Today);
      year = now.year;
      if (needMonth) month = now.month;
      if (DayNumber(year, month, day) < ws.Today) {
        if (!needMonth) ++year;
        else if (month < 12) ++month;
        else month = 1, ++year;
      }
    }
  } else {
    year = yearOfToken(yearText);
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1984 || year > 2072) return fail();
  std::int16_t result = DayNumber(year, month, day);
  if (result < 367) return fail();
  return result;
}

std::string ShiftDay(Workstation& ws, std::string_view baseDate, std::string_view entry) {
  auto cut = [](std::string s) {
    s.resize(std::min<std::size_t>(s.size(), 15));
    return s;
  };
  if (entry.empty() || (entry[0] != '+' && entry[0] != '-')) return cut(std::string(entry));
  int step = entry[0] == '+' ? 1 : -1;
  int base = ParseDay(ws, baseDate, "", true);
  std::string rest = UpperText(trimAll(entry.substr(1)));
  std::size_t w = rest.find('W');
  bool workingDays = w != std::string::npos;
  std::string countText = trimAll(workingDays ? std::string_view(rest).substr(0, w) : std::string_view(rest));
  int count = 0;
  if (!IntValue(countText, count) || count < 0) {
    showSingleButton(ws, MessageText(ws, kNoticeNotANumber));
    return cut(FormatDay(ws, base, false, true));
  }
  if (base <= 0 || base >= kNoDateFrom) return cut(FormatDay(ws, base, false, true));
  int day = base;
  // The walk stops where day numbers end, so a table that blocks every day
  // cannot hold it forever.
  for (int moved = 0; moved < count;) {
    day += step;
    if (day <= 0 || day >= kNoDateFrom) break;
    if (!workingDays || isWorkingDay(ws, day)) ++moved;
  }
  return cut(FormatDay(ws, day, false, true));
}

int CurrentTimeHHMM(Workstation& ws) {
  LocalDateTime now = ws.platform.clock->now();
  int hhmm = now.hour * 100 + now.minute;
  int zone = ws.options.ZoneHours;
  if (zone < -98) return hhmm;
  double office = ws.mcfg.real(mcfg::ZoneReference);
  // An office zone that was never set (-99) or a zone no place on earth has
  // would move the clock by days: the clock is then used as it is.
  if (!(office >= -24.0 && office <= 24.0) || zone < -24 || zone > 24) return hhmm;
  int shift = static_cast<int>(std::trunc(office - zone));
  int value = hhmm - 100 * shift;
  int carry = 0;
  while (value < 0) {
    value += 2400;
    --carry;
  }
  while (value >= 2400) {
    value -= 2400;
    ++carry;
  }
  if (carry != 0) ws.Today = static_cast<std::int16_t>(DayNumber(now) + carry);
  return value;
}

int TakeTodayFromClock(Workstation& ws) {
  ws.Today = DayNumber(ws.platform.clock->now());
  return CurrentTimeHHMM(ws);
}

std::string FormatTime(const Workstation& ws, int hhmm, bool withColon, bool shortSuffix, int style) {
  long long n = hhmm < 0 ? -static_cast<long long>(hhmm) : hhmm;
  if (n == 0 || n == 2900) return {};
  std::string s;
  const char* suffix = "";
  if (ws.pcfg.flag(pcfg::EuroFormat)) {
    s = std::to_string(n);
    if (s.size() < 4) s.insert(0, 4 - s.size(), '0');
  } else {
    bool morning = n < 1160 || n >= 2400;
    if (n >= 1260) n -= ((n - 1260) / 1200 + 1) * 1200;
    s = std::to_string(n);
    if (s.size() < 3) s.insert(0, s.size() == 1 ? "120" : "12");
    if (style != 0) suffix = morning ? " AM" : " PM";
    else if (shortSuffix) suffix = morning ? "A" : "P";
  }
  if (withColon) s.insert(s.size() - 2, 1, ':');
  s += suffix;
  if (s == "0000") return {};
  s.resize(std::min<std::size_t>(s.size(), 10));
  return s;
}

int ParseTime(const Workstation& ws, std::string_view text) {
  std::string s;
  for (char c : text.substr(0, 10))
    if (c != ':' && c != ' ') s += c;
  if (s.find_first_of("0123456789") == std::string::npos) return 0;
  auto upperBack = [&]() { return s.empty() ? '\0' : UpperText(s.substr(s.size() - 1))[0]; };
  if (upperBack() == 'M') s.pop_back();
  char suffix = upperBack();
  if (suffix == 'A' || suffix == 'P') {
    s.pop_back();
    int v = 0;
    // Not a number before the suffix: not a time (rather than noon or midnight).
    if (!IntValue(CleanNumber(s, ws.options.DecimalSeparator), v)) return 0;
    s = std::to_string(v);
  } else {
    suffix = 0;
  }
  if (s.size() < 3) s += "00";
  int value = 0;
  if (!IntValue(CleanNumber(s, ws.options.DecimalSeparator), value) || value < 0) return 0;
  if (!ws.pcfg.flag(pcfg::EuroFormat) && suffix == 0 && value >= 100 && value <= 699) value += 1200;
  // An explicit A or P means the same on either clock.
  if (suffix == 'P' && value < 1200) value += 1200;
  if (suffix == 'A') {
    if (value == 1200) value = 2400;
    else if (value >= 1201) value -= 1200;
  }
  if (value % 100 > 59) value = value / 100 * 100 + 59;
  return value <= 2400 ? value : 0;
}

int FileDay(FileOps& ops, const std::string& path) {
  struct stat st;
  if (ops.stat(path.c_str(), &st) != 0) return 0;
  const std::time_t t = st.st_mtim.tv_sec;
  std::tm local{};
  if (!::localtime_r(&t, &local)) return 0;
  return DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace egresso
