// State of the invisible host window: tray icon, flashing, notification check, daily trigger.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "storage/lock_state.h"

namespace egresso {

struct Workstation;

// The notification-area icon record, refilled before every tray call.
struct TrayRecord {
  std::uint32_t size = 88;
  std::uint32_t iconId = 1;
  std::uint32_t flags = 7;              // message + icon + tip; 0 before the final delete
  std::uint32_t callbackMessage = 0x400;
  std::string iconPath;                 // the host's current icon
  std::string tip;                      // the application title, at most 63 characters
};

struct HostState {
  std::uint8_t IconFlashState = 0;      // 0 not flashing; 1 next tick normal icon; 2 next tick flash icon
  std::int16_t LastNotifyMinute = -1;   // HHMM of the last look at the notification file
  bool DailyTriggerLatch = false;       // the daily trigger fired in the current minute
  bool DailyRunPending = false;         // the trigger fired; the run waits for a tick outside a wait
  std::int16_t DailyRunDay = 0;         // the day the host last started the daily processing for
  std::int16_t ClockBackDay = 0;        // the day a clock put back was last told for
  TrayRecord TrayData;
  bool TrayActive = false;              // the icon was added (switch on and a tray present)
  std::string IconPath;                 // the icon file the host currently shows
  std::string AppTitle;                 // the application title (tray tip)
  int TimerPeriodMs = 1000;
  bool OpenedByNotification = false;    // the board was shown by a new-message notification
  // A board tick found letters waiting; the host takes them at its next
  // tick when nobody took them at once (LookAtLetters).
  bool NotifyLookDue = false;
  // Takes and acts on this user's letters at once; set by the host window.
  std::function<void()> LookAtLetters;
  // The notification lock as last found busy, and since when it has been
  // that very file: one that stays is broken (see TakeOwnNotifyTexts).
  LockFileIdentity NotifyLockSeen;
  std::int64_t NotifyLockSeenMs = 0;
  // Reference rectangle for default window placement (left, top, width, height).
  int RefLeft = 0, RefTop = 0, RefWidth = 0, RefHeight = 0;
  // The area dialogs are centred on: the board's width - 8 and height - 4
  // once the board is placed; 0 = the screen's work area.
  int DialogAreaWidth = 0, DialogAreaHeight = 0;
  // The early-morning processing the daily trigger starts; empty = the
  // program's own (tests put a probe here).
  std::function<void(Workstation&, bool)> DailyRun;
};

}  // namespace egresso
