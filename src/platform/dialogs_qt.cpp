#include "platform/dialogs_qt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"
#include "platform/text_qt.h"
#include "startup/dialog_layout.h"
#include "startup/notices.h"
#include "startup/ultimate_dialog_qt.h"
#include "core/workstation.h"

namespace egresso {
QtDialogs::QtDialogs() {
  const char* hook = std::getenv("EGRESSO_TEST_BOXES");
  toStderr_ = hook && std::strcmp(hook, "stderr") == 0;
  if (QApplication::style()) {
    nonClient_ = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) +
                 2 * QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  }
}

QtDialogs::~QtDialogs() = default;

int QtDialogs::ultimateDialog(const DialogRequest& r) {
  if (toStderr_) {
    std::fprintf(stderr, "[dialog] %s\n", cp1252ToUtf8(r.message).c_str());
    if (!r.detail.empty()) std::fprintf(stderr, "[detail] %s\n", cp1252ToUtf8(r.detail).c_str());
    return 0;
  }
  DialogLayoutInput in;
  in.message = r.message;
  in.captions[0] = r.button1;
  in.captions[1] = r.button2;
  in.captions[2] = r.button3;
  in.defaultButton = r.defaultButton;
  in.nonClient = nonClient_;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect a = screen->availableGeometry();
    in.workArea = {a.left(), a.top(), a.width(), a.height()};
  }
  std::string caption;
  if (ws_) {
    in.compact = ws_->options.CompactMode;
    in.panelHeight = ws_->pcfg.i16(pcfg::PanelArea);
    in.panelWidth = ws_->pcfg.i16(pcfg::PanelArea + 2);
    in.referenceWidth = ws_->host.DialogAreaWidth;
    in.referenceHeight = ws_->host.DialogAreaHeight;
  }
  QtDialogMetrics metrics;
  DialogLayout layout = ComputeDialogLayout(in, metrics);
  if (layout.notice) {
    caption = layout.noticeCaption;
  } else if (ws_) {
    caption = DialogCaption(*ws_, r.captionKind);
  }

  if (layout.notice) {
    notice_ = std::make_unique<TUltimateDialog>(layout, caption, in.captions, nonClient_);
    notice_->setModal(false);
    notice_->show();
    return 0;
  }
  TUltimateDialog dialog(layout, caption, in.captions, nonClient_);
  if (!r.detail.empty()) dialog.addDetail(r.detail);
  int result = dialog.exec();
  // The window manager's frame is known once a dialog has been on screen.
  int frame = dialog.frameGeometry().height() - dialog.geometry().height();
  if (frame > 0) nonClient_ = frame;
  return result >= 0 && result <= 3 ? result : 0;
}

void QtDialogs::closeNotice() { notice_.reset(); }

void QtDialogs::messageBox(std::string_view text, BoxKind kind, std::string_view caption) {
  if (toStderr_) {
    std::fprintf(stderr, "[box] %s\n", cp1252ToUtf8(text).c_str());
    return;
  }
  QString title = caption.empty() ? QCoreApplication::applicationName() : screenText(caption);
  QMessageBox box(kind == BoxKind::Warning ? QMessageBox::Warning : QMessageBox::Information, title,
                  screenText(text), QMessageBox::Ok);
  box.exec();
}

void QtDialogs::beep() { QApplication::beep(); }

}  // namespace egresso
