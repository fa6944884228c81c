// The board as data: one entry per employee as the board shows it, for the
// roll call (who is in the building), the calendar feed of sign-outs and the
// JSON document that scripts and screens read. Everything here only reads
// the data folder, through the viewer of the command-line companion: nothing
// is written, locked or expired.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace egresso {

struct Workstation;

// One employee. Texts are UTF-8. Days are day numbers and times HHMM, 0 and
// -1 meaning none.
struct BoardEntry {
  int slot = 0;
  std::string initials;
  std::string name;
  bool out = false;
  std::string destination;  // what was typed, also when the board shows the stale text
  bool stale = false;       // an open entry of an earlier day
  int returnDay = 0;
  int returnTime = -1;
  // Who last changed the entry and when: the sign-out as the record has it;
  // for an employee who is in, the sign-in as the in/out journal has it
  // (none without a journal: a sign-in keeps no name or time of its own).
  std::string changedBy;
  int changedDay = 0;
  int changedTime = -1;
  // The employee signs in with a password.
  bool passwordProtected = false;
};

struct BoardSnapshot {
  int day = 0;  // when it was taken
  int time = 0;
  std::vector<BoardEntry> entries;
  int inBuilding() const;
};

// everyone: every employee of the table in board order, whatever the
// switches leave out (the roll call); otherwise the entries the board lists.
// ws comes from LoadViewer.
BoardSnapshot TakeBoardSnapshot(Workstation& ws, bool everyone);

// Whether the employee with these initials signs in with a password, as far
// as a viewer can tell: the main configuration's setting for everybody, else
// the personal file's. Only a personal file that is not there counts as no
// password; one that cannot be read whole (refused to this account, a link,
// a FIFO, a folder, too short) counts as one.
bool AsksForPassword(const Workstation& ws, const std::string& initials);

// The roll call of a running workstation, taken by a viewer of its own so
// that the board's lists and settings stay as they are.
BoardSnapshot TakeRollCall(const Workstation& ws);
// A printed roll call has this many employees on a page.
inline constexpr int kRollCallPerPage = 50;

// ISO 8601 texts: "2026-12-08", "10:00", "2026-12-08T10:00"; empty for none.
std::string IsoDate(int day);
std::string IsoTime(int hhmm);
std::string IsoDateTime(int day, int hhmm);

// The JSON document: {"taken", "inBuilding", "employees", "entries": [...]}.
// Every control character of a text is escaped, DEL and C1 included.
std::string BoardJson(const BoardSnapshot& s);

// The roll call as text: a title with the time taken, "In the building: N
// of M", then one line per employee with the board's date and time texts.
std::vector<std::string> RollCallText(Workstation& ws, const BoardSnapshot& s);
// The same as CSV (RFC 4180, ISO dates), one header line, a UTF-8 byte-order
// mark in front. A text cell that a spreadsheet would take for a formula
// (=, +, -, @, tab, CR first) gets an apostrophe in front; control
// characters are shown as U+FFFD, a tab as a blank.
std::string RollCallCsv(const BoardSnapshot& s);
// The title line: "Roll call 07.12.26 20:15".
std::string RollCallTitle(Workstation& ws, const BoardSnapshot& s);
std::string InBuildingText(const BoardSnapshot& s);
// The board's date and time texts of a day and a time (trimmed, UTF-8).
std::string ShownDate(Workstation& ws, int day);
std::string ShownTime(Workstation& ws, int hhmm);

// The sign-outs with a return date or time as an iCalendar feed: one event
// per sign-out, from when it was made until the return (the end of the
// return day when no time was given). Entries of password-protected
// employees are left out unless withProtected. Times are in the zone named
// by zone ("Europe/Berlin") when the library knows it, else in UTC
// converted from the local time of this computer. stamp: DTSTAMP, UTC.
struct CalendarZone {
  std::string name;
};
CalendarZone LocalCalendarZone();
std::string CalendarFeed(const BoardSnapshot& s, bool withProtected, const CalendarZone& zone, std::string_view stamp);
// The current time as an iCalendar UTC text (20261207T201500Z).
std::string CalendarStamp();

}  // namespace egresso
