// All Qt implementations of the platform services, bundled for the program's
// main block.
#pragma once

#include <string>

#include "platform/dialogs_qt.h"
#include "platform/posix_serial.h"
#include "platform/services.h"
#include "platform/services_qt.h"
#include "platform/tray_qt.h"

namespace egresso {

struct Workstation;

class QtPlatform {
 public:
  // programFolder holds the help pages (help/index.html).
  explicit QtPlatform(const std::string& programFolder);

  Platform platform();
  // Lets the dialogs read captions and layout values of the workstation.
  void attach(Workstation& ws) { dialogs_.attach(&ws); }

  QtDialogs& dialogs() { return dialogs_; }
  QtTray& tray() { return tray_; }

  // The password prompt is a window of the password dialog and is set on
  // the workstation by the program.
  // The modem ports; another implementation may be put in their place.
  // The lock-wait alert is a window and is set on the workstation.
  SerialPorts* serialPorts = &serial_;

 private:
  QtClock clock_;
  QtDialogs dialogs_;
  QtEventPump events_;
  QtShell shell_;
  QtClipboard clipboard_;
  QtSound sound_;
  QtHelp help_;
  QtTray tray_;
  PosixSerialPorts serial_;
};

}  // namespace egresso
