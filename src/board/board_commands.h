// What the user does to the board's entries: the Out and message buttons,
// opening a line (double click, Enter, the Delete key), dragging a line onto
// the Out or Delete button or from one message list onto the other, the
// view toggles of the keyboard, and the menu commands that work on the
// board's files (Restore, Delete Tagged Messages, Find). Every routine
// decides and does the file work; what it shows is left to the window,
// which calls the hooks for the dialogs of other parts of the program.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "board/board_state.h"

namespace egresso {

struct Workstation;

// The dialogs of other parts of the program that board commands open.
struct BoardHooks {
  // The sign out and message form, modally, for the request already put in
  // ws.form (the mode letter and record number are passed again for
  // convenience; 0 for a new record). True when the form asks to be opened
  // again for a reply or a forward.
  std::function<bool(char letter, int record)> openForm;
  // Restores configuration backup generation n (0..4).
  std::function<void(int generation)> restoreBackup;
  // The file-maintenance dialog with a mode letter.
  std::function<void(char letter)> maintenance;
};

// What a command did, for the window to show.
enum class CommandResult {
  NotRun,     // refused: data folder unreachable, a command already in progress, nothing selected
  Cancelled,  // the user answered the confirmation with the second button
  Busy,       // the lock was busy or the entry could not be changed
  Done,
};

// Mode letters the form is opened with, for a new record (own entry, new
// message) and for an existing one: fixed codes, never taken from the
// (translatable) notice texts, so no translation can turn a new message
// into the rewriting of an old one.
char NewEntryLetter(Workstation& ws);
char ExistingEntryLetter(Workstation& ws);
// The key that starts a new entry: the first letter of its notice text.
char NewEntryKey(Workstation& ws);

// The common start of every command: false when another command of this
// workstation is waiting or holds a lock, or the data folder is unreachable.
bool CommandMayStart(Workstation& ws);

// The Out command. Board mode: entry r (-1: this user's own entry); letter
// 0 when started by the Out button, else the letter of the key. Message
// mode: opens the form for a new message (letter 0) or with the key's letter.
CommandResult OutCommand(Workstation& ws, int r, char letter, const BoardHooks& hooks);

// Opening line r of BBSlist (oldList false) or BBSoldList; stale: the line
// carries the "X" marker. deleteKey: the Delete-key variant, which closes the
// entry instead of opening it. nextLine receives the line to select after a
// Delete-key close (-1 none).
// taken: the entry as the caller found it, when it did not come from a line
// of the lists (the command line reads it itself).
CommandResult OpenEntry(Workstation& ws, int r, bool stale, bool oldList, bool deleteKey, const BoardHooks& hooks,
                        int* nextLine = nullptr, const EntryIdentity& taken = {});

// Dropping the line of record r on the Out or the Delete button.
CommandResult OutBtnDragDrop(Workstation& ws, int r, bool stale, const BoardHooks& hooks);
CommandResult DelBtnDragDrop(Workstation& ws, int r, BoardSource from);
// Dropping a message line on the other message list: onto the old list it
// counts as read, onto the new list as unread again.
CommandResult ListDragDrop(Workstation& ws, int r, bool toOldList);

// Keyboard view toggles; each rebuilds the list.
void ToggleTaggedView(Workstation& ws);         // Ctrl+Delete
void ToggleShowEveryEntry(Workstation& ws);     // Ctrl+A on the board
void ToggleShowBlankEntries(Workstation& ws);   // Alt+A on the board
// Ctrl+A in message mode; false when message archiving is off.
bool ToggleArchiveView(Workstation& ws);
// Signs this user out (form) or back in.
CommandResult ToggleOwnEntry(Workstation& ws, const BoardHooks& hooks);

// Keys, as the window reports them.
namespace key {
inline constexpr int Enter = 13, Escape = 27, PageUp = 33, PageDown = 34, Up = 38, Down = 40, Delete = 46;
}  // namespace key
enum class KeyPlace { Window, List, OldList, Memo, WhoEdit, Button };
struct KeyPress {
  int code = 0;  // one of key::..., or an upper-case letter or digit
  bool ctrl = false, alt = false;
  KeyPlace place = KeyPlace::Window;
  int selectedLines = 0;  // selected lines of the list the key was pressed in
};
enum class KeyAction {
  None,
  WhoNext,           // Enter in the Who edit: move the focus on
  OpenLine,          // Enter on one selected line
  DeleteLine,        // the Delete-key variant of opening
  TaggedView,
  HideDial,          // arrows and pages in a list
  WhoBox,            // typing initials at a shared station
  WhoCancel,         // Esc in the Who edit
  SaveMemo,          // Esc while the memo is enlarged
  ShowEveryEntry,
  ShowBlankEntries,
  WorkClock,
  PrintDetail,
  ArchiveView,
  OwnEntry,
  Out,               // the Out command with the key's letter
};
// What a key does where it was pressed.
KeyAction KeyDownAction(Workstation& ws, const KeyPress& k);

// The Restore submenu: the configuration backups that exist, newest
// generation first; generation 0 only when it was made today.
struct RestoreItem {
  int generation = 0;
  std::string caption;
};
std::vector<RestoreItem> RestoreMenuItems(Workstation& ws);
// Restores a generation through the hook and rebuilds the list.
void RestoreClick(Workstation& ws, int generation, const BoardHooks& hooks);

// Tools > Delete Tagged Messages: main user only, both board locks held
// while the maintenance dialog runs.
CommandResult DeleteTaggedMessages(Workstation& ws, const BoardHooks& hooks);

// Search > Find: asks for a text and rebuilds the list with it; the search
// stays shown until the next rebuild. False when no text was given.
bool FindClick(Workstation& ws);

}  // namespace egresso
