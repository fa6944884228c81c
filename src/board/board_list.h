// The board's two list modes: which files each mode uses, building the lists
// from the records (expiry, filters, line texts, order, colours), closing one
// entry, the in/out journal and the reload of changed employee tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "board/board_state.h"

namespace egresso {

struct Workstation;

// Board settings taken from the start-up switches when the window is made.
void InitBoardState(Workstation& ws);

// Data and index path and lock name of the current mode.
void SelectBoardFiles(Workstation& ws);
// Buttons the current mode hides.
struct HiddenButtons {
  bool del = false, msg = false, out = false;
};
HiddenButtons ButtonsHiddenInMode(const Workstation& ws);

// Fills BBSlist (and in message mode BBSoldList) from the current files.
void BuildBoardList(Workstation& ws);

// Changed: the slot no longer holds the entry expected (the user was told).
enum class CloseResult { Closed, LockBusy, Refused, Changed };
// Closes entry r: an employee back in, or a message removed for this user;
// taken from a line (expected known), only the entry the line showed.
CloseResult CloseEntry(Workstation& ws, int r, BoardSource source, const EntryIdentity& expected = {});
// Appends one in/out journal line for the employee of RecordBuffer:
// kind 'I' came in, anything else went out.
void WriteJournal(Workstation& ws, char kind);
// Another workstation changed the employee tables (their flag file is there).
bool EmployeeTablesChanged(const Workstation& ws);
// Re-reads the main configuration with the employee tables when another
// workstation changed them, keeping this run's switches applied to it.
void CheckEmployeeTables(Workstation& ws, std::string_view tag = "BBCET");
// Reads the main configuration again and finds this user's slot in it.
void ReloadEmployeeTables(Workstation& ws, std::string_view tag);
// Position of initials in the employee table (the last match), 0 if none.
int FindUserSlot(const Workstation& ws, std::string_view initials);

// The heading: notice number of the column headings, and the search line.
int HeadingNotice(const Workstation& ws);
std::string SearchHeadingText(Workstation& ws);
// Sort column chosen by releasing the mouse at (x, y) in the heading
// (unscaled coordinates); the current column when the place chooses none.
int SortColumnForClick(int x, int y, int current);

// Colours (Windows BGR values).
std::uint32_t ListColour(const Workstation& ws);      // background of the lists
std::uint32_t ListTextColour(const Workstation& ws);  // default text colour
// Colour a board line is drawn in when not selected.
std::uint32_t LineDrawColour(const Workstation& ws, const BoardLine& line);

// The "Who are you?" lookup: the index of the BBSlist line made from the
// location entry of the employee with these initials, -1 when the
// initials are unknown or no line of the board shows the employee; slot
// receives the employee's slot (0 when unknown).
int FindWhoLine(const Workstation& ws, std::string_view input, int& slot);

// Where the personal-memo hint goes for the pointer at (x, y) over the list;
// empty (width 0) when no hint is shown there.
struct HintPlacement {
  int left = 0, top = 0, width = 0;
  std::string text;
};
HintPlacement MemoHintFor(Workstation& ws, int x, int y, int lineIndex, int listTop, int listWidth,
                          int listHeight, int lineHeight);

}  // namespace egresso
