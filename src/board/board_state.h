// State of the board window and of the board record buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/board_record.h"
#include "storage/file_report.h"
#include "messages/entry_identity.h"

namespace egresso {

// One line of a board list: its text (sort prefix removed once the list is
// complete) and the colour it is drawn in.
struct BoardLine {
  std::string text;
  std::uint32_t colour = 0;
  // The line shows a return time (decided when it is made, from the record
  // and the layout; drawn in the "/OC=" colour).
  bool showsReturnTime = false;
  // The entry the line was made from, for the commands to check that its
  // record number still names it.
  EntryIdentity entry{};
};

// Which control started a command that closes an entry.
enum class BoardSource { List, OldList, OutButton, DeleteButton };

// A window placement as the personal configuration keeps it.
struct BoardRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const BoardRect&) const = default;
};

struct BoardState {
  // The data folder as the last refresh tick found it.
  FolderState Folder = FolderState::Usable;
  // The one board record buffer, shared by the board and the message form.
  BulBrdRcrd RecordBuffer;
  // When 0 or more, WriteBoardRecord writes this as the index flags instead
  // of Closed (the work clock keeps the flags of its entry).
  int KeepIndexFlags = -1;
  std::string BoardLockName = "LOCATELK";

  // File ages (nanoseconds since the epoch) of the current data and index
  // file as of the last build or own write.
  std::int64_t SavedDataAge = 0;
  std::int64_t SavedIndexAge = 0;
  // The last change was seen so soon after its file time that another one
  // may share that time: the files are read once more at the next tick.
  bool RecheckBoardFiles = false;
  // The day the lists were last built for (their "today").
  std::int16_t ListDay = 0;
  // The announcement as the file held it when last read or saved here (empty
  // when there was none): a save over another text asks first.
  std::string AnnouncementBase;

  // The two lists: BBSlist (board, or unread messages) and BBSoldList
  // (messages sent or already read).
  std::vector<BoardLine> BBSlist;
  std::vector<BoardLine> BBSoldList;

  int SelectedRecord = -1;  // record of the line last pressed, -1 none
  int LastDrawIndex = -1;
  int CurrentLine = -1;     // index of the selected BBSlist line, -1 none
  int ListSortColumn = 1;   // 1 date, 2 text, 3 sender
  bool ShowEveryEntry = true;
  bool ShowBlankEntries = true;
  bool TaggedView = false;  // list the closed (tagged) messages instead
  std::string SearchText;
  // Set for a rebuild started by the timer: the pass writes nothing.
  bool ReadOnlyRefresh = false;
  // A viewer that must never write, wait or lock (the command-line
  // companion): expiry is shown but not written.
  bool ReadOnlyView = false;

  // When the board last saw it had been opened for a new message.
  std::int64_t NotificationSeenMs = 0;
  bool SoundPending = false;
  bool AutoSignInPending = false;
  bool NoEmployeesNoticeShown = false;
  bool SingleUserNoticeShown = false;
  // Set when the employee tables were re-read; the message form reloads them.
  bool EmployeeTablesReloaded = false;
  int Timer1PeriodMs = 5000;
  BoardRect SavedPlacement;
  std::string OutButtonHint;

  // The announcement memo covers the list area (the buttons are disabled).
  bool MemoEnlarged = false;
  // The work clock the board shows: the entry's slot and its start (day,
  // seconds of the day); ClockDay 0 when that clock is not running.
  int ClockSlot = 0;
  int ClockDay = 0;
  int ClockStart = 0;
};

}  // namespace egresso
