// Scripted doubles of the platform services, and a workstation wired to them.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "core/workstation.h"
#include "tools/password.h"

namespace egresso::test {

// A clock that stands still until told to move; sleeping advances it.
class FakeClock : public Clock {
 public:
  LocalDateTime current{2026, 12, 7, 9, 0, 0, 0};
  std::int64_t mono = 0;
  LocalDateTime now() override { return current; }
  std::int64_t monotonicMs() override { return mono; }
  void set(int y, int mo, int d, int h, int mi, int s = 0) { current = {y, mo, d, h, mi, s, 0}; }
  // Moves the time of day forward (within the day, carrying into the next day).
  void advanceMs(std::int64_t ms);
};

class FakeDialogs : public Dialogs {
 public:
  std::deque<int> answers;                  // scripted results of ultimateDialog; 1 when empty
  std::vector<DialogRequest> dialogs;       // every ultimateDialog call
  std::vector<std::string> boxes;           // every messageBox text
  // Runs once, while the next dialog stands on screen before it is answered
  // (what other workstations do meanwhile).
  std::function<void(const DialogRequest&)> whileShown;
  int beeps = 0;
  int noticesClosed = 0;
  int ultimateDialog(const DialogRequest& r) override;
  void closeNotice() override { ++noticesClosed; }
  void messageBox(std::string_view text, BoxKind, std::string_view) override { boxes.emplace_back(text); }
  void beep() override { ++beeps; }
  // All texts shown, dialogs and boxes, for searching.
  std::string allText() const;
};

class FakeEvents : public EventPump {
 public:
  explicit FakeEvents(FakeClock* c) : clock(c) {}
  FakeClock* clock;
  std::deque<int> keys;   // characters "typed" at successive processEvents calls
  // A character "typed" during the next sleep; kept, as a window pump keeps
  // it, for the next processEvents unless forgotten first.
  int typeDuringNextSleep = 0;
  int pumps = 0;
  std::int64_t slept = 0;
  // What other workstations do while this one pauses (run after the clock
  // moved on).
  std::function<void()> duringSleep;
  int processEvents() override;
  void sleepMs(int ms) override;
  void forgetTypedKeys() override { noted = 0; }

 private:
  int noted = 0;
  bool inHook_ = false;
};

class FakeLockAlert : public LockAlert {
 public:
  std::vector<std::string> texts;
  int keyAnswer = 0;  // the key the user answers the next note with
  void flash(std::string_view text, int) override {
    texts.emplace_back(text);
    if (keyAnswer) answered = std::exchange(keyAnswer, 0);
  }
  int takeKeyAnswer() override { return std::exchange(answered, 0); }
  int answered = 0;  // given on a note and not yet taken
};

class FakeShell : public Shell {
 public:
  std::vector<std::string> opened;
  std::vector<std::string> parameters;  // what each call passed besides the target
  int result = 42;
  int open(std::string_view target, std::string_view params, std::string_view) override {
    opened.emplace_back(target);
    parameters.emplace_back(params);
    return result;
  }
};

class FakeClipboard : public Clipboard {
 public:
  std::string content;
  void setText(std::string_view t) override { content = t; }
  std::string text() override { return content; }
};

class FakeSound : public Sound {
 public:
  std::vector<std::string> played;
  bool works = true;
  bool play(std::string_view path) override { played.emplace_back(path); return works; }
};

class FakeHelp : public Help {
 public:
  std::vector<std::pair<HelpCommand, int>> requests;
  void request(HelpCommand c, int context, std::string_view) override { requests.emplace_back(c, context); }
};

class FakeTray : public Tray {
 public:
  bool present = true;
  bool iconsLoad = true;
  std::vector<std::string> calls;  // "add:<icon>", "modify:<icon>", "remove", "message:<title>:<text>"
  bool available() override { return present; }
  bool add(std::string_view icon, std::string_view) override { calls.push_back("add:" + std::string(icon)); return iconsLoad; }
  bool modify(std::string_view icon, std::string_view) override { calls.push_back("modify:" + std::string(icon)); return iconsLoad; }
  void remove() override { calls.push_back("remove"); }
  void showMessage(std::string_view title, std::string_view text) override {
    calls.push_back("message:" + std::string(title) + ":" + std::string(text));
  }
};

class FakeSerial : public SerialPorts {
 public:
  int portWithModem = 0;  // 0 = none
  std::vector<int> probed;
  bool clearToSend(int port) override { probed.push_back(port); return port == portWithModem; }
  // Commands: "open:<port>", each line sent, "close"; a port that will not
  // open or take a line is refused.
  std::vector<std::string> commands;
  int refusedPort = 0;
  bool openForCommands(int port) override {
    commands.push_back("open:" + std::to_string(port));
    openPort = port == refusedPort ? 0 : port;
    return openPort != 0;
  }
  bool sendCommand(std::string_view line) override {
    if (openPort == 0) return false;
    commands.emplace_back(line);
    return true;
  }
  void closeCommands() override {
    commands.push_back("close");
    openPort = 0;
  }
  int openPort = 0;
};

// The password dialog as a script of presses. Each run records the view
// shown, then plays the script (text typed, or Cancel) until the logic
// closes the dialog; an exhausted script presses Cancel.
class FakePasswordPrompt : public PasswordPrompt {
 public:
  struct Press {
    bool cancel = false;
    std::string text;
    bool choice2 = false;
  };
  std::deque<Press> script;
  std::vector<PasswordView> shown;    // the view of each run as first shown
  std::vector<std::string> labels;    // Label1 after every press
  int runs = 0;
  void type(std::string text, bool choice2 = false) { script.push_back({false, std::move(text), choice2}); }
  void cancel() { script.push_back({true, {}, false}); }
  void run(PasswordDialog& dialog) override;
};

// A complete set of doubles; lives as long as the workstations using it.
struct FakePlatform {
  FakeClock clock;
  FakeDialogs dialogs;
  FakeEvents events{&clock};
  FakeLockAlert lockAlert;
  FakeShell shell;
  FakeClipboard clipboard;
  FakeSound sound;
  FakeHelp help;
  FakeTray tray;
  FakeSerial serial;
  FakePasswordPrompt password;
  Platform platform();
};

// The lock files (*.LOK) in a folder, by name.
std::vector<std::string> LockFilesIn(const std::filesystem::path& folder);

// A fresh empty folder under the system's temporary folder, removed at the end.
class TempDir {
 public:
  // A new folder in the system's temporary folder, or in base when given.
  explicit TempDir(const std::filesystem::path& base = {});
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& content);

}  // namespace egresso::test
