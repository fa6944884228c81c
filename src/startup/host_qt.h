// The host window: invisible (1 x 1, no frame), owner of the tray icon with
// its menu and of the host timer. Its logic is in startup/host.h.
#pragma once

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "startup/host.h"

namespace egresso {

struct Workstation;
class QtTray;
class OnDemandBeepMssg;
class TBulBrd;

class TMonthScreen : public QWidget, public HostWindow {
  Q_OBJECT
 public:
  // Creating the host runs the program's start-up (StartProg).
  TMonthScreen(Workstation& ws, QtTray& tray, TBulBrd& board, const std::string& programFolder,
               const std::vector<std::string>& args);
  ~TMonthScreen() override;

  // The shut-down duties; run once the message loop has ended.
  void FormDestroy();
  // The "/IM" switch asked for a minimised start.
  bool startMinimised() const { return startMinimised_; }
  // Shows the board for the first time, minimised when the start asked so.
  void showBoardAtStart();
  QTimer& timer() { return timer_; }
  QMenu& trayMenu() { return menu_; }
  // The lock-wait alert the program uses, owned by the host; its window is
  // made when a wait first shows it.
  OnDemandBeepMssg* alert() const { return alert_.get(); }

  // HostWindow
  int screenDpi() override;
  ScreenArea screenArea() override;
  void createAlertForm() override;
  void setApplicationTitle(const std::string& title) override;
  bool loadIcon(const std::string& path) override;
  void setHostCaption(const std::string& caption) override;
  void showHost() override;
  void setHostBounds(int left, int top, int width, int height) override;
  void setTimerPeriod(int ms) override;
  void minimiseHost() override;
  bool isApplicationActive() override;
  void minimiseApplication() override;
  void restoreApplication() override;
  void closeHost() override;
  void closeBoard() override;
  void switchBoard() override;
  std::string showBoardModally() override;
  void signOutOnExit(int slot) override;
  void afterFirstPainting(std::function<void()> task) override;

 private:
  void TrayIconMenuPopup();

  Workstation& ws_;
  QtTray& tray_;
  TBulBrd& board_;
  QTimer timer_;
  QMenu menu_;
  std::unique_ptr<OnDemandBeepMssg> alert_;
  QAction* iconRestore_ = nullptr;
  QAction* iconExit_ = nullptr;
  QAction* iconExitMenu_ = nullptr;
  bool startMinimised_ = false;
  bool appIconSet_ = false;
  bool destroyed_ = false;
};

}  // namespace egresso
