// Geometry of the universal three-button dialog, computed without a display
// so that the placement rules can be tested; the window measures text through
// DialogMetrics and applies the result.
#pragma once

#include <string>

namespace egresso {

struct DialogRect {
  int left = 0, top = 0, width = 0, height = 0;
  int bottom() const { return top + height; }
};

struct DialogFont {
  bool system = false;  // the system font (notices)
  int pointSize = 0;    // 7 or 8 on narrow forms; 0 = the form's own font (Arial, 13 pixels)
};

class DialogMetrics {
 public:
  virtual ~DialogMetrics() = default;
  virtual int textWidth(const std::string& text, const DialogFont& font) = 0;
  // Height of the text word-wrapped to width.
  virtual int wrappedHeight(const std::string& text, int width, const DialogFont& font) = 0;
};

struct DialogLayoutInput {
  std::string message;
  std::string captions[3];
  int defaultButton = 1;
  bool compact = false;            // compact mode: the form stays inside the panel area
  int panelWidth = 0, panelHeight = 0;
  int nonClient = 0;               // title bar and frame height of a window
  DialogRect workArea;             // the screen's work area
  int referenceWidth = 0, referenceHeight = 0;  // the board's size when placed; 0 = the work area's
  int ownButtonWidth = 75, ownButtonHeight = 25;
};

struct DialogLayout {
  int left = 0, top = 0, width = 0, height = 0;  // the window including title bar and frame
  DialogFont font;
  DialogRect label;                              // client coordinates
  std::string labelText;
  DialogRect buttons[3];
  bool visible[3] = {false, false, false};
  int focusButton = 0;                           // 1..3, 0 = none visible
  bool notice = false;                           // non-modal, red, captioned with the message
  std::string noticeCaption;
};

// Rounds to the nearest whole number, a half to the even neighbour.
int RoundEven(double v);

DialogLayout ComputeDialogLayout(const DialogLayoutInput& in, DialogMetrics& metrics);

}  // namespace egresso
