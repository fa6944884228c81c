#include "platform/console_platform.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

namespace egresso {

LocalDateTime SystemClock::now() {
  const auto t = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&secs, &tm);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms)};
}

std::int64_t SystemClock::monotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int ConsoleEvents::processEvents() { return keyAtMs >= 0 && clock_.monotonicMs() >= keyAtMs ? key : 0; }

void ConsoleEvents::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int ConsoleDialogs::ultimateDialog(const DialogRequest& r) {
  std::fprintf(stderr, "%s\n", r.message.c_str());
  return r.message.empty() || r.message[0] != '*' ? r.defaultButton : 0;
}

void ConsoleDialogs::messageBox(std::string_view text, BoxKind, std::string_view) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

Platform ConsolePlatform::platform() {
  Platform p;
  p.clock = &clock;
  p.dialogs = &dialogs;
  p.events = &events;
  p.lockAlert = &alert;
  p.shell = &shell;
  p.clipboard = &clipboard;
  p.sound = &sound;
  p.help = &help;
  p.tray = &tray;
  p.serial = &serial;
  return p;
}

}  // namespace egresso
