#include "startup/host.h"

#include <array>
#include <cstdint>

#include "config/startup_routine.h"
#include "core/waiting.h"
#include "messages/daily.h"
#include "text/dialog_layout.h"
#include "text/notices.h"
#include "storage/notify_file.h"
#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {
namespace {

std::string normalIcon(const Workstation& ws) { return ws.paths.ProgramFolder + "/KESTRA.ICO"; }
std::string flashIcon(const Workstation& ws) { return ws.paths.ProgramFolder + "/FLASH.ICO"; }

// Loads an icon file into the host; a failure is reported and the old icon stays.
bool loadHostIcon(Workstation& ws, HostWindow& window, const std::string& path, std::string_view tag) {
  if (window.loadIcon(path)) {
    ws.host.IconPath = path;
    return true;
  }
  ReportException(ws, "EFOpenError", "Cannot open file \"" + path + "\"", tag);
  return false;
}

void updateTrayIcon(Workstation& ws) {
  FillTrayData(ws);
  ws.platform.tray->modify(ws.host.TrayData.iconPath, ws.host.TrayData.tip);
}

void computeReference(Workstation& ws, HostWindow& window) {
  ScreenArea s = window.screenArea();
  int w = 644;
  double scale = ws.options.FontScale > 0 ? ws.options.FontScale : 1.0;
  int h = 484 + RoundEven(40.0 / scale) - 40;
  int left = s.left + (s.width - w) / 2 - 2;
  int top = s.top + (s.height - h) / 2 - 2;
  ws.host.RefLeft = left;
  ws.host.RefTop = top;
  ws.host.RefWidth = w - 4;
  ws.host.RefHeight = h - 4;
}

int minutesOf(int hhmm) { return hhmm / 100 * 60 + hhmm % 100; }

void actOnNewMessage(Workstation& ws, HostWindow& window) {
  const bool tray = ws.host.TrayActive;
  if (!tray || !ws.options.FlashMode) RestoreFromTray(ws, window);
  ws.host.IconFlashState = 1;
  if (ws.BoardOpen) {
    if (ws.ListMode == 1) {
      window.switchBoard();
    } else {
      ws.MessageRefreshRequest = true;
    }
  } else {
    ws.ListMode = 0;
    ws.host.OpenedByNotification = true;
    ws.ArchiveView = false;
    std::string error = window.showBoardModally();
    if (!error.empty()) {
      std::string marker = MessageText(ws, 1886);
      if (!marker.empty() && error.find(marker) != std::string::npos)
        ws.platform.dialogs->messageBox(MessageText(ws, 1884) + MessageText(ws, 1885), BoxKind::Warning);
    }
  }
  if (tray) {
    loadHostIcon(ws, window, normalIcon(ws), "\"MSGICO\"");
    updateTrayIcon(ws);
    // Through the desktop's notification service: seen even when the
    // board is behind other windows or on another desktop.
    ws.platform.tray->showMessage(ws.paths.ProductTitle, NewMessageNote(ws));
  }
}

// The letters are taken out of the file before they are acted on: showing
// the board lets this timer tick again, and a letter must not be acted on twice.
void checkNotifyFile(Workstation& ws, HostWindow& window) {
  ws.host.NotifyLookDue = false;
  std::string letters;
  for (const auto& text : TakeOwnNotifyTexts(ws)) letters += text;
  if (letters.find('M') != std::string::npos) actOnNewMessage(ws, window);
  if (letters.find('B') != std::string::npos) ws.AnnouncementChanged = true;
}

void flashTrayIcon(Workstation& ws, HostWindow& window) {
  auto& state = ws.host.IconFlashState;
  bool normal = state == 1;
  if (!loadHostIcon(ws, window, normal ? normalIcon(ws) : flashIcon(ws), "\"MODICO\"")) {
    // A missing icon file would otherwise be reported at every tick.
    state = 0;
    return;
  }
  state = normal ? 2 : 1;
  updateTrayIcon(ws);
}

}  // namespace

int HostTimerPeriodMs(const Workstation& ws) { return (ws.mcfg.u8(mcfg::HostTimerSeconds) + 1) * 1000; }

bool TrayEnabled(Workstation& ws) {
  return ws.options.TrayIcon && ws.platform.tray != nullptr && ws.platform.tray->available();
}

bool DailyTriggerDue(int now, int offset, int slot) {
  // Counted in minutes of the clock, so that slot 60 fires an hour after the
  // offset and an offset within an hour does not skip slots.
  return slot >= 0 && minutesOf(now) - minutesOf(offset) == slot;
}

bool DailyTriggerPassed(int now, int offset, int slot) {
  return slot >= 0 && minutesOf(now) - minutesOf(offset) >= slot;
}

std::string NotifyFilePath(const Workstation& ws) { return NotifyFileOf(ws, ws.ThisUser); }

// The desktop note's text, from the notice texts like every other.
std::string NewMessageNote(Workstation& ws) { return MessageText(ws, 2091) + ws.ThisUser; }

bool NotificationsWatched(const Workstation& ws) {
  return ws.MultiUser && ws.options.Notifications && ws.HostReady;
}

void LookAtLetters(Workstation& ws, HostWindow& window) {
  if (!CommandInProgress(ws) && NotificationsWatched(ws)) checkNotifyFile(ws, window);
}

void HostFormCreate(Workstation& ws, HostWindow& window, const std::string& programFolder,
                    const std::vector<std::string>& args) {
  StartProg(ws, window, programFolder, args);
  AddTrayIcon(ws);
  ws.host.TimerPeriodMs = HostTimerPeriodMs(ws);
  window.setTimerPeriod(ws.host.TimerPeriodMs);
}

void AddTrayIcon(Workstation& ws) {
  ws.host.TrayActive = TrayEnabled(ws);
  if (!ws.host.TrayActive) return;
  FillTrayData(ws);
  ws.platform.tray->add(ws.host.TrayData.iconPath, ws.host.TrayData.tip);
}

void StartProg(Workstation& ws, HostWindow& window, const std::string& programFolder,
               const std::vector<std::string>& args) {
  int dpi = window.screenDpi();
  if (dpi <= 0) dpi = 96;
  // The point size of an 80-pixel font: 60 on a normal-size screen font.
  int size = (80 * 72 + dpi / 2) / dpi;
  ws.options.SmallFonts = size == 60;
  ws.options.FontScale = size / 60.0;
  ws.HostReady = false;
  computeReference(ws, window);
  window.createAlertForm();

  ProgramStartup(ws, programFolder, args);

  computeReference(ws, window);
  int pw = ws.pcfg.i16(pcfg::HomePlacement + 4), ph = ws.pcfg.i16(pcfg::HomePlacement + 6);
  if (pw > 0 && ph > 0) {
    ws.host.RefLeft = ws.pcfg.i16(pcfg::HomePlacement);
    ws.host.RefTop = ws.pcfg.i16(pcfg::HomePlacement + 2);
    ws.host.RefWidth = pw;
    ws.host.RefHeight = ph;
  }
  if (ws.QuitRequested) return;
  ws.host.AppTitle = ws.paths.ProductTitle;
  window.setApplicationTitle(ws.paths.ProductTitle);
  // The icon is read once the board is painted, unless the program starts
  // minimised or in the tray: then the icon is all that shows of it.
  if (ws.options.StartMinimised || TrayEnabled(ws))
    loadHostIcon(ws, window, normalIcon(ws), "\"EMSICO\"");
  else
    window.afterFirstPainting([&ws, &window] { loadHostIcon(ws, window, normalIcon(ws), "\"EMSICO\""); });
  window.setHostCaption(ws.paths.ProductTitle);
  window.showHost();
  HostFormShow(ws, window);
}

void HostFormShow(Workstation& ws, HostWindow& window) {
  ws.HostShown = true;
  PaintMonth(ws, window);
  if (ws.options.StartMinimised) {
    window.minimiseHost();
    ws.options.StartMinimised = false;
  }
}

void PaintMonth(Workstation& ws, HostWindow& window) {
  window.setHostBounds(1, 1, 1, 1);
  ws.host.TimerPeriodMs = HostTimerPeriodMs(ws);
  window.setTimerPeriod(ws.host.TimerPeriodMs);
  ws.HostReady = true;
}

void Timer1Timer(Workstation& ws, HostWindow& window) {
  // While a command is in progress (waiting for a lock, pausing between
  // attempts, or holding a lock with a dialog open) its files and buffers
  // are in use: closing, the daily run and the notification file wait for a
  // tick after it.
  const bool waiting = CommandInProgress(ws);
  if (ws.QuitRequested && ws.PasswordDialogClosed && !waiting) {
    window.closeHost();
    return;
  }
  // The day is the clock's at every tick: a computer that slept through
  // midnight, or was started late, wakes into the day the clock says.
  const int now = TakeTodayFromClock(ws);

  // The daily processing runs once for every new day, at this workstation's
  // staggered minute or at the first tick after it (the computer slept
  // through it, or the day began while it was off). A day before the one
  // last processed means a clock put back: the processing is not run again
  // for a day gone by, and that is told once in the trace.
  const int offset = ws.mcfg.i8(mcfg::DailyOffset);
  ws.host.DailyTriggerLatch = DailyTriggerDue(now, offset, ws.UserSlot);
  const std::int16_t processed = ws.pcfg.i16(pcfg::UserLastDate);
  if (ws.Today < processed) {
    if (ws.host.ClockBackDay != ws.Today) {
      ws.host.ClockBackDay = ws.Today;
      traceLine(ws, "Clock set back: " + ws.ThisUser + "  " + FormatDay(ws, ws.Today) + " : " + traceTime(ws) +
                        "  last processed " + FormatDay(ws, processed));
    }
  } else if (ws.Today != processed && ws.Today != ws.host.DailyRunDay &&
             DailyTriggerPassed(now, offset, ws.UserSlot)) {
    // Tried once a day: a run that could not take its lock (a read-only
    // folder) is not repeated at every tick.
    ws.host.DailyRunDay = ws.Today;
    if (ws.options.MorningRun) ws.host.DailyRunPending = true;
  }
  if (ws.host.DailyRunPending && !waiting) {
    // Cleared before the run: its dialogs let this timer tick again.
    ws.host.DailyRunPending = false;
    if (ws.host.DailyRun) {
      ws.host.DailyRun(ws, true);
    } else {
      EarlyMorningStuff(ws, true);
    }
  }

  // Once a minute as every workstation does, and at once when a board
  // tick found letters waiting that nobody took yet.
  const bool minute = now != ws.host.LastNotifyMinute;
  if (!waiting && NotificationsWatched(ws) && (minute || ws.host.NotifyLookDue)) {
    if (minute) ws.host.LastNotifyMinute = static_cast<std::int16_t>(now);
    checkNotifyFile(ws, window);
  }

  if (ws.host.IconFlashState != 0 && ws.host.TrayActive && ws.options.FlashMode) flashTrayIcon(ws, window);
}

void RestoreFromTray(Workstation& ws, HostWindow& window) {
  if (!window.isApplicationActive() && !ws.options.FlashMode) window.minimiseApplication();
  window.restoreApplication();
  if (ws.host.TrayActive && ws.options.FlashMode) {
    ws.host.IconFlashState = 0;
    loadHostIcon(ws, window, normalIcon(ws), "\"RAICO\"");
    updateTrayIcon(ws);
  }
}

void StopIconFlashing(Workstation& ws) {
  if (ws.host.IconFlashState == 0) return;
  ws.host.IconFlashState = 0;
  if (!ws.host.TrayActive || ws.host.IconPath == normalIcon(ws)) return;
  ws.host.IconPath = normalIcon(ws);
  updateTrayIcon(ws);
}

void FillTrayData(Workstation& ws) {
  if (!ws.host.TrayActive) return;
  TrayRecord& t = ws.host.TrayData;
  t.size = 88;
  t.iconId = 1;
  t.flags = 7;
  t.callbackMessage = 0x400;
  t.iconPath = ws.host.IconPath;
  t.tip = ws.host.AppTitle.substr(0, 63);
}

void HostFormDestroy(Workstation& ws, HostWindow& window) {
  if (ws.options.AutoInOut && ws.StartupFinished) window.signOutOnExit(ws.UserSlot);
  if (ws.host.TrayActive) {
    ws.host.TrayData.flags = 0;
    ws.platform.tray->remove();
    ws.host.TrayActive = false;
  }
}

TrayMenuCaptions TrayIconMenuPopup(Workstation& ws) {
  return {MessageText(ws, 1894) + ws.paths.ProductTitle, MessageText(ws, 1895),
          MessageText(ws, 1893) + ws.paths.ProductTitle};
}

void TrayIconMenuClick(Workstation& ws, HostWindow& window, TrayItem item) {
  switch (item) {
    case TrayItem::IconExit: window.closeBoard(); break;
    case TrayItem::IconRestore: RestoreFromTray(ws, window); break;
    case TrayItem::IconExitMenu: break;
  }
}

}  // namespace egresso
