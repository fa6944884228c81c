// The password and prompt dialog TPWDlg without its window: identification
// of the user, the start-up password check, changing the password and the
// search-text prompts. The window (tools/password_qt.h, or a test double)
// shows PasswordView and feeds OK and Cancel presses to OKBtnClick.
#pragma once

#include <string>
#include <string_view>

#include "config/password_hash.h"

namespace egresso {

struct Workstation;

// What the window shows; the window writes Text and Choice2Selected back
// before each press.
struct PasswordView {
  std::string Caption;
  std::string Label;               // Label1, the prompt line
  int LabelWidth = 187;
  bool LabelRightAligned = false;  // prompt kind 5: the label ends at the edit
  std::string Text;                // PasWrd
  int MaxLength = 8;
  bool Masked = true;              // shows "*" for each character
  bool EditVisible = true;
  bool CancelVisible = true;
  std::string OkCaption, CancelCaption;
  bool ChoicesVisible = false;
  std::string Choice1Caption, Choice2Caption;
  bool Choice2Selected = false;
  bool FocusOnOk = false;          // else the edit has the focus
  bool Closed = false;
};

struct FormPosition {
  int left = 0;
  int top = 0;
  // No home area is known yet (no personal record): the window centres the
  // form on the screen it has, which only it can measure.
  bool centred = false;
};

class PasswordDialog {
 public:
  explicit PasswordDialog(Workstation& ws) : ws_(ws) {}

  void FormShow();
  // Where the form of the given size goes.
  FormPosition Position(int formWidth, int formHeight) const;
  // OK (cancel false) or Cancel (cancel true); also closing the window and Esc.
  void OKBtnClick(bool cancel);
  void FormClose();

  PasswordView view;
  int PasswordStep = 2;  // 1 current password, 2 new (or only) password, 3 stored, 4 identified
  bool CancelQuits = false;

 private:
  bool passwordStored() const;
  bool logSetCurrent() const;
  void close() { view.Closed = true; }

  Workstation& ws_;
};

// Runs the dialog with the mode flags as they are (ws.password) through
// ws.platform.passwordPrompt: FormShow, the user's presses, FormClose.
// Without a prompt the dialog counts as cancelled.
void RunPasswordDialog(Workstation& ws);

// The four uses; each sets the mode flags, runs the dialog and resets the
// flags it set.
void IdentifyUser(Workstation& ws);
void CheckStartupPassword(Workstation& ws);
void ChangePassword(Workstation& ws);
void PromptForText(Workstation& ws, int kind);

}  // namespace egresso
