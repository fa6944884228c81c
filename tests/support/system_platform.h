// Real (not scripted) platform services without windows, for helper
// programs of multi-process tests and for benchmarks: the system clock,
// sleeping that really sleeps, and dialogs written to standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "platform/services.h"

namespace egresso::test {

class SystemClock : public Clock {
 public:
  LocalDateTime now() override {
    auto t = std::chrono::system_clock::now();
    std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms};
  }
  std::int64_t monotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// No windows to serve: processing events does nothing unless a key is due,
// sleeping sleeps.
class SleepingEvents : public EventPump {
 public:
  explicit SleepingEvents(Clock& c) : clock(c) {}
  Clock& clock;
  std::int64_t keyAtMs = -1;  // monotonic time from which processEvents answers key
  int key = 27;
  int processEvents() override { return keyAtMs >= 0 && clock.monotonicMs() >= keyAtMs ? key : 0; }
  void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

class SilentAlert : public LockAlert {
 public:
  void flash(std::string_view, int) override {}
  int takeKeyAnswer() override { return 0; }
};

class StderrDialogs : public Dialogs {
 public:
  int ultimateDialog(const DialogRequest& r) override {
    std::fprintf(stderr, "dialog: %s\n", r.message.c_str());
    return 0;
  }
  void closeNotice() override {}
  void messageBox(std::string_view text, BoxKind, std::string_view) override {
    std::fprintf(stderr, "box: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void beep() override {}
};

struct SystemPlatform {
  SystemClock clock;
  SleepingEvents events{clock};
  SilentAlert alert;
  StderrDialogs dialogs;
  Platform platform() {
    Platform p;
    p.clock = &clock;
    p.events = &events;
    p.lockAlert = &alert;
    p.dialogs = &dialogs;
    return p;
  }
};

}  // namespace egresso::test
