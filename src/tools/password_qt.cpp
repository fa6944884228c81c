#include "tools/password_qt.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "platform/codepage.h"
#include "tools/password.h"

namespace egresso {

namespace {

QString toQt(const std::string& text) { return QString::fromStdString(cp1252ToUtf8(text)); }
std::string fromQt(const QString& text) { return utf8ToCp1252(text.toStdString()); }

constexpr int kFormWidth = 300;
constexpr int kFormHeight = 132;

}  // namespace

TPWDlg::TPWDlg(PasswordDialog& logic, QWidget* parent)
    : QDialog(parent),
      Label1(new QLabel(this)),
      PasWrd(new QLineEdit(this)),
      OKbtn(new QPushButton(this)),
      CancelBtn(new QPushButton(this)),
      ChoiceBtn1(new QRadioButton(this)),
      ChoiceBtn2(new QRadioButton(this)),
      logic_(logic) {
  setObjectName("TPWDlg");
  Label1->setObjectName("Label1");
  PasWrd->setObjectName("PasWrd");
  OKbtn->setObjectName("OKbtn");
  CancelBtn->setObjectName("CancelBtn");
  ChoiceBtn1->setObjectName("ChoiceBtn1");
  ChoiceBtn2->setObjectName("ChoiceBtn2");
  setModal(true);
  setFixedSize(kFormWidth, kFormHeight);
  // Masked text shows one "*" per character, whatever the style's own mark.
  PasWrd->setStyleSheet("lineedit-password-character: 42;");
  OKbtn->setDefault(true);
  // Enter on any control is OK; a focused Cancel must not take it over, or
  // Enter there would end the program at the start-up check.
  CancelBtn->setAutoDefault(false);
  OKbtn->setGeometry(60, 94, 80, 26);
  CancelBtn->setGeometry(160, 94, 80, 26);
  connect(OKbtn, &QPushButton::clicked, this, &TPWDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TPWDlg::reject);
  connect(ChoiceBtn1, &QRadioButton::clicked, PasWrd, [this] { PasWrd->setFocus(); });
  connect(ChoiceBtn2, &QRadioButton::clicked, PasWrd, [this] { PasWrd->setFocus(); });
  showView();
  const FormPosition at = logic_.Position(width(), height());
  if (at.centred) {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    QRect frame = frameGeometry();
    if (screen) frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  } else {
    move(at.left, at.top);
  }
}

void TPWDlg::showView() {
  const PasswordView& v = logic_.view;
  setWindowTitle(toQt(v.Caption));
  Label1->setText(toQt(v.Label));
  if (v.LabelRightAligned) {
    Label1->setGeometry(8, 32, 120, 22);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PasWrd->setGeometry(132, 32, 160, 22);
  } else {
    Label1->setGeometry(8, 6, std::max(v.LabelWidth, kFormWidth - 16), 22);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PasWrd->setGeometry(8, 32, 187, 22);
  }
  PasWrd->setMaxLength(v.MaxLength);
  PasWrd->setEchoMode(v.Masked ? QLineEdit::Password : QLineEdit::Normal);
  PasWrd->setText(toQt(v.Text));
  PasWrd->setVisible(v.EditVisible);
  OKbtn->setText(toQt(v.OkCaption));
  CancelBtn->setText(toQt(v.CancelCaption));
  CancelBtn->setVisible(v.CancelVisible);
  ChoiceBtn1->setText(toQt(v.Choice1Caption));
  ChoiceBtn2->setText(toQt(v.Choice2Caption));
  ChoiceBtn1->setGeometry(132, 60, 78, 22);
  ChoiceBtn2->setGeometry(212, 60, 80, 22);
  ChoiceBtn1->setVisible(v.ChoicesVisible);
  ChoiceBtn2->setVisible(v.ChoicesVisible);
  (v.Choice2Selected ? ChoiceBtn2 : ChoiceBtn1)->setChecked(true);
  if (v.FocusOnOk)
    OKbtn->setFocus();
  else
    PasWrd->setFocus();
}

void TPWDlg::OKBtnClick() {
  logic_.view.Text = fromQt(PasWrd->text());
  logic_.view.Choice2Selected = ChoiceBtn2->isChecked();
  logic_.OKBtnClick(false);
  finishIfClosed(QDialog::Accepted);
}

void TPWDlg::reject() {
  logic_.OKBtnClick(true);
  finishIfClosed(QDialog::Rejected);
}

void TPWDlg::finishIfClosed(int result) {
  if (logic_.view.Closed)
    done(result);
  else
    showView();
}

void QtPasswordPrompt::run(PasswordDialog& dialog) {
  TPWDlg window(dialog, QApplication::activeWindow());
  window.exec();
}

}  // namespace egresso
