#include "text/dialog_layout.h"

#include <algorithm>
#include <cmath>

namespace egresso {

int RoundEven(double v) {
  double r = std::round(v);
  if (std::fabs(v - std::trunc(v)) == 0.5 && std::fmod(r, 2.0) != 0.0) r -= std::copysign(1.0, v);
  return static_cast<int>(r);
}

DialogLayout ComputeDialogLayout(const DialogLayoutInput& in, DialogMetrics& metrics) {
  DialogLayout out;
  out.notice = !in.message.empty() && in.message[0] == '*';
  out.labelText = out.notice ? in.message.substr(1) : in.message;

  // The margin allows for the title bar and frame plus a bottom gap.
  const int margin = in.nonClient + 25;
  int w = 400;
  int h = 187;
  if (in.compact) {
    if (in.panelWidth - 8 > 0) w = std::min(w, in.panelWidth - 8);
    if (in.panelHeight - margin > 0) h = std::min(h, in.panelHeight - margin);
  }

  out.font.pointSize = w < 210 ? 7 : w < 260 ? 8 : 0;
  // The form's own font is 13 pixels, 10 points; smaller fonts get lower buttons.
  const int bh = out.font.pointSize != 0 ? 20 : in.ownButtonHeight;

  if (out.notice) {
    out.font = DialogFont{true, 0};
    w = std::max(150, metrics.textWidth(out.labelText, out.font) + 30);
    out.noticeCaption = out.labelText.substr(0, 99);
  }

  const int L = in.workArea.left, T = in.workArea.top;
  const int W = in.referenceWidth > 0 ? in.referenceWidth : in.workArea.width;
  const int H = in.referenceHeight > 0 ? in.referenceHeight : in.workArea.height;
  out.left = L + RoundEven((W - w - 4) * 0.5 + 2);
  if (out.notice) out.left = std::max(L, out.left);
  out.top = T + RoundEven((H - h - margin) * 0.5 + margin) - 7;

  const int labelHeight = metrics.wrappedHeight(out.labelText, w - 4, out.font);
  out.label = {1, 1, w - 4, labelHeight};
  h = labelHeight + static_cast<int>(1.8 * bh) + margin;

  int widest = 0;
  for (const auto& c : in.captions) widest = std::max(widest, c.empty() ? 0 : metrics.textWidth(c, out.font));
  const int bw = std::max(std::min(in.ownButtonWidth, static_cast<int>(0.1875 * w)), widest + 4);
  static constexpr double kCentre[3] = {0.2, 0.8, 0.5};
  for (int i = 0; i < 3; ++i) {
    out.buttons[i] = {static_cast<int>(std::floor(kCentre[i] * w - bw / 2.0 - 2)), 0, bw, bh};
    out.visible[i] = !in.captions[i].empty();
  }
  auto& b1 = out.buttons[0];
  auto& b2 = out.buttons[1];
  auto& b3 = out.buttons[2];
  b1.top = out.label.bottom() + 5;
  b3.top = h - margin - bh - 2;
  b2.top = b1.top;

  if (!in.compact) {
    out.label.top += 5;
    b1.top += 10;
    b3.top += 10;
    b2.top = b3.top;
    h += 15;
  }
  if (!out.visible[2]) b1.top = b3.top;
  b2.top = b1.top;

  out.width = w;
  out.height = h;
  int want = in.defaultButton >= 1 && in.defaultButton <= 3 ? in.defaultButton : 1;
  if (out.visible[want - 1]) {
    out.focusButton = want;
  } else {
    for (int i = 0; i < 3 && out.focusButton == 0; ++i)
      if (out.visible[i]) out.focusButton = i + 1;
  }
  return out;
}

}  // namespace egresso
