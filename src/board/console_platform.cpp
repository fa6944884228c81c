#include "board/console_platform.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

namespace egresso {

namespace {

class SystemClock : public Clock {
 public:
  LocalDateTime now() override {
    const auto t = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&secs, &tm);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms)};
  }
  std::int64_t monotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

class StderrDialogs : public Dialogs {
 public:
  int ultimateDialog(const DialogRequest& r) override {
    std::fprintf(stderr, "%s\n", r.message.c_str());
    return r.message.empty() || r.message[0] != '*' ? r.defaultButton : 0;
  }
  void closeNotice() override {}
  void messageBox(std::string_view text, BoxKind, std::string_view) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
  void beep() override {}
};

class PlainEvents : public EventPump {
 public:
  int processEvents() override { return 0; }
  void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

class NoAlert : public LockAlert {
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
};

}  // namespace

struct ConsolePlatform::Parts {
  SystemClock clock;
  StderrDialogs dialogs;
  PlainEvents events;
  NoAlert alert;
  NoShell shell;
  NoClipboard clipboard;
  NoSound sound;
  NoHelp help;
  NoTray tray;
  NoSerial serial;
};

ConsolePlatform::ConsolePlatform() : parts_(std::make_unique<Parts>()) {}
ConsolePlatform::~ConsolePlatform() = default;

Platform ConsolePlatform::platform() {
  Platform p;
  p.clock = &parts_->clock;
  p.dialogs = &parts_->dialogs;
  p.events = &parts_->events;
  p.lockAlert = &parts_->alert;
  p.shell = &parts_->shell;
  p.clipboard = &parts_->clipboard;
  p.sound = &parts_->sound;
  p.help = &parts_->help;
  p.tray = &parts_->tray;
  p.serial = &parts_->serial;
  return p;
}

}  // namespace egresso
