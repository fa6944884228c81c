// The work clock of the board: started and stopped by the employee, it
// keeps a time entry in the month's log set (a calendar-format set) and
// shows the time since it started on its button.
#pragma once

#include <cstddef>
#include <string>

#include "storage/record_files.h"

namespace egresso {

struct Workstation;

// The fields of a time entry in a log-set record besides the engine's own.
namespace timeentry {
inline constexpr std::size_t StartTime = 24;  // int16 HHMM
inline constexpr std::size_t EndTime = 26;    // int16 HHMM
inline constexpr std::size_t Owner = 28;      // string[3], the first initials field
inline constexpr std::size_t Text = cal::Key; // string[12]
inline constexpr std::size_t Hours = 802;     // 6-byte real: the duration in hours
}  // namespace timeentry

// The duration of an entry that ran over more than one midnight: no count
// of hours can be told for it, and no real duration is negative.
inline constexpr double kMultiDayHours = -1.0;

// Hours from (startDay, startHHMM) to (endDay, endHHMM), minutes as
// fractions; past one midnight the end counts 24 hours more;
// kMultiDayHours beyond that.
double WorkClockHours(int startDay, int startHHMM, int endDay, int endHHMM);

// Remembers the work clock of location entry r for the button and the
// timer's display (ws.board.ClockSlot, ClockDay, ClockStart).
void UpdateWorkClockButton(Workstation& ws, int r);

struct WorkClockButton {
  bool running = false;
  std::string hint;
  int width = 19;      // pixels, before scaling
  int leftOfExit = 35; // the button's left edge this far left of the Exit button
};
WorkClockButton WorkClockButtonState(Workstation& ws);

// What the running clock's button shows: hours and minutes since it
// started ("01:05"), or the full-day text after a day; empty when the clock
// of the shown entry is not running.
std::string WorkClockElapsedText(Workstation& ws);

enum class ClockResult { NotRun, Cancelled, Busy, Started, Stopped };
// Starts or stops this user's work clock.
ClockResult WorkClockBtnClick(Workstation& ws);

}  // namespace egresso
