// The outside world as the program logic sees it. Each interface has a real
// implementation (Qt or POSIX, files *_qt.cpp / posix_*.cpp) and a scripted
// double for tests (tests/support/fake_platform.h).
//
// All text crossing these interfaces is single-byte Windows-1252, the
// encoding of the data files; implementations that talk to Qt convert at
// their boundary (platform/codepage.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace egresso {

struct LocalDateTime {
  int year = 1984, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() = 0;
  // Milliseconds on a monotonic clock, for measuring waits.
  virtual std::int64_t monotonicMs() = 0;
};

// The universal three-button dialog and the plain OK boxes.
struct DialogRequest {
  std::string message;   // a leading "*" makes it a non-modal notice
  int captionKind = -1;  // 0..3, anything else: no caption
  std::string button1, button2, button3;  // empty hides the button
  int defaultButton = 1;
  // A second, smaller line under the message (codes for the administrator).
  std::string detail;
};

enum class BoxKind { Information, Warning };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Returns 1..3 for the button pressed, 0 for Esc; a notice returns 0 at once.
  virtual int ultimateDialog(const DialogRequest& request) = 0;
  // Closes a notice left on screen by ultimateDialog.
  virtual void closeNotice() = 0;
  // A box with the single button OK; caption is empty for the default.
  virtual void messageBox(std::string_view text, BoxKind kind, std::string_view caption = {}) = 0;
  virtual void beep() = 0;
};

// Waiting without freezing the windows.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Processes pending window events; returns the character typed while
  // waiting since the last call or the last forgetTypedKeys (27 Esc, 6
  // Ctrl+F, ...), or 0.
  virtual int processEvents() = 0;
  // Waits about ms milliseconds while keeping the windows responsive.
  virtual void sleepMs(int ms) = 0;
  // A wait that reacts to keys starts with this: a key typed during an
  // earlier pause must not answer it.
  virtual void forgetTypedKeys() {}
};

// The small non-focusing note shown while waiting for a lock.
class LockAlert {
 public:
  virtual ~LockAlert() = default;
  virtual void flash(std::string_view text, int intervalMs) = 0;
  // The key the user answered the note with (27 Esc, 6 Ctrl+F) since the
  // last call, or 0; reading it clears it.
  virtual int takeKeyAnswer() = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a web or mailto: address, or a document that is not a program,
  // with its default handler; never starts a program and never passes
  // parameters. Returns a result code above 32 on success (the shell's custom),
  // kNotADocument for a file whose type is not one of the documents a text
  // may open.
  virtual int open(std::string_view target, std::string_view parameters, std::string_view folder) = 0;
  static constexpr int kNotADocument = 5;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void setText(std::string_view text) = 0;
  virtual std::string text() = 0;
};

class Sound {
 public:
  virtual ~Sound() = default;
  // Plays a sound file without waiting; false when it cannot be played.
  virtual bool play(std::string_view path) = 0;
};

enum class HelpCommand { Context, Keyword, Quit, Topic };

class Help {
 public:
  virtual ~Help() = default;
  virtual void request(HelpCommand command, int context, std::string_view keyword) = 0;
};

// The notification-area icon. Without a tray on the desktop available()
// is false and the program behaves as with the tray switched off.
class Tray {
 public:
  virtual ~Tray() = default;
  virtual bool available() = 0;
  // Each returns false when the icon file cannot be loaded.
  virtual bool add(std::string_view iconPath, std::string_view tip) = 0;
  virtual bool modify(std::string_view iconPath, std::string_view tip) = 0;
  virtual void remove() = 0;
  // A passing note from the icon through the desktop's notification
  // service; nothing where the desktop has none.
  virtual void showMessage(std::string_view title, std::string_view text) {
    (void)title;
    (void)text;
  }
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Port 1..4: true when the device opens and shows clear-to-send.
  virtual bool clearToSend(int port) = 0;

  // Commands to a modem: one port at a time is held open for them, from
  // openForCommands (which first gives back any port still open) until
  // closeCommands. Each returns false when the device cannot be opened or
  // does not take the line within a short while, never waiting longer.
  virtual bool openForCommands(int port) = 0;
  // Sends the line followed by CR LF and waits until it has gone out.
  virtual bool sendCommand(std::string_view line) = 0;
  virtual void closeCommands() = 0;
};

class PasswordDialog;

// The modal password and prompt dialog. The logic lives in PasswordDialog
// (tools/password.h), already shown (FormShow) when run is called; the
// implementation lets the user type and press OK or Cancel, feeding each
// press to the logic, until the logic says the dialog is closed.
class PasswordPrompt {
 public:
  virtual ~PasswordPrompt() = default;
  virtual void run(PasswordDialog& dialog) = 0;
};

// Everything the logic may call, handed to the workstation at start.
struct Platform {
  Clock* clock = nullptr;
  Dialogs* dialogs = nullptr;
  EventPump* events = nullptr;
  LockAlert* lockAlert = nullptr;
  Shell* shell = nullptr;
  Clipboard* clipboard = nullptr;
  Sound* sound = nullptr;
  Help* help = nullptr;
  Tray* tray = nullptr;
  SerialPorts* serial = nullptr;
  PasswordPrompt* passwordPrompt = nullptr;
};

// The identity of this computer: EGRESSO_STATION when set (so several
// workstations can run on one computer), else a decimal number derived
// from /etc/machine-id or gethostid(); empty when none can be read.
std::string readStationId();

}  // namespace egresso
