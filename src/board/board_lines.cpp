#include "board/board_lines.h"

#include <algorithm>
#include <cctype>

#include "startup/workstation.h"
#include "storage/dates.h"
#include "storage/text.h"

namespace egresso {

namespace {

std::string Digits(int value, int width) {
  std::string s = std::to_string(std::max(0, value));
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return s.substr(s.size() - static_cast<std::size_t>(width));
}

std::string Trimmed(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string_view Columns(std::string_view line, int from, int to) {
  std::size_t b = static_cast<std::size_t>(from - 1);
  if (b >= line.size()) return {};
  return line.substr(b, static_cast<std::size_t>(to - from + 1));
}

}  // namespace

std::string FitDateText(std::string_view text, int width) {
  std::string t(text);
  const std::size_t w = static_cast<std::size_t>(width);
  for (std::size_t pos = t.find(' '); t.size() > w && pos != std::string::npos; pos = t.find(' ', pos))
    t.erase(pos, 1);
  if (t.size() > w) t.resize(w);
  return PadText(t, -width);
}

std::string BoardDateText(const Workstation& ws, int day) {
  if (day == 0 || day >= 32760) return std::string(static_cast<std::size_t>(kDateWidth), ' ');
  return FitDateText(FormatDay(ws, day), kDateWidth);
}

std::string BoardTimeText(const Workstation& ws, int hhmm) {
  if (hhmm == 0 || hhmm == 2900) return {};  // no time given
  return FormatTime(ws, hhmm, true, true, 0);
}

std::string RecordNumberText(int n) { return Digits(n, 5); }

std::string DefaultLocationText(const LocationLine& l) {
  std::string s;
  s.reserve(90);
  s += PadText(l.name, 23);
  s += PadText(l.location, 36);
  s += ' ';
  s += PadText(l.timeText, -kTimeWidth);
  s += PadText(l.dateText, -kDateWidth);
  s += std::string(9, ' ');
  s += RecordNumberText(l.record);
  s += l.stale ? 'X' : ' ';
  return s;
}

std::string ReturnFirstLocationText(const LocationLine& l, std::string_view staleText) {
  std::string s;
  s.reserve(90);
  if (l.location == staleText)
    s += PadText(staleText, 17);
  else
    s += PadText(l.timeText, -kTimeWidth) + PadText(l.dateText, -kDateWidth) + "   ";
  s += PadText(l.name, 23);
  s += PadText(l.location, 36);
  s += std::string(7, ' ');
  s += RecordNumberText(l.record);
  s += l.stale ? 'X' : ' ';
  return s;
}

std::string CompactLocationText(const LocationLine& l) {
  std::string s = Trimmed(l.name) + ": " + l.location + " " + PadText(l.timeText, -kTimeWidth) +
                  PadText(l.dateText, -kDateWidth);
  s = PadText(s, kRecordColumn - 1);
  s += RecordNumberText(l.record);
  s += l.stale ? 'X' : ' ';
  return s;
}

std::string MessageLineText(const MessageLine& l) {
  std::string s;
  s.reserve(90);
  s += PadText(l.headline, 53);
  s += l.closed ? " * " : "   ";
  s += PadText(l.dateText, -kDateWidth);
  s += PadText(l.timeText, -kTimeWidth);
  s += "  ";
  s += PadText(l.who, 11);
  s += RecordNumberText(l.record);
  return s;
}

std::string BoardSortPrefix(std::string_view name) { return PadText(name, kSortPrefixWidth); }

std::string MessageDatePrefix(int day, int hhmm, bool oldestFirst) {
  int yy = std::clamp(YearOfDay2(day), 0, 99);
  int mm = std::clamp(MonthOfDay(day), 0, 12);
  int dd = std::clamp(DayOfMonth(day), 0, 31);
  int t = std::clamp(hhmm, 0, 2359);
  if (!oldestFirst) {
    yy = 99 - yy;
    mm = 12 - mm;
    dd = 31 - dd;
    t = 2359 - t;
  }
  return Digits(yy, 2) + Digits(mm, 2) + Digits(dd, 2) + Digits(t, 4);
}

std::string MessageTextPrefix(std::string_view headline) { return PadText(headline, kSortPrefixWidth); }

std::string MessageSenderPrefix(std::string_view who, std::string_view headline) {
  return PadText(who, 3) + PadText(headline, 7);
}

int RecordNumberOfLine(std::string_view line) {
  std::string_view d = Columns(line, kRecordColumn, kRecordColumn + 4);
  if (d.size() != 5) return -1;
  int n = 0;
  for (char c : d) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

bool LineIsStale(std::string_view line) {
  return line.size() >= static_cast<std::size_t>(kMarkerColumn) && line[kMarkerColumn - 1] == 'X';
}

std::string LineName(std::string_view line, bool returnFirst) {
  return Trimmed(returnFirst ? Columns(line, 18, 40) : Columns(line, 1, 23));
}

std::string SignedInLineText(std::string_view line, bool returnFirst) {
  std::string hidden(line.size() >= static_cast<std::size_t>(kRecordColumn) ? line.substr(kRecordColumn - 1) : "");
  if (returnFirst) return std::string(17, ' ') + PadText(Columns(line, 18, 40), 23) + std::string(43, ' ') + hidden;
  return PadText(Columns(line, 1, 23), 23) + std::string(60, ' ') + hidden;
}

bool LineHasReturnTime(std::string_view line, bool returnFirst) {
  std::string_view part = returnFirst ? Columns(line, 1, 5) : Columns(line, 60, 64);
  return part.find_first_not_of(' ') != std::string_view::npos;
}

std::uint32_t OutColourValue(int n) {
  static constexpr std::uint32_t kColours[16] = {0xFFFF00, 0x000000, 0xFF0000, 0xFF00FF, 0x808080, 0x008000,
                                                 0x00FF00, 0x000080, 0x00FFFF, 0x800000, 0x800080, 0x0000FF,
                                                 0xC0C0C0, 0x808000, 0xFFFFFF, 0x008080};
  return n >= 1 && n <= 16 ? kColours[n - 1] : 0;
}

bool ListLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i]));
    int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace egresso
