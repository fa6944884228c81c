// Showing and closing the board, its two timers (change detection with the
// per-user stagger, message refresh and sound, one-time notices, automatic
// sign-in; saving the window placement) and the automatic entries of the
// "/SX" switch: the morning sign-in and the departure when the program ends.
#pragma once

#include <cstdint>
#include <string>

#include "board/board_state.h"

#include "messages/entry_identity.h"

namespace egresso {

struct Workstation;

// Prepares the board for the current mode and builds its list.
void FormShow(Workstation& ws);
// Clears the lists and the selection; the board is no longer open.
void FormClose(Workstation& ws);

// What the window does after a tick of the refresh timer.
struct Timer1Result {
  bool closeBoard = false;   // the program is ending
  bool listRebuilt = false;  // show the lists again
  bool modeChanged = false;  // the board switched to the in/out list: show it anew
  bool reloadAnnouncement = false;  // another user changed the announcement
  std::string workClockText;        // the running work clock's display, empty when none
  // The data folder: gone (the tick did nothing else), read-only, or usable;
  // folderChanged when that differs from the tick before.
  FolderState folder = FolderState::Usable;
  bool folderChanged = false;
};
Timer1Result Timer1Timer(Workstation& ws);

// The change-detection step alone: true when another workstation changed
// the board files and this workstation's turn to re-read them has come.
bool BoardFilesChanged(Workstation& ws);

// Placement of the board when it is shown: the saved one, else centred in
// the reference area (defaultSize when none is saved); "/TS" and "/PD"
// adjust it. The result is kept as the saved placement (in memory).
BoardRect ShowPlacement(Workstation& ws, const BoardRect& reference, const BoardRect& screen,
                        const BoardRect& defaultSize);
// The one-second placement check: when the window's bounds differ from the
// saved placement they become the saved placement and the personal
// configuration is written (outside compact mode). Returns true when they
// differed.
bool Timer2Timer(Workstation& ws, const BoardRect& current);
// In compact mode the board keeps the bounds it was shown with instead: true
// (with those bounds) when the window has left them.
bool CompactBoundsLeft(const Workstation& ws, const BoardRect& current, BoardRect& bounds);

// The arrival entry of the employee in slot k (automatic while
// AutoSignInPending is set, else signing the employee in). Taken from a
// line (expected known), it signs in only the entry the line showed.
// False when nothing was written.
bool MorningSignIn(Workstation& ws, int slot, const EntryIdentity& expected = {});
// The automatic departure entry when the program ends.
void EgressoOnExit(Workstation& ws, int slot);
// The new-message sound, or beeps when no sound can be played.
void PlayNewMessageSound(Workstation& ws);

// Sets the Out button's hint for the entry of slot k.
void UpdateOutHint(Workstation& ws, int slot);
// Today's date and the current time as the automatic entries write them.
std::string AutoEntryStamp(Workstation& ws);
// Nanoseconds from the start of the clock's current day to a file age
// (negative for an earlier day).
std::int64_t NanosecondsIntoToday(Workstation& ws, std::int64_t ageNs);

}  // namespace egresso
