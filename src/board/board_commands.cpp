#include "board/board_commands.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "board/board_lines.h"
#include "board/board_list.h"
#include "board/refresh.h"
#include "core/waiting.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/pending_maintenance.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"
#include "tools/password.h"

namespace egresso {

namespace {

char UpperChar(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

char FirstChar(Workstation& ws, int notice, char fallback) {
  const std::string t = MessageText(ws, notice);
  return t.empty() ? fallback : UpperChar(t.front());
}

BoardIndexEntry IndexOf(Workstation& ws, int r) {
  BoardIndexEntry e;
  // A location the index does not hold yet is an employee who is in.
  if (!ReadBoardIndexEntry(*ws.files, ws.paths.BoardIndexPath, r, e) && ws.ListMode == 1) e.Flags = BoardIndexEntry::ClosedBit;
  return e;
}

bool RecordInFile(const Workstation& ws, int r) {
  RecordFile f;
  return r >= 0 && f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files) == io::Ok &&
         r < f.recordCount();
}

// The person of location slot r as a confirmation names them: a line
// break, then the name and initials ("" for an empty slot).
std::string PersonNamed(Workstation& ws, int r) {
  const std::string initials = r >= 1 && r <= mcfg::Employees ? ws.mcfg.empInitials(r) : std::string();
  if (initials.empty()) return {};
  const std::string name = TrimText(ws.mcfg.empName(r));
  return "\r\n" + (name.empty() ? initials : name + " (" + initials + ")");
}

// Changing another employee's entry is confirmed first, except at a shared
// station where everybody signs themselves in and out.
bool ConfirmOtherEntry(Workstation& ws, int r, const BoardIndexEntry& e, bool stale) {
  if (r == ws.UserSlot || ws.options.QuietBoard) return true;
  const int text = e.Key == 0 && !stale ? 1458 : 1457;
  return UltimateDialog(ws, MessageText(ws, text) + PersonNamed(ws, r), 3, MessageText(ws, 407), MessageText(ws, 408),
                        "", 2) == 1;
}

void Rebuild(Workstation& ws, std::string_view trace) {
  BoardTrace(ws, trace);
  SelectBoardFiles(ws);
  BuildBoardList(ws);
}

// Hands the form its request and shows it; true when it asks to be
// opened again for a reply or a forward.
bool ShowForm(Workstation& ws, const BoardHooks& hooks, char letter, int record, int preselectedSlot,
              const EntryIdentity& expected = {}) {
  ws.form.FormCommand = letter;
  ws.form.OpenEntry = expected;
  ws.form.OpenRecordNumber = record;
  ws.form.PreselectedSlot = preselectedSlot;
  return hooks.openForm && hooks.openForm(letter, record);
}

// The form, then a new message for every reply or forward it asks for.
void ShowWithFollowUps(Workstation& ws, const BoardHooks& hooks, char letter, int record, int preselectedSlot,
                       const EntryIdentity& expected = {}) {
  bool again = ShowForm(ws, hooks, letter, record, preselectedSlot, expected);
  for (int guard = 0; again && guard < 100; ++guard) again = ShowForm(ws, hooks, NewEntryLetter(ws), 0, 0);
  ws.form.ReplyPending = ws.form.ForwardPending = false;
}

// Signs in the stale entry of a line before the form opens on it; the form
// then expects the entry as signed in.
void SignInBeforeOpening(Workstation& ws, int r, EntryIdentity& expected) {
  if (MorningSignIn(ws, r, expected) && expected.known) expected = CurrentEntry(ws, r);
}

int LineOfRecord(const std::vector<BoardLine>& list, int r) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (RecordNumberOfLine(list[i].text) == r) return static_cast<int>(i);
  return -1;
}

}  // namespace

char NewEntryLetter(Workstation&) { return kNewRecordCommand; }
char ExistingEntryLetter(Workstation&) { return kOpenRecordCommand; }
char NewEntryKey(Workstation& ws) { return FirstChar(ws, 261, 'N'); }

bool CommandMayStart(Workstation& ws) {
  return !CommandInProgress(ws) && CheckDataFolder(ws) && SettledForReading(ws, !ws.board.ReadOnlyView);
}

CommandResult OutCommand(Workstation& ws, int r, char letter, const BoardHooks& hooks) {
  if (!CommandMayStart(ws)) return CommandResult::NotRun;
  // A key only says that a new record is asked for: the form is always
  // told so by the fixed letter, whatever letter the key was.
  if (letter) letter = NewEntryLetter(ws);
  // The archive is read-only: a message written there could not be saved.
  if (ws.ListMode != 1 && ws.ArchiveView) return CommandResult::NotRun;
  if (ws.ListMode != 1) {
    ShowWithFollowUps(ws, hooks, letter ? letter : NewEntryLetter(ws), 0, 0);
    Rebuild(ws, "OutBtnClick: ");
    return CommandResult::Done;
  }
  // An entry chosen on a line is the one the line showed.
  const EntryIdentity expected = r >= 1 ? ListedEntry(ws, r) : EntryIdentity{};
  if (r < 1) r = ws.UserSlot;
  if (r < 1 || r > brd::Slots) return CommandResult::NotRun;
  const BoardIndexEntry e = IndexOf(ws, r);
  if (!ConfirmOtherEntry(ws, r, e, e.stale())) return CommandResult::Cancelled;
  CommandResult result = CommandResult::Done;
  if (e.stale()) {
    if (!MorningSignIn(ws, r, expected)) result = CommandResult::Busy;
  } else if (e.closed()) {
    if (!letter) letter = r == ws.UserSlot ? NewEntryLetter(ws) : ExistingEntryLetter(ws);
    ShowForm(ws, hooks, letter, r, r, expected);
    UpdateOutHint(ws, r);
  } else if (CloseEntry(ws, r, BoardSource::OutButton, expected) != CloseResult::Closed) {
    result = CommandResult::Busy;
  }
  Rebuild(ws, "OutBtnClick: ");
  return result;
}

CommandResult OpenEntry(Workstation& ws, int r, bool stale, bool oldList, bool deleteKey, const BoardHooks& hooks,
                        int* nextLine, const EntryIdentity& taken) {
  if (nextLine) *nextLine = -1;
  if (r < 0 || !CommandMayStart(ws)) return CommandResult::NotRun;
  const bool board = ws.ListMode == 1;
  const BoardIndexEntry e = IndexOf(ws, r);
  EntryIdentity expected = taken.known ? taken : ListedEntry(ws, r);
  stale = board && (stale || e.stale());
  if (board && !oldList && !ConfirmOtherEntry(ws, r, e, stale)) return CommandResult::Cancelled;

  if (deleteKey) {
    const auto& list = oldList ? ws.board.BBSoldList : ws.board.BBSlist;
    const int at = LineOfRecord(list, r);
    CommandResult result = CommandResult::Done;
    if (stale ? !MorningSignIn(ws, r, expected)
              : CloseEntry(ws, r, oldList ? BoardSource::OldList : BoardSource::List, expected) != CloseResult::Closed)
      result = CommandResult::Busy;
    Rebuild(ws, "NewListDblClick1: ");
    if (nextLine) {
      const auto& now = oldList ? ws.board.BBSoldList : ws.board.BBSlist;
      const int kept = LineOfRecord(now, r);
      // A line that stays (the board shows every entry, or the close was
      // refused) stays selected; else the line that took its place.
      if (kept >= 0)
        *nextLine = kept;
      else if (!now.empty() && at >= 0)
        *nextLine = std::min(at, static_cast<int>(now.size()) - 1);
    }
    return result;
  }

  if (stale) SignInBeforeOpening(ws, r, expected);
  ShowWithFollowUps(ws, hooks, ExistingEntryLetter(ws), r, board ? r : 0, expected);
  UpdateOutHint(ws, ws.UserSlot);
  Rebuild(ws, oldList ? "OldListDblClick: " : "NewListDblClick2: ");
  return CommandResult::Done;
}

CommandResult OutBtnDragDrop(Workstation& ws, int r, bool stale, const BoardHooks& hooks) {
  struct EndDrag {
    Workstation& ws;
    ~EndDrag() { ws.board.SelectedRecord = -1; }
  } endDrag{ws};
  if (r < 0 || !CommandMayStart(ws)) return CommandResult::NotRun;
  const BoardIndexEntry e = IndexOf(ws, r);
  const EntryIdentity expected = ListedEntry(ws, r);
  if (ws.ListMode == 1) {
    stale = stale || e.stale();
    if (!ConfirmOtherEntry(ws, r, e, stale)) return CommandResult::Cancelled;
    if (stale) {
      const bool signedIn = MorningSignIn(ws, r, expected);
      Rebuild(ws, "OutBtnDragDrop1: ");
      return signedIn ? CommandResult::Done : CommandResult::Busy;
    }
    if (!e.closed()) {
      const bool closed = CloseEntry(ws, r, BoardSource::OutButton, expected) == CloseResult::Closed;
      BuildBoardList(ws);
      return closed ? CommandResult::Done : CommandResult::Busy;
    }
    ShowForm(ws, hooks, ExistingEntryLetter(ws), r, r, expected);
    UpdateOutHint(ws, ws.UserSlot);
    Rebuild(ws, "OutBtnDragDrop2: ");
    return CommandResult::Done;
  }
  if (e.closed()) return OutCommand(ws, -1, NewEntryLetter(ws), hooks);
  BoardTrace(ws, "OutBtnDragDrop3: ");
  const bool closed = CloseEntry(ws, r, BoardSource::OutButton, expected) == CloseResult::Closed;
  BuildBoardList(ws);
  return closed ? CommandResult::Done : CommandResult::Busy;
}

CommandResult DelBtnDragDrop(Workstation& ws, int r, BoardSource from) {
  if (r < 0 || !CommandMayStart(ws)) {
    ws.board.SelectedRecord = -1;
    return CommandResult::NotRun;
  }
  const bool closed = CloseEntry(ws, r, from == BoardSource::OldList ? BoardSource::OldList : BoardSource::DeleteButton,
                                 ListedEntry(ws, r)) == CloseResult::Closed;
  Rebuild(ws, "DelBtnDragDrop: ");
  ws.board.SelectedRecord = -1;
  return closed ? CommandResult::Done : CommandResult::Busy;
}

CommandResult ListDragDrop(Workstation& ws, int r, bool toOldList) {
  if (ws.ListMode != 0 || r < 0 || !CommandMayStart(ws)) return CommandResult::NotRun;
  const std::string lock = ws.board.BoardLockName;
  const EntryIdentity expected = ListedEntry(ws, r);
  if (!AcquireLock(ws, lock, "BBDD")) return CommandResult::Busy;
  CommandResult result = CommandResult::Busy;
  const bool same = SameEntry(ws, r, expected);
  // A line older than the file names no record to write.
  if (same && RecordInFile(ws, r)) {
    ClearRecord(ws);
    ReadBoardRecord(ws, r, "BBDD-1");
    BulBrdRcrd& rec = ws.board.RecordBuffer;
    const std::uint8_t mark = rec.readMark(ws.UserSlot);
    // The mark counts up and down by one; it never wraps round.
    if (toOldList && mark < 255) rec.setReadMark(ws.UserSlot, static_cast<std::uint8_t>(mark + 1));
    if (!toOldList && mark > 0) rec.setReadMark(ws.UserSlot, static_cast<std::uint8_t>(mark - 1));
    BoardTrace(ws, "ListDragDrop Write: ");
    WriteBoardRecord(ws, r, "BBDD-2");
    result = CommandResult::Done;
  }
  ReleaseLock(ws, lock);
  if (!same) TellEntryChanged(ws);
  BuildBoardList(ws);
  return result;
}

void ToggleTaggedView(Workstation& ws) {
  ws.board.TaggedView = !ws.board.TaggedView;
  Rebuild(ws, "DelKey: ");
}

void ToggleShowEveryEntry(Workstation& ws) {
  BoardState& b = ws.board;
  b.ShowEveryEntry = !b.ShowEveryEntry;
  if (b.ShowEveryEntry) b.ShowBlankEntries = true;
  BuildBoardList(ws);
}

void ToggleShowBlankEntries(Workstation& ws) {
  BoardState& b = ws.board;
  b.ShowBlankEntries = !b.ShowBlankEntries;
  if (!b.ShowBlankEntries) b.ShowEveryEntry = true;
  BuildBoardList(ws);
}

bool ToggleArchiveView(Workstation& ws) {
  if (ws.ListMode != 0 || !ws.mcfg.flag(mcfg::ArchiveMessages)) return false;
  ws.ArchiveView = !ws.ArchiveView;
  BoardTrace(ws, "\"A\" Key: ");
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  return true;
}

CommandResult ToggleOwnEntry(Workstation& ws, const BoardHooks& hooks) {
  if (ws.ListMode != 1 || ws.UserSlot < 1 || !CommandMayStart(ws)) return CommandResult::NotRun;
  const BoardIndexEntry e = IndexOf(ws, ws.UserSlot);
  if (e.closed()) return OutCommand(ws, ws.UserSlot, NewEntryLetter(ws), hooks);
  const bool closed = CloseEntry(ws, ws.UserSlot, BoardSource::OutButton) == CloseResult::Closed;
  Rebuild(ws, "\"S\" Key: ");
  return closed ? CommandResult::Done : CommandResult::Busy;
}

KeyAction KeyDownAction(Workstation& ws, const KeyPress& k) {
  const bool board = ws.ListMode == 1;
  const bool inList = k.place == KeyPlace::List || k.place == KeyPlace::OldList;
  switch (k.code) {
    case key::Enter:
      if (k.place == KeyPlace::WhoEdit) return KeyAction::WhoNext;
      return k.place == KeyPlace::List && k.selectedLines == 1 ? KeyAction::OpenLine : KeyAction::None;
    case key::Delete:
      if (!inList) return KeyAction::None;
      if (k.ctrl && !k.alt) return board ? KeyAction::None : KeyAction::TaggedView;
      return !k.ctrl && !k.alt && !ws.ArchiveView ? KeyAction::DeleteLine : KeyAction::None;
    case key::Up:
    case key::Down:
    case key::PageUp:
    case key::PageDown:
      return inList ? KeyAction::HideDial : KeyAction::None;
    case key::Escape:
      if (k.place == KeyPlace::WhoEdit) return KeyAction::WhoCancel;
      return ws.board.MemoEnlarged ? KeyAction::SaveMemo : KeyAction::None;
    default:
      break;
  }
  const bool ctrlOnly = k.ctrl && !k.alt;
  const bool altOnly = k.alt && !k.ctrl;
  if (ws.options.QuietBoard && board && k.code >= 48 && k.code <= 122 && k.place != KeyPlace::WhoEdit && !ctrlOnly &&
      !altOnly)
    return KeyAction::WhoBox;
  const std::string own = MessageText(ws, 611);
  const std::string print = MessageText(ws, 720);
  const std::string newMessage = MessageText(ws, 610);
  // Ctrl and Alt keys in the memo or the Who edit are the text's own (copy,
  // select, save): they never sign anybody in or out nor stop the clock.
  if ((k.place == KeyPlace::Memo || k.place == KeyPlace::WhoEdit) && (ctrlOnly || altOnly)) return KeyAction::None;
  if (board && ctrlOnly && k.code == 'A') return KeyAction::ShowEveryEntry;
  if (board && altOnly && k.code == 'A') return KeyAction::ShowBlankEntries;
  if (board && ctrlOnly && (k.code == 'W' || k.code == 'T' || k.code == 'C'))
    return ws.options.WorkClock ? KeyAction::WorkClock : KeyAction::None;
  if (ctrlOnly && print.size() >= 2 && k.code == UpperChar(print[1])) return KeyAction::PrintDetail;
  if (!board && ctrlOnly && k.code == 'A')
    return ws.mcfg.flag(mcfg::ArchiveMessages) ? KeyAction::ArchiveView : KeyAction::None;
  if (board && ctrlOnly && !own.empty() && k.code == UpperChar(own.back())) return KeyAction::OwnEntry;
  // The letter of a new entry starts the Out command, but not while typing
  // into the memo, the Who edit or a list's incremental search.
  if (inList || k.place == KeyPlace::Memo || k.place == KeyPlace::WhoEdit) return KeyAction::None;
  if (!k.alt && k.code == NewEntryKey(ws)) return KeyAction::Out;
  if (!board && ctrlOnly && !newMessage.empty() && k.code == UpperChar(newMessage.back())) return KeyAction::Out;
  return KeyAction::None;
}

std::vector<RestoreItem> RestoreMenuItems(Workstation& ws) {
  std::vector<RestoreItem> items;
  for (int n = 0; n <= 4; ++n) {
    const std::string path = ws.paths.BackupFolder + "/CFGMAIN.BA" + std::to_string(n);
    if (!fileExists(path)) continue;
    const int day = FileDay(*ws.files, path);
    // Today's backup is made at the first start of the day; one left from
    // an earlier day is the same as generation 1.
    if (n == 0 && day != ws.Today) continue;
    items.push_back({n, MessageText(ws, n == 0 ? 1864 : 1747) + FormatDay(ws, day)});
  }
  return items;
}

void RestoreClick(Workstation& ws, int generation, const BoardHooks& hooks) {
  if (!CommandMayStart(ws)) return;
  const int mode = ws.ListMode;
  const bool archive = ws.ArchiveView;
  if (hooks.restoreBackup) hooks.restoreBackup(generation);
  ws.ListMode = mode;
  ws.ArchiveView = archive;
  SelectBoardFiles(ws);
  BuildBoardList(ws);
}

CommandResult DeleteTaggedMessages(Workstation& ws, const BoardHooks& hooks) {
  if (!CommandMayStart(ws)) return CommandResult::NotRun;
  const std::string mainUser = ws.mcfg.mainUserInitials();
  if (!mainUser.empty() && mainUser != ws.ThisUser) {
    UltimateDialog(ws, MessageText(ws, 775) + " " + mainUser, -1, "", "", MessageText(ws, 29), 3);
    return CommandResult::NotRun;
  }
  // The dialog asks with no lock held: the purge takes its locks itself
  // once the user has answered, as maintenance locks no timeout breaks.
  const int mode = ws.ListMode;
  const bool archive = ws.ArchiveView;
  if (hooks.maintenance) hooks.maintenance('O');
  ws.ListMode = mode;
  ws.ArchiveView = archive;
  BoardTrace(ws, "ToolsDelete: ");
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  return CommandResult::Done;
}

bool FindClick(Workstation& ws) {
  if (!CommandMayStart(ws)) return false;
  // A cancelled prompt leaves the text as it was: it starts empty, so a
  // cancel searches for nothing.
  ws.password.SearchText.clear();
  PromptForText(ws, 4);
  BoardTrace(ws, "FindClick: ");
  ws.board.SearchText = ws.password.SearchText;
  if (ws.board.SearchText.empty()) return false;
  BuildBoardList(ws);
  return true;
}

}  // namespace egresso
