#include "startup/host_qt.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <functional>
#include <utility>

#include "board/bulletin_qt.h"
#include "board/refresh.h"
#include "messages/beep_alert_qt.h"
#include "platform/text_qt.h"
#include "platform/tray_qt.h"
#include "core/workstation.h"

namespace egresso {
namespace {

// Ends a local event loop when the watched window is hidden.
class HideWatcher : public QObject {
 public:
  explicit HideWatcher(QEventLoop& loop) : loop_(loop) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) loop_.quit();
    return QObject::eventFilter(watched, event);
  }

 private:
  QEventLoop& loop_;
};

// Runs a task just after the watched window's first painting, once.
class FirstPaintWatcher : public QObject {
 public:
  FirstPaintWatcher(QWidget& window, QObject& context, std::function<void()> task)
      : QObject(&window), context_(&context), task_(std::move(task)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && task_) {
      watched->removeEventFilter(this);
      if (context_) QTimer::singleShot(0, context_, std::exchange(task_, nullptr));
      deleteLater();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QPointer<QObject> context_;
  std::function<void()> task_;
};

}  // namespace

TMonthScreen::TMonthScreen(Workstation& ws, QtTray& tray, TBulBrd& board, const std::string& programFolder,
                           const std::vector<std::string>& args)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      ws_(ws),
      tray_(tray),
      board_(board) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  iconRestore_ = menu_.addAction(QString());
  iconExit_ = menu_.addAction(QString());
  menu_.addSeparator();
  iconExitMenu_ = menu_.addAction(QString());
  connect(&menu_, &QMenu::aboutToShow, this, &TMonthScreen::TrayIconMenuPopup);
  connect(iconRestore_, &QAction::triggered, this, [this] { TrayIconMenuClick(ws_, *this, TrayItem::IconRestore); });
  connect(iconExit_, &QAction::triggered, this, [this] { TrayIconMenuClick(ws_, *this, TrayItem::IconExit); });
  connect(iconExitMenu_, &QAction::triggered, this,
          [this] { TrayIconMenuClick(ws_, *this, TrayItem::IconExitMenu); });
  tray_.setMenu(&menu_);
  connect(&tray_, &QtTray::doubleClicked, this, [this] { RestoreFromTray(ws_, *this); });
  connect(&timer_, &QTimer::timeout, this, [this] { Timer1Timer(ws_, *this); });
  ws_.host.LookAtLetters = [this] { LookAtLetters(ws_, *this); };

  HostFormCreate(ws_, *this, programFolder, args);
}

TMonthScreen::~TMonthScreen() {
  timer_.stop();
  ws_.host.LookAtLetters = nullptr;
  tray_.setMenu(nullptr);
  if (alert_ && ws_.platform.lockAlert == alert_.get()) ws_.platform.lockAlert = nullptr;
}

void TMonthScreen::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  timer_.stop();
  HostFormDestroy(ws_, *this);
}

void TMonthScreen::TrayIconMenuPopup() {
  TrayMenuCaptions c = egresso::TrayIconMenuPopup(ws_);
  iconExit_->setText(fromRecordText(c.iconExit));
  iconExitMenu_->setText(fromRecordText(c.iconExitMenu));
  iconRestore_->setText(fromRecordText(c.iconRestore));
}

int TMonthScreen::screenDpi() {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? static_cast<int>(std::lround(s->logicalDotsPerInch())) : 96;
}

ScreenArea TMonthScreen::screenArea() {
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return {0, 0, 1024, 768};
  QRect a = s->availableGeometry();
  return {a.left(), a.top(), a.width(), a.height()};
}

void TMonthScreen::createAlertForm() {
  auto fresh = std::make_unique<OnDemandBeepMssg>(ws_);
  ws_.platform.lockAlert = fresh.get();
  alert_ = std::move(fresh);
}

void TMonthScreen::setApplicationTitle(const std::string& title) {
  QCoreApplication::setApplicationName(fromRecordText(title));
  // The desktop shows the application title after every window's caption
  // ("In/Out Board — Egresso"), as the taskbar showed it on the original.
  QGuiApplication::setApplicationDisplayName(fromRecordText(title));
}

bool TMonthScreen::loadIcon(const std::string& path) {
  QString file = QFile::decodeName(QByteArray::fromStdString(path));
  if (file.isEmpty()) return false;
  // An icon of a file that cannot be read or is no image is null: the file
  // is read once.
  QIcon icon(file);
  if (icon.isNull()) return false;
  setWindowIcon(icon);
  if (!appIconSet_) {
    // The first icon loaded is the program's icon for all its windows.
    QApplication::setWindowIcon(icon);
    appIconSet_ = true;
  }
  return true;
}

// The task waits for the board's first paint event and then for the rest of
// that painting pass; it is dropped when the host is gone first.
void TMonthScreen::afterFirstPainting(std::function<void()> task) {
  board_.installEventFilter(new FirstPaintWatcher(board_, *this, std::move(task)));
}

void TMonthScreen::setHostCaption(const std::string& caption) { setWindowTitle(fromRecordText(caption)); }

void TMonthScreen::showHost() { show(); }

void TMonthScreen::setHostBounds(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
}

void TMonthScreen::setTimerPeriod(int ms) { timer_.start(ms); }

void TMonthScreen::minimiseHost() { startMinimised_ = true; }

void TMonthScreen::showBoardAtStart() {
  if (startMinimised_)
    board_.showMinimized();
  else
    board_.show();
}

bool TMonthScreen::isApplicationActive() { return QGuiApplication::applicationState() == Qt::ApplicationActive; }

void TMonthScreen::minimiseApplication() { board_.showMinimized(); }

void TMonthScreen::restoreApplication() {
  if (board_.isMinimized()) {
    board_.showNormal();
  } else {
    board_.show();
  }
  board_.raise();
  board_.activateWindow();
}

void TMonthScreen::closeHost() {
  timer_.stop();
  board_.close();
  QCoreApplication::quit();
}

void TMonthScreen::closeBoard() {
  board_.close();
  if (!board_.isVisible()) QCoreApplication::quit();
}

void TMonthScreen::switchBoard() { board_.SwitchClick(); }

std::string TMonthScreen::showBoardModally() {
  if (board_.isVisible()) return "Cannot make a visible window modal";
  QPointer<TBulBrd> board(&board_);
  board_.setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  HideWatcher watcher(loop);
  board_.installEventFilter(&watcher);
  board_.show();
  loop.exec();
  if (board) {
    board_.removeEventFilter(&watcher);
    if (!board_.isVisible()) board_.setWindowModality(Qt::NonModal);
  }
  return {};
}

void TMonthScreen::signOutOnExit(int slot) { EgressoOnExit(ws_, slot); }

}  // namespace egresso
