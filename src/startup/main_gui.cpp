// The program's main block: the single-instance guard, the board and the
// host in their order of creation and the message loop. The other forms
// (the message form, the lock-wait note, the dialogs and accessories) are
// made when first used: a start makes only what its first screen shows.
#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QPointer>
#include <QPalette>
#include <QProxyStyle>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/bulletin_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/instance_guard.h"
#include "platform/platform_qt.h"
#include "tools/password_qt.h"
#include "platform/shown_note_qt.h"
#include "startup/host_qt.h"
#include "core/workstation.h"

namespace {

// A standard icon of a style, read from its image files only when it is
// first drawn or measured.
class IconOnFirstUse : public QIconEngine {
 public:
  IconOnFirstUse(QStyle* style, QStyle::StandardPixmap which) : style_(style), which_(which) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().pixmap(size, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return icon().availableSizes(mode, state);
  }
  QIconEngine* clone() const override { return new IconOnFirstUse(style_, which_); }

 private:
  const QIcon& icon() {
    if (!made_ && style_) icon_ = style_->standardIcon(which_);
    made_ = true;
    return icon_;
  }
  QPointer<QStyle> style_;
  QStyle::StandardPixmap which_;
  QIcon icon_;
  bool made_ = false;
};

class QuickHintStyle : public QProxyStyle {
 public:
  // Hints appear at once.
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
  // Every menu bar asks for the icon of its overflow button when it is
  // made, though the button shows only when the menus do not fit: reading
  // the icon's images (and the image plugins with them) waits for that.
  QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
    if (which == SP_ToolBarHorizontalExtensionButton && option == nullptr)
      return QIcon(new IconOnFirstUse(baseStyle(), which));
    return QProxyStyle::standardIcon(which, option, widget);
  }
};

bool testHooks() {
  const char* hook = std::getenv("EGRESSO_TEST_BOXES");
  return hook && std::strcmp(hook, "stderr") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace egresso;

  // Held until the process ends.
  InstanceGuard guard;
  InstanceGuard::Result lock = guard.acquire(InstanceLockFolder(), InstanceLockName());

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Egresso"));
  if (lock == InstanceGuard::Result::Busy) {
    QtDialogs dialogs;
    dialogs.messageBox("\"Egresso\" is already running.", BoxKind::Warning);
    return 0;
  }
  if (testHooks()) std::fprintf(stderr, "[instance] %s\n", InstanceLockName().c_str());
  QApplication::setStyle(new QuickHintStyle);

  const std::string programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
  std::vector<std::string> args(argv + 1, argv + argc);

  QtPlatform platform(programFolder);
  QtPasswordPrompt passwordPrompt;
  Workstation ws(platform.platform());
  ws.platform.passwordPrompt = &passwordPrompt;
  platform.attach(ws);
  // New personal records take their window placement and form colour from the desktop.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    ws.options.Display.ScreenWidth = screen->size().width();
    ws.options.Display.ScreenHeight = screen->size().height();
  }
  const QColor face = QApplication::palette().color(QPalette::Button);
  ws.options.Display.ButtonFace = RGB(face.red(), face.green(), face.blue());

  TBulBrd board(ws);
  // The host gives the workstation its lock-wait alert before the start-up
  // routine can wait for a lock.
  TMonthScreen host(ws, platform.tray(), board, programFolder, args);

  int result = 0;
  ShownNote shownNote(board);
  if (!ws.QuitRequested) {
    host.showBoardAtStart();
    if (testHooks()) std::fprintf(stderr, "[running] %s\n", board.windowTitle().toUtf8().constData());
    result = QApplication::exec();
  }
  host.FormDestroy();
  return result;
}
