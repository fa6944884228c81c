#include "platform/platform_qt.h"

namespace egresso {

QtPlatform::QtPlatform(const std::string& programFolder) : sound_(programFolder), help_(programFolder) {}

Platform QtPlatform::platform() {
  Platform p;
  p.clock = &clock_;
  p.dialogs = &dialogs_;
  p.events = &events_;
  p.shell = &shell_;
  p.clipboard = &clipboard_;
  p.sound = &sound_;
  p.help = &help_;
  p.tray = &tray_;
  p.serial = serialPorts;
  return p;
}

}  // namespace egresso
