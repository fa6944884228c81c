#include "tools/file_maint_qt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>

#include "core/workstation.h"
#include "platform/text_qt.h"
#include "tools/file_maint.h"

namespace egresso {

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 150;

// The bar counts in thousandths so that record counts beyond an int fit.
void setBar(QProgressBar* bar, std::int64_t done, std::int64_t total) {
  if (total <= 0) {
    bar->setRange(0, 0);
    return;
  }
  bar->setRange(0, 1000);
  bar->setValue(static_cast<int>(done * 1000 / total));
}

// Lets the windows draw and move while the work goes on; the dialog's
// buttons are disabled meanwhile and closing is refused.
void keepResponsive() { QApplication::processEvents(QEventLoop::AllEvents, 5); }

}  // namespace

TFileMaint::TFileMaint(Workstation&, FileMaintDialog& logic, QWidget* parent)
    : QDialog(parent),
      Label1(new QLabel(this)),
      Label2(new QLabel(this)),
      RcrdNum(new QLabel(this)),
      Progress(new QProgressBar(this)),
      OKbtn(new QPushButton(this)),
      CancelBtn(new QPushButton(this)),
      logic_(logic) {
  setObjectName("FileMaint");
  RcrdNum->setObjectName("RcrdNum");
  OKbtn->setObjectName("OKbtn");
  CancelBtn->setObjectName("CancelBtn");
  setModal(true);
  setFixedSize(kWidth, kHeight);
  Label1->setGeometry(12, 10, kWidth - 24, 20);
  Label2->setGeometry(12, 32, kWidth - 24, 20);
  RcrdNum->setGeometry(12, 58, kWidth - 24, 20);
  Progress->setGeometry(12, 80, kWidth - 24, 18);
  Progress->setTextVisible(true);
  OKbtn->setGeometry(kWidth / 2 - 100, 112, 90, 26);
  CancelBtn->setGeometry(kWidth / 2 + 10, 112, 90, 26);
  OKbtn->setAutoDefault(false);
  connect(OKbtn, &QPushButton::clicked, this, &TFileMaint::OKbtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TFileMaint::reject);
  logic_.onProgress = [this] {
    showView();
    keepResponsive();
  };
  logic_.FormShow();
  // Centred on the board, 45 pixels below its top.
  if (parent) {
    const QRect r = parent->geometry();
    move(r.left() + (r.width() - kWidth) / 2, r.top() + 45);
  }
  showView();
  CancelBtn->setFocus();
}

void TFileMaint::showView() {
  const FileMaintView& v = logic_.view;
  setWindowTitle(screenText(v.Caption));
  Label1->setText(screenText(v.Label1));
  Label2->setText(screenText(v.Label2));
  RcrdNum->setText(screenText(v.RcrdNum));
  RcrdNum->setVisible(v.RcrdNumVisible);
  Progress->setVisible(v.RcrdNumVisible);
  setBar(Progress, v.Done, v.Total);
  OKbtn->setText(screenText(v.OkCaption));
  CancelBtn->setText(screenText(v.CancelCaption));
  OKbtn->setEnabled(!v.Busy);
  CancelBtn->setEnabled(!v.Busy);
}

void TFileMaint::OKbtnClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  logic_.OKbtnClick();
  showView();
  QApplication::restoreOverrideCursor();
  if (logic_.view.Closed) accept();
}

void TFileMaint::reject() {
  if (logic_.view.Busy) return;
  logic_.CancelBtnClick();
  if (logic_.view.Closed) QDialog::reject();
}

void TFileMaint::closeEvent(QCloseEvent* event) {
  if (logic_.view.Busy) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void RunRestore(Workstation& ws, int n, QWidget* parent) {
  QProgressDialog progress(parent);
  progress.setCancelButton(nullptr);
  progress.setMinimumDuration(0);
  progress.setWindowModality(Qt::WindowModal);
  progress.setRange(0, 1000);
  bool started = false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  RestoreData(ws, n, [&](const std::string& text, std::int64_t done, std::int64_t total) {
    if (!started) {
      started = true;
      progress.show();
    }
    progress.setLabelText(screenText(text));
    progress.setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    keepResponsive();
  });
  QApplication::restoreOverrideCursor();
}

}  // namespace egresso
