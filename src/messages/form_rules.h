// The rules of the sign out and message form that work on plain values:
// destination abbreviations, the return-time list, relative dates, the
// afternoon rule, recipients, subject numbering and notification letters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "messages/board_record.h"

namespace egresso {

struct Workstation;

// An HHMM time moved on by minutes, carrying into the hour (and past 2359
// into the following days).
struct ClockStep {
  int hhmm = 0;
  int days = 0;
};
ClockStep AddMinutes(int hhmm, long long minutes);

// A destination abbreviation applied to the form: "Lunch<60>" (back in 60
// minutes), "Meeting@0900!" (back at 09:00) or a plain destination.
struct AbbreviationResult {
  bool changed = false;    // false: the form stays as it was
  std::string firstLine;   // the new first line of the text
  bool setsReturn = false; // returnDay and returnTime hold the new return
  int returnDay = 0;
  std::string returnTime;
  int stepMinutes = 0;
};
// chosen: picked from the list (a line with a marker that does not count
// changes nothing); otherwise the default destination (copied whole).
AbbreviationResult ApplyAbbreviation(Workstation& ws, std::string_view line, int currentReturnDay, bool chosen);

// The destination abbreviations: the personal list, then the common one.
std::vector<std::string> LoadAbbreviations(Workstation& ws);
// First line of the personal default-destination file, else of the common
// one; false when neither gives a line.
bool DefaultDestination(Workstation& ws, std::string& line);
// The return times offered for a return day (from RETURNTM.DAF, or made
// from the personal step), past times of today left out.
std::vector<std::string> ReturnTimeList(Workstation& ws, int returnDay);

// Leaving the return date: "+n", "-n", "+nW" move from the day shown in the
// calendar, "S" brings back the date entered last, anything else is parsed
// against the snapshot as a day to come (a date without its year is the
// next such day). ok false: an invalid date (the snapshot stays).
struct ReturnDateResult {
  bool ok = true;
  std::string text;  // what the field shows afterwards
  int day = 0;
};
ReturnDateResult LeaveReturnDate(Workstation& ws, std::string_view text, std::string_view snapshot,
                                 int calendarDay);
// Leaving the return time: an hour up to 12 that already passed today is
// read as an afternoon time. unreadable: set when the text is not a time.
std::string LeaveReturnTime(Workstation& ws, std::string_view text, int returnDay, bool* unreadable = nullptr);

// The items of the pick lists: employees ("AB: Ann Baker"), then groups
// ("GRP: AB,CD,EF,GH..."); with everyone, the everyone item last.
std::vector<std::string> PickListItems(Workstation& ws, bool withEveryone);
// EmpIn after choosing a pick-list item. A group gives its members that
// are in the employee table; leftOut receives the others.
std::string PickRecipient(std::string_view empIn, std::string_view item, Workstation& ws,
                          std::vector<std::string>* leftOut = nullptr);
// EmpOut after choosing an item: the text before ":".
std::string PickSender(std::string_view item);

// The recipient check: fills ToList from the recipient text, a list of
// initials, group names, mail addresses and the everyone word, each a whole
// word between blanks, commas or semicolons. ok false with the word that is
// none of these, or with none set when the list names nobody at all.
struct RecipientResult {
  bool ok = true;
  bool everyone = false;
  bool none = false;
  std::string badToken;
};
RecipientResult ResolveRecipients(Workstation& ws, std::string_view empIn, BulBrdRcrd& rec);
// The recipients of a record as the form shows them ("AB,CD"), "nul" left out.
std::string RecipientText(const BulBrdRcrd& rec);
// The everyone word: the first three characters of notice 1419.
std::string EveryoneWord(Workstation& ws);

// The subject of a reply chosen from the menu: "Budget" -> "Budget {1}",
// "Budget {2}" -> "Budget {3}".
std::string NumberSubject(std::string_view subject);

// Puts a letter ("M" new message, "A" any change, "B" announcement) into
// the notification file of a user once, never for the "nul" recipient or
// from a read-only view. Returns the I/O result.
int PostNotification(Workstation& ws, std::string_view initials, char letter);

// Text for a single-line field: control characters become blanks, at most
// max characters.
std::string FieldText(std::string_view text, std::size_t max);
// The headline of a destination: its lines joined by a blank, empty lines
// left out, so that a destination typed over two lines reads whole on the
// board (its body file keeps the lines).
std::string DestinationHeadline(std::string_view text);
// Text for a body file: line breaks and tabs kept, other control
// characters removed.
std::string BodyText(std::string_view text);

}  // namespace egresso
