// Platform services for programs without windows (the command-line
// companion): the system clock, texts to standard error instead of dialogs
// (a dialog is answered with its default button), plain sleeping, and no
// sound, tray, help, shell or serial ports.
#pragma once

#include <memory>

#include "platform/services.h"

namespace egresso {

struct ConsolePlatform {
  ConsolePlatform();
  ~ConsolePlatform();
  ConsolePlatform(const ConsolePlatform&) = delete;
  ConsolePlatform& operator=(const ConsolePlatform&) = delete;
  Platform platform();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace egresso
