#include "platform/dialogs_qt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"
#include "platform/text_qt.h"
#include "text/dialog_layout.h"
#include "text/notices.h"
#include "platform/ultimate_dialog_qt.h"
#include "core/workstation.h"

namespace egresso {

namespace {

constexpr int kTextMargin = 12;  // between the text and the dialog's edges

// The window a dialog belongs over: the active one, else the program's
// first visible main window; null when there is none (the dialog then
// keeps its place on the work area).
QWidget* OwnerWindow() {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  if (QWidget* w = QApplication::activeWindow()) return w;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->inherits("QMainWindow")) return w;
  return nullptr;
}

// The usual margins round the text: the label moves in from the left and
// right edges and the buttons move down by what its new wrapping takes.
void GiveMargins(DialogLayout& layout, DialogMetrics& metrics) {
  const int top = std::max(layout.label.top, kTextMargin);
  const int width = std::max(1, layout.width - 2 * kTextMargin);
  const int height = metrics.wrappedHeight(layout.labelText, width, layout.font);
  const int grow = top + height - layout.label.bottom();
  layout.label = {kTextMargin, top, width, height};
  for (DialogRect& b : layout.buttons) b.top += grow;
  layout.height += grow;
}

// Centred on the owner's frame, kept on the owner's screen. The dialog's
// frame is taken to be as high as the owner's (layout.height counts an
// estimate of it, nonClient).
void CentreOn(DialogLayout& layout, QWidget* owner, int nonClient) {
  if (owner == nullptr) return;
  const QRect frame = owner->frameGeometry();
  const int height = layout.height - nonClient + (frame.height() - owner->height());
  int left = frame.center().x() + 1 - layout.width / 2;
  int top = frame.center().y() + 1 - height / 2;
  if (QScreen* screen = owner->screen()) {
    const QRect area = screen->availableGeometry();
    left = std::max(area.left(), std::min(left, area.right() + 1 - layout.width));
    top = std::max(area.top(), std::min(top, area.bottom() + 1 - height));
  }
  layout.left = left;
  layout.top = top;
}

}  // namespace

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
  QWidget* owner = OwnerWindow();
  GiveMargins(layout, metrics);
  CentreOn(layout, owner, nonClient_);
  TUltimateDialog dialog(layout, caption, in.captions, nonClient_, owner);
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
  // Over the window it concerns, which Qt centres it on.
  QMessageBox box(kind == BoxKind::Warning ? QMessageBox::Warning : QMessageBox::Information, title,
                  screenText(text), QMessageBox::Ok, OwnerWindow());
  box.exec();
}

void QtDialogs::beep() { QApplication::beep(); }

}  // namespace egresso
