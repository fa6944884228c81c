// The window of the phone dialer; all decisions are made by PhoneDialer
// (tools/dial.h).
#pragma once

#include <QDialog>
#include <string_view>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace egresso {

struct Workstation;
class PhoneDialer;

class TPhoneDial : public QDialog {
  Q_OBJECT
 public:
  TPhoneDial(PhoneDialer& logic, QWidget* parent = nullptr);

  QLabel* PrefixLabel;
  QLineEdit* Prefix;
  QRadioButton* Tone;
  QRadioButton* Pulse;
  QGroupBox* ModemPortBox;
  QRadioButton* Com[4];
  QLabel* Label1;
  QPushButton* HangUpBtn;
  QPushButton* OKbtn;

 public slots:
  void HangUpBtnClick();
  void OKbtnClick();
  void reject() override;

 private:
  void showView();
  PhoneDialer& logic_;
};

// Opens the dialer modally: dialing the number found in text, or (dialing
// false) the dialling parameters. parent is the board, whose bounds the
// window is centred in.
void RunPhoneDialer(Workstation& ws, bool dialing, std::string_view text, QWidget* parent);

}  // namespace egresso
