// The window of the password and prompt dialog; all decisions are made by
// PasswordDialog (tools/password.h).
#pragma once

#include <QDialog>

#include "platform/services.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace egresso {

class PasswordDialog;

class TPWDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPWDlg(PasswordDialog& logic, QWidget* parent = nullptr);

  QLabel* Label1;
  QLineEdit* PasWrd;
  QPushButton* OKbtn;
  QPushButton* CancelBtn;
  QRadioButton* ChoiceBtn1;
  QRadioButton* ChoiceBtn2;

 public slots:
  void OKBtnClick();
  void reject() override;

 private:
  // Copies the logic's view into the controls.
  void showView();
  // Closes the window once the logic has closed the dialog.
  void finishIfClosed(int result);

  PasswordDialog& logic_;
};

// The PasswordPrompt of the running program: shows TPWDlg modally.
class QtPasswordPrompt : public PasswordPrompt {
 public:
  void run(PasswordDialog& dialog) override;
};

}  // namespace egresso
