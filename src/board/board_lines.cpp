#include "board/board_lines.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/workstation.h"
#include "storage/dates.h"
#include "text/fixed_width.h"
#include "text/shown_text.h"

namespace egresso {

namespace {

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

void AppendField(std::string& out, std::string_view text, int width) {
  const std::size_t w = static_cast<std::size_t>(width < 0 ? -width : width);
  const std::size_t n = std::min(text.size(), w);
  if (width < 0) out.append(w - n, ' ');
  out.append(text.data(), n);
  if (width > 0) out.append(w - n, ' ');
}

void AppendDigits(std::string& out, int value, int width) {
  char buf[16];
  unsigned v = static_cast<unsigned>(std::max(0, value));
  for (int i = width - 1; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  out.append(buf, static_cast<std::size_t>(width));
}

std::string FitDateText(std::string_view text, int width) {
  std::string t(Trimmed(text));
  const std::size_t w = static_cast<std::size_t>(width);
  if (t.size() > w) t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
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

std::string RecordNumberText(int n) {
  std::string s;
  AppendDigits(s, n, 5);
  return s;
}

namespace {
// Where the time column of a compact line starts (0-based).
std::size_t CompactTimeColumn(const LocationLine& l) { return Trimmed(l.name).size() + 2 + l.location.size() + 1; }
bool ShowsStaleText(const LocationLine& l, std::string_view staleText) { return l.stale || l.location == staleText; }
// The return time and date, a blank between them: a date that fills its
// column ("9 DEC 26") would otherwise run on from the time ("9:00A9 DEC 26").
std::string ReturnColumns(const LocationLine& l) {
  return PadText(l.timeText, -kTimeWidth) + " " + PadText(l.dateText, -kDateWidth);
}
}  // namespace

std::string DefaultLocationText(const LocationLine& l) {
  std::string s;
  s.reserve(90);
  s += PadText(l.name, 23);
  s += PadText(l.location, 36);
  s += ' ';
  s += ReturnColumns(l);
  s += std::string(8, ' ');
  s += RecordNumberText(l.record);
  s += l.stale ? 'X' : ' ';
  return s;
}

std::string ReturnFirstLocationText(const LocationLine& l, std::string_view staleText) {
  std::string s;
  s.reserve(90);
  // A stale entry keeps the stale text in the return column when "/OT" has
  // put the time it was written in front of its location text.
  if (ShowsStaleText(l, staleText))
    s += PadText(staleText, 17);
  else
    s += ReturnColumns(l) + "  ";
  s += PadText(l.name, 23);
  s += PadText(l.location, 36);
  s += std::string(7, ' ');
  s += RecordNumberText(l.record);
  s += l.stale ? 'X' : ' ';
  return s;
}

std::string CompactLocationText(const LocationLine& l) {
  std::string s = Trimmed(l.name) + ": " + l.location + " " + ReturnColumns(l);
  s = PadText(s, kRecordColumn - 1);
  s += RecordNumberText(l.record);
  s += l.stale ? 'X' : ' ';
  return s;
}

std::string LocationText(const LocationLine& l, LocationLayout layout, std::string_view staleText) {
  std::string s;
  switch (layout) {
    case LocationLayout::ReturnFirst: s = ReturnFirstLocationText(l, staleText); break;
    case LocationLayout::Compact: s = CompactLocationText(l); break;
    case LocationLayout::Default: s = DefaultLocationText(l); break;
  }
  // A name or location holding a tab or an escape would shift the columns
  // after it, in the window and on a terminal.
  BlankControls(s.data(), s.size());
  return s;
}

bool LocationShowsReturnTime(const LocationLine& l, LocationLayout layout, std::string_view staleText) {
  const std::string_view time = Trimmed(l.timeText);
  if (time.empty()) return false;
  switch (layout) {
    case LocationLayout::ReturnFirst: return !ShowsStaleText(l, staleText);
    case LocationLayout::Compact: {
      // Right-aligned in its six places: its first character must come
      // before the record number.
      const std::size_t first = CompactTimeColumn(l) + kTimeWidth - std::min<std::size_t>(time.size(), kTimeWidth);
      return first < static_cast<std::size_t>(kRecordColumn - 1);
    }
    case LocationLayout::Default: break;
  }
  return true;
}

namespace {
// Copies text into a field of a line buffer already filled with blanks.
void Put(char* line, int column, int width, std::string_view text, bool right = false) {
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(width));
  std::memcpy(line + column - 1 + (right ? width - static_cast<int>(n) : 0), text.data(), n);
}
}  // namespace

void WriteMessageLine(char* line, const MessageLine& l) {
  // Lists of thousands of messages are built from these lines.
  std::memset(line, ' ', kMessageLineWidth);
  Put(line, 1, 53, l.headline);
  if (l.closed) line[54] = '*';
  // The date stands at the left of its column, the time one blank after
  // it: a full date ("5 DEC 26") and a full time ("11:20A") stay apart.
  std::string_view date = l.dateText;
  while (!date.empty() && date.front() == ' ') date.remove_prefix(1);
  Put(line, 57, kDateWidth, date);
  Put(line, 66, kTimeWidth, l.timeText, true);
  Put(line, 73, 11, l.who);
  // The headline and the sender are as typed (or planted): a control byte
  // among them would shift the columns after it.
  BlankControls(line, 53);
  BlankControls(line + 72, 11);
  unsigned v = static_cast<unsigned>(std::max(0, l.record));
  for (int i = 87; i >= 83; --i) {
    line[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

void AppendMessageLine(std::string& out, const MessageLine& l) {
  char line[kMessageLineWidth];
  WriteMessageLine(line, l);
  out.append(line, sizeof line);
}

std::string MessageLineText(const MessageLine& l) {
  std::string s;
  s.reserve(88);
  AppendMessageLine(s, l);
  return s;
}

std::string BoardSortPrefix(std::string_view name) { return PadText(name, kSortPrefixWidth); }

void AppendMessageTimePrefix(std::string& out, int hhmm, bool oldestFirst) {
  const int t = std::clamp(hhmm, 0, 2359);
  AppendDigits(out, oldestFirst ? t : 2359 - t, 4);
}

void AppendMessageDatePrefix(std::string& out, int yy, int mm, int dd, int hhmm, bool oldestFirst) {
  yy = std::clamp(yy, 0, 99);
  mm = std::clamp(mm, 0, 12);
  dd = std::clamp(dd, 0, 31);
  if (!oldestFirst) {
    yy = 99 - yy;
    mm = 12 - mm;
    dd = 31 - dd;
  }
  AppendDigits(out, yy, 2);
  AppendDigits(out, mm, 2);
  AppendDigits(out, dd, 2);
  AppendMessageTimePrefix(out, hhmm, oldestFirst);
}

std::string MessageDatePrefix(int day, int hhmm, bool oldestFirst) {
  std::string s;
  AppendMessageDatePrefix(s, YearOfDay2(day), MonthOfDay(day), DayOfMonth(day), hhmm, oldestFirst);
  return s;
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

std::uint32_t OutColourValue(int n) {
  static constexpr std::uint32_t kColours[16] = {0xFFFF00, 0x000000, 0xFF0000, 0xFF00FF, 0x808080, 0x008000,
                                                 0x00FF00, 0x000080, 0x00FFFF, 0x800000, 0x800080, 0x0000FF,
                                                 0xC0C0C0, 0x808000, 0xFFFFFF, 0x008080};
  return n >= 1 && n <= 16 ? kColours[n - 1] : 0;
}

namespace {
constexpr std::array<unsigned char, 256> kFold = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return t;
}();
}  // namespace

bool ListLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = kFold[static_cast<unsigned char>(a[i])];
    const unsigned char y = kFold[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace egresso
