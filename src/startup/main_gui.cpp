// The program's main block: the single-instance guard, the forms in their
// order of creation and the message loop.
#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QProxyStyle>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/bulletin_qt.h"
#include "messages/beep_alert_qt.h"
#include "messages/egresso_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/instance_guard.h"
#include "platform/platform_qt.h"
#include "tools/password_qt.h"
#include "platform/shown_note_qt.h"
#include "startup/host_qt.h"
#include "core/workstation.h"

namespace {

// Hints appear at once.
class QuickHintStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
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
  TEgressoBrd egressoBrd(ws);
  TPopMessage popMessage;
  TBeepMssg beepMssg(ws);
  ws.platform.lockAlert = &beepMssg;
  // The host replaces the alert with one of its own while starting.
  TMonthScreen host(ws, platform.tray(), board, programFolder, args);

  int result = 0;
  ShownNote shownNote(board);
  if (!ws.QuitRequested) {
    if (host.startMinimised()) {
      board.showMinimized();
    } else {
      board.show();
    }
    if (testHooks()) std::fprintf(stderr, "[running] %s\n", board.windowTitle().toUtf8().constData());
    result = QApplication::exec();
  }
  host.FormDestroy();
  return result;
}
