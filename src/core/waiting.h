// Waits inside a command: the lock wait and the pauses between attempts.
//
// While a command waits, or shows a dialog with a lock held, the windows
// keep working, so timer ticks run in the middle of the command's work on
// the shared files and on the process-wide record buffers. Timer handlers
// ask CommandInProgress and leave anything that touches files to a later
// tick.
#pragma once

namespace egresso {

struct Workstation;

// Marks a wait in progress for its lifetime; waits nest.
class WaitScope {
 public:
  explicit WaitScope(Workstation& ws);
  ~WaitScope();
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  Workstation& ws_;
};

// True while a command of this workstation is inside a wait or holds a lock.
bool CommandInProgress(const Workstation& ws);

// A pause of about ms milliseconds inside a command (a retry, the gap
// between two sounds); the windows stay responsive, timers do no file work,
// and a key typed meanwhile answers nothing.
void PauseMs(Workstation& ws, int ms);

}  // namespace egresso
