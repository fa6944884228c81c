// Qt implementations of the simple platform services: clock, waiting with a
// responsive window, shell launching, clipboard, sound files and help pages.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QLibrary;

#include "platform/services.h"
#include "platform/sound_player_qt.h"

namespace egresso {

class QtClock : public Clock {
 public:
  QtClock() { timer_.start(); }
  LocalDateTime now() override;
  std::int64_t monotonicMs() override { return timer_.elapsed(); }

 private:
  QElapsedTimer timer_;
};

// Keys typed while the program waits are noted by an application-wide event
// filter and handed to the waiting code; the windows still receive them. A
// lock wait forgets what was noted before it (a key typed during a pause).
class QtEventPump : public QObject, public EventPump {
  Q_OBJECT
 public:
  QtEventPump();
  ~QtEventPump() override;
  int processEvents() override;
  void sleepMs(int ms) override;
  void forgetTypedKeys() override { typed_ = 0; }

  // The character a key press stands for: 27 Esc, 1..26 Ctrl+letter, else
  // its Windows-1252 character; 0 for keys without one.
  static int keyCharacter(int key, Qt::KeyboardModifiers modifiers, const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int pumping_ = 0;
  int typed_ = 0;
};

// Whether a file is a document a link may open: its type by content and
// by name are both of the allowed kinds (text, PDF, images, office
// documents); a file without a telling name is judged by its content.
bool IsOpenableDocument(const QString& path);

class QtShell : public Shell {
 public:
  int open(std::string_view target, std::string_view parameters, std::string_view folder) override;
};

class QtClipboard : public Clipboard {
 public:
  void setText(std::string_view text) override;
  std::string text() override;
};

// Plays WAV files in the process (Qt Multimedia), so that no sound player
// program has to be installed. Without an audio output, without the player
// module (platform/sound_player_qt.h), or with a file that cannot be
// played, play() says so and the caller beeps instead; a file found
// unplayable only once loading beeps by itself. Nothing is ever reported
// in a dialog: a missing sound is not worth interrupting anybody.
class QtSound : public Sound {
 public:
  // moduleFolder holds the player module; empty: the program's folder.
  explicit QtSound(const std::string& moduleFolder = {});
  ~QtSound() override;
  bool play(std::string_view path) override;
  // Whether the player module has been loaded (by the first sound played).
  bool playerLoaded() const { return player_ != nullptr; }

 private:
  bool loadPlayer();

  QString moduleFolder_;
  bool moduleTried_ = false;
  // Never unloaded: the audio libraries keep threads of their own.
  std::unique_ptr<QLibrary> module_;
  void* player_ = nullptr;
  SoundPlayerPlay play_ = nullptr;
  SoundPlayerDelete delete_ = nullptr;
};

class QtHelp : public Help {
 public:
  explicit QtHelp(std::string programFolder) : programFolder_(std::move(programFolder)) {}
  void request(HelpCommand command, int context, std::string_view keyword) override;

 private:
  std::string programFolder_;
};

}  // namespace egresso
