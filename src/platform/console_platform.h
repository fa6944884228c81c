// Platform services for programs without windows (the command-line
// companion, helper programs of multi-process tests, benchmarks): the
// system clock, texts to standard error instead of dialogs (a dialog is
// answered with its default button, a notice with 0), plain sleeping, and
// no sound, tray, help, shell or serial ports.
#pragma once

#include <cstdint>

#include "platform/services.h"

namespace egresso {

class SystemClock : public Clock {
 public:
  LocalDateTime now() override;
  std::int64_t monotonicMs() override;
};

// No windows to serve: processing events finds no key unless one is due
// (a scripted answer: keyAtMs is a monotonic time, -1 for never); sleeping
// sleeps.
class ConsoleEvents : public EventPump {
 public:
  explicit ConsoleEvents(Clock& c) : clock_(c) {}
  std::int64_t keyAtMs = -1;
  int key = 27;
  int processEvents() override;
  void sleepMs(int ms) override;

 private:
  Clock& clock_;
};

class ConsoleDialogs : public Dialogs {
 public:
  int ultimateDialog(const DialogRequest& r) override;
  void closeNotice() override {}
  void messageBox(std::string_view text, BoxKind, std::string_view) override;
  void beep() override {}
};

class NoLockAlert : public LockAlert {
 public:
  void flash(std::string_view, int) override {}
  int takeKeyAnswer() override { return 0; }
};

class NoShell : public Shell {
 public:
  int open(std::string_view, std::string_view, std::string_view) override { return 0; }
};

class NoClipboard : public Clipboard {
 public:
  void setText(std::string_view) override {}
  std::string text() override { return {}; }
};

class NoSound : public Sound {
 public:
  bool play(std::string_view) override { return false; }
};

class NoHelp : public Help {
 public:
  void request(HelpCommand, int, std::string_view) override {}
};

class NoTray : public Tray {
 public:
  bool available() override { return false; }
  bool add(std::string_view, std::string_view) override { return false; }
  bool modify(std::string_view, std::string_view) override { return false; }
  void remove() override {}
};

class NoSerial : public SerialPorts {
 public:
  bool clearToSend(int) override { return false; }
  bool openForCommands(int) override { return false; }
  bool sendCommand(std::string_view) override { return false; }
  void closeCommands() override {}
};

struct ConsolePlatform {
  ConsolePlatform() = default;
  ConsolePlatform(const ConsolePlatform&) = delete;
  ConsolePlatform& operator=(const ConsolePlatform&) = delete;

  SystemClock clock;
  ConsoleEvents events{clock};
  ConsoleDialogs dialogs;
  NoLockAlert alert;
  NoShell shell;
  NoClipboard clipboard;
  NoSound sound;
  NoHelp help;
  NoTray tray;
  NoSerial serial;

  Platform platform();
};

}  // namespace egresso
