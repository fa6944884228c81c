// The text of the board's list lines: the three location layouts and the
// message layout at their fixed character positions, the sort prefixes and
// the columns read back from a line. Positions below count from 1.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace egresso {

struct Workstation;

inline constexpr int kSortPrefixWidth = 10;
inline constexpr int kRecordColumn = 84;  // 5 digits, 84..88
inline constexpr int kMarkerColumn = 89;  // "X" for a stale location entry
inline constexpr int kDateWidth = 8;
inline constexpr int kTimeWidth = 6;

// A date text right-aligned in a column of width characters. A text longer
// than the column loses all its blanks ("10 DEC 26" becomes "10DEC26"); one
// that fits keeps them ("9 DEC 26"). A text that still does not fit keeps
// its first width characters.
std::string FitDateText(std::string_view text, int width);
// A day as the board's date columns show it (empty days give blanks).
std::string BoardDateText(const Workstation& ws, int day);
// A time of day as the board's time columns show it (empty for 0 and 2900).
std::string BoardTimeText(const Workstation& ws, int hhmm);
// Record number as five digits with leading zeros.
std::string RecordNumberText(int n);

struct LocationLine {
  std::string name;      // employee name
  std::string location;  // location text (or the stale text)
  std::string timeText;  // return time, already formatted
  std::string dateText;  // return date, already formatted, empty when today or none
  int record = 0;
  bool stale = false;
};

// 1-23 name, 24-59 location, 60 blank, 61-66 time, 67-74 date, 75-83 blank,
// 84-88 record, 89 marker.
std::string DefaultLocationText(const LocationLine& l);
// 1-17 return column (time, date, three blanks; or the stale text), 18-40
// name, 41-76 location, 77-83 blank, 84-88 record, 89 marker.
std::string ReturnFirstLocationText(const LocationLine& l, std::string_view staleText);
// "name: location time date" cut or padded to 83, then record and marker.
std::string CompactLocationText(const LocationLine& l);

enum class LocationLayout { Default, ReturnFirst, Compact };
// The line of the layout.
std::string LocationText(const LocationLine& l, LocationLayout layout, std::string_view staleText);
// Whether the line of the layout shows the return time: the return-first
// layout shows the stale text in its place, the compact one may cut it off.
bool LocationShowsReturnTime(const LocationLine& l, LocationLayout layout, std::string_view staleText);

// The fields of a message line; the texts must outlive it.
struct MessageLine {
  std::string_view headline;
  bool closed = false;
  std::string_view dateText;  // made day
  std::string_view timeText;  // made time
  std::string_view who;       // sender
  int record = 0;
};

// 1-53 headline, 54-56 " * " or blanks, 57-64 date (left-aligned), 65-70
// time, 71-72 blank, 73-83 sender, 84-88 record.
inline constexpr std::size_t kMessageLineWidth = 88;
std::string MessageLineText(const MessageLine& l);
void AppendMessageLine(std::string& out, const MessageLine& l);
// The same written over kMessageLineWidth characters at line.
void WriteMessageLine(char* line, const MessageLine& l);

// Appends text cut or padded with blanks to |width| characters, on the
// right (width > 0) or on the left (width < 0).
void AppendField(std::string& out, std::string_view text, int width);
// Appends a number as width digits with leading zeros.
void AppendDigits(std::string& out, int value, int width);

// Sort prefixes (10 characters).
std::string BoardSortPrefix(std::string_view name);
// YYMMDDHHMM, oldest first; complemented (newest first) unless oldestFirst.
std::string MessageDatePrefix(int day, int hhmm, bool oldestFirst);
// The same from the parts of the day already taken apart.
void AppendMessageDatePrefix(std::string& out, int yy, int mm, int dd, int hhmm, bool oldestFirst);
// Its last four characters (HHMM) alone.
void AppendMessageTimePrefix(std::string& out, int hhmm, bool oldestFirst);

// Record number of a line (positions 84-88), -1 when not a number.
int RecordNumberOfLine(std::string_view line);
// What a line shows its reader: the columns before the record number.
inline std::string VisibleLineText(std::string_view line) {
  return std::string(line.substr(0, std::min<std::size_t>(line.size(), kRecordColumn - 1)));
}
// The stale marker at position 89.
bool LineIsStale(std::string_view line);
// The name columns of a location line in the layout in force (trimmed).
std::string LineName(std::string_view line, bool returnFirst);
// The line an employee who came back in keeps on the board: name only.
std::string SignedInLineText(std::string_view line, bool returnFirst);

// Colour number 1..16 of the "/OC=" switch as a Windows BGR value; 0 else.
std::uint32_t OutColourValue(int n);

// Case-insensitive order of sorted list boxes.
bool ListLess(std::string_view a, std::string_view b);

}  // namespace egresso
