// The host window's logic: start of the program's work (StartProg), the tray
// icon, the host timer (staggered daily trigger, notification file, icon
// flashing) and the duties at shut-down. The window side is reached through
// HostWindow, so the logic runs without a display.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace egresso {

struct Workstation;

struct ScreenArea {
  int left = 0, top = 0, width = 0, height = 0;
};

class HostWindow {
 public:
  virtual ~HostWindow() = default;
  virtual int screenDpi() = 0;               // logical dots per inch of the screen
  virtual ScreenArea screenArea() = 0;       // the screen's work area
  virtual void createAlertForm() = 0;        // a fresh lock-wait alert owned by the host
  virtual void setApplicationTitle(const std::string& title) = 0;
  virtual bool loadIcon(const std::string& path) = 0;  // false when the file cannot be loaded
  virtual void setHostCaption(const std::string& caption) = 0;
  virtual void showHost() = 0;
  virtual void setHostBounds(int left, int top, int width, int height) = 0;
  virtual void setTimerPeriod(int ms) = 0;
  virtual void minimiseHost() = 0;
  virtual bool isApplicationActive() = 0;
  virtual void minimiseApplication() = 0;
  virtual void restoreApplication() = 0;     // to the front, restored
  virtual void closeHost() = 0;              // ends the program
  virtual void closeBoard() = 0;             // closing the board ends the program
  virtual void switchBoard() = 0;            // the board's Switch command
  // Shows the board modally; returns the error message when it cannot.
  virtual std::string showBoardModally() = 0;
  virtual void signOutOnExit(int slot) = 0;  // the board's automatic signing out
  // Runs the task once the windows shown so far are painted; a window that
  // paints nothing runs it at once.
  virtual void afterFirstPainting(std::function<void()> task) { task(); }
};

// The host timer's period: (HostTimerSeconds + 1) seconds.
int HostTimerPeriodMs(const Workstation& ws);

// True when the tray icon is switched on and a tray is present.
bool TrayEnabled(Workstation& ws);

// Whether the staggered daily trigger holds at time now (HHMM) for the user
// in slot k with the site's offset o (HHMM): k minutes after o.
bool DailyTriggerDue(int now, int offset, int slot);
// Whether that minute has come today (it or any minute after it).
bool DailyTriggerPassed(int now, int offset, int slot);

// The notification file of this user: DataFolder + "/TIMER." + ThisUser.
std::string NotifyFilePath(const Workstation& ws);

void HostFormCreate(Workstation& ws, HostWindow& window, const std::string& programFolder,
                    const std::vector<std::string>& args);
// Adds the tray icon when it is switched on and a tray is present.
void AddTrayIcon(Workstation& ws);
void StartProg(Workstation& ws, HostWindow& window, const std::string& programFolder,
               const std::vector<std::string>& args);
void HostFormShow(Workstation& ws, HostWindow& window);
void PaintMonth(Workstation& ws, HostWindow& window);
void Timer1Timer(Workstation& ws, HostWindow& window);
// Takes this user's letters and acts on them now (a board tick found them
// waiting); nothing while a command is in progress or letters are not watched.
void LookAtLetters(Workstation& ws, HostWindow& window);
// Whether this workstation watches its notification file now.
bool NotificationsWatched(const Workstation& ws);
// The text of the desktop notification of a new message.
std::string NewMessageNote(Workstation& ws);
void RestoreFromTray(Workstation& ws, HostWindow& window);
// Ends the flashing of the tray icon (a key or a click on the board) and
// puts the normal image back, so that the icon never stays on the flash image.
void StopIconFlashing(Workstation& ws);
void FillTrayData(Workstation& ws);
void HostFormDestroy(Workstation& ws, HostWindow& window);

struct TrayMenuCaptions {
  std::string iconExit, iconExitMenu, iconRestore;
};
enum class TrayItem { IconExit, IconExitMenu, IconRestore };

TrayMenuCaptions TrayIconMenuPopup(Workstation& ws);
void TrayIconMenuClick(Workstation& ws, HostWindow& window, TrayItem item);

}  // namespace egresso
