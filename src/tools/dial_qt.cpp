#include "tools/dial_qt.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "platform/text_qt.h"
#include "tools/dial.h"
#include "tools/tool_window_qt.h"

namespace egresso {

TPhoneDial::TPhoneDial(PhoneDialer& logic, QWidget* parent)
    : QDialog(parent),
      PrefixLabel(new QLabel(this)),
      Prefix(new QLineEdit(this)),
      Tone(new QRadioButton(this)),
      Pulse(new QRadioButton(this)),
      ModemPortBox(new QGroupBox(this)),
      Label1(new QLabel(this)),
      HangUpBtn(new QPushButton(this)),
      OKbtn(new QPushButton(this)),
      logic_(logic) {
  setObjectName("PhoneDial");
  PrefixLabel->setObjectName("PrefixLabel");
  Prefix->setObjectName("Prefix");
  Tone->setObjectName("Tone");
  Pulse->setObjectName("Pulse");
  ModemPortBox->setObjectName("ModemPortBox");
  Label1->setObjectName("Label1");
  HangUpBtn->setObjectName("HangUpBtn");
  OKbtn->setObjectName("OKbtn");
  setModal(true);
  Prefix->setMaxLength(19);
  for (int i = 0; i < 4; ++i) {
    Com[i] = new QRadioButton(ModemPortBox);
    Com[i]->setObjectName(QString("Com%1").arg(i + 1));
    Com[i]->setGeometry(10 + (i % 2) * 70, 20 + (i / 2) * 24, 68, 22);
  }
  // Tone and Pulse are one choice, the ports another.
  auto* modeBox = new QWidget(this);
  Tone->setParent(modeBox);
  Pulse->setParent(modeBox);
  Tone->show();
  Pulse->show();
  modeBox->setGeometry(180, 8, 140, 60);
  Tone->setGeometry(0, 4, 130, 22);
  Pulse->setGeometry(0, 30, 130, 22);
  ModemPortBox->setGeometry(8, 8, 160, 74);
  PrefixLabel->setGeometry(8, 88, 314, 20);
  PrefixLabel->setWordWrap(true);
  Prefix->setGeometry(8, 110, 150, 24);
  Label1->setGeometry(8, 20, 314, 60);
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignCenter);
  HangUpBtn->setGeometry(115, 100, 100, 30);
  OKbtn->setGeometry(115, 148, 100, 30);
  OKbtn->setDefault(true);
  connect(HangUpBtn, &QPushButton::clicked, this, &TPhoneDial::HangUpBtnClick);
  connect(OKbtn, &QPushButton::clicked, this, &TPhoneDial::OKbtnClick);
  showView();
}

void TPhoneDial::showView() {
  const DialView& v = logic_.view;
  setFixedSize(330, v.ParametersVisible ? 190 : 145);
  setWindowTitle(fromRecordText(v.Caption));
  HangUpBtn->setText(fromRecordText(v.HangUpCaption));
  HangUpBtn->setVisible(v.HangUpVisible);
  HangUpBtn->setDefault(v.HangUpVisible);
  Label1->setText(fromRecordText(v.Label1));
  Label1->setVisible(v.Label1Visible);
  for (QWidget* w : std::initializer_list<QWidget*>{PrefixLabel, Prefix, Tone->parentWidget(), ModemPortBox, OKbtn})
    w->setVisible(v.ParametersVisible);
  PrefixLabel->setText(fromRecordText(v.PrefixLabel));
  ModemPortBox->setTitle(fromRecordText(v.ModemPortCaption));
  for (int i = 0; i < 4; ++i) Com[i]->setText(fromRecordText(v.PortCaptions[i]));
  Tone->setText(fromRecordText(v.ToneCaption));
  Pulse->setText(fromRecordText(v.PulseCaption));
  OKbtn->setText(fromRecordText(v.OkCaption));
  Prefix->setText(fromRecordText(v.Prefix));
  Com[std::clamp(v.Port, 1, 4) - 1]->setChecked(true);
  (v.Tone ? Tone : Pulse)->setChecked(true);
  if (v.FocusOnOk)
    OKbtn->setFocus();
  else if (v.HangUpVisible)
    HangUpBtn->setFocus();
}

void TPhoneDial::HangUpBtnClick() {
  logic_.HangUpBtnClick();
  accept();
}

void TPhoneDial::OKbtnClick() {
  logic_.view.Prefix = toRecordText(Prefix->text());
  for (int i = 0; i < 4; ++i)
    if (Com[i]->isChecked()) logic_.view.Port = i + 1;
  logic_.view.Tone = Tone->isChecked();
  logic_.OKbtnClick();
  accept();
}

void TPhoneDial::reject() {
  // Escape hangs up a dialling form; the parameters just close.
  if (logic_.view.HangUpVisible) logic_.HangUpBtnClick();
  QDialog::reject();
}

void RunPhoneDialer(Workstation& ws, bool dialing, std::string_view text, QWidget* parent) {
  PhoneDialer logic(ws, dialing, text);
  logic.FormShow();
  TPhoneDial window(logic, parent);
  const ToolRect area = BoardReference(parent);
  window.move(area.left + (area.width - window.width()) / 2, area.top + (area.height - window.height()) / 2);
  window.exec();
  logic.FormClose();
}

}  // namespace egresso
