#include "messages/beep_alert.h"

#include <algorithm>

namespace egresso {

FlashGeometry FlashGeometryFor(std::string_view text, std::string_view caption, const AlertArea& area) {
  const int length = static_cast<int>(text.size());
  // Position (from 1) of the first carriage return, 0 when there is none,
  // so a one-line text takes the caption's width.
  auto cr = text.find('\r');
  const int firstBreak = cr == std::string_view::npos ? 0 : static_cast<int>(cr) + 1;
  FlashGeometry g;
  g.width = std::min(640, 10 * std::max(std::min(length, firstBreak), static_cast<int>(caption.size()) + 16));
  g.height = 22 * ((10 * (length - 1)) / g.width + 1) + 22;
  g.left = area.left + 320 - g.width / 2;
  g.top = area.top + 221 - g.height / 2;
  return g;
}

bool Flash(BeepState& state, std::string_view, int interval) {
  if (state.BeepShowing) return false;
  state.Interval = interval;
  return true;
}

void BeepFormShow(BeepState& state) { state.BeepShowing = true; }

bool BeepTimerTimer(BeepState& state) {
  if (state.Interval == 1) return false;
  state.BeepShowing = false;
  return true;
}

bool BeepFormKeyDown(BeepState& state, int key, bool ctrl) {
  if (key == kBeepKeyEsc) {
    state.BeepKeyAnswer = kBeepKeyEsc;
    return true;
  }
  if (ctrl && key == kBeepVirtualF) {
    state.BeepKeyAnswer = kBeepKeyBreak;
    return true;
  }
  return false;
}

void BeepFormClosed(BeepState& state) { state.BeepShowing = false; }

int TakeBeepKeyAnswer(BeepState& state) {
  int key = state.BeepKeyAnswer;
  state.BeepKeyAnswer = 0;
  return key;
}

}  // namespace egresso
