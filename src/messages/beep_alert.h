// The lock-wait note (TBeepMssg): where it goes, how big it is, and its
// state between being flashed, timing out and being answered with a key.
// The window itself (beep_alert_qt.h) only carries these decisions out.
#pragma once

#include <string>
#include <string_view>

#include "storage/lock_state.h"

namespace egresso {

// The area the note places itself on (the screen's work area, or the
// board's rectangle once the board is placed).
struct AlertArea {
  int left = 0, top = 0, width = 640, height = 480;
};

struct FlashGeometry {
  int left = 0, top = 0, width = 0, height = 0;
};

inline constexpr int kBeepKeyEsc = 27;
inline constexpr int kBeepKeyBreak = 6;   // Ctrl+F: break the lock
inline constexpr int kBeepVirtualF = 70;  // the key code of F
inline constexpr std::size_t kBeepTextMax = 80;

// Size and place of a note showing text under the given caption.
FlashGeometry FlashGeometryFor(std::string_view text, std::string_view caption, const AlertArea& area);

// Starts showing text for interval milliseconds (1 = until closed otherwise).
// Returns false, changing nothing, while a note is already showing.
bool Flash(BeepState& state, std::string_view text, int interval);
// The window is on screen.
void BeepFormShow(BeepState& state);
// The timer fired; true when the note closes now.
bool BeepTimerTimer(BeepState& state);
// A key was pressed on the note (key: 27 Esc or a key code such as 70 for F);
// true when the note closes now.
bool BeepFormKeyDown(BeepState& state, int key, bool ctrl);
// The window went off screen, by whatever means.
void BeepFormClosed(BeepState& state);
// The key answer since the last call (27, 6 or 0); reading clears it.
int TakeBeepKeyAnswer(BeepState& state);

}  // namespace egresso
