// The player of sound files lives in a module of its own, built with Qt
// Multimedia and the audio libraries beneath it. The program loads the
// module when it first plays a sound: a start that plays none does not
// load, relocate and map those libraries.
#pragma once

#include <QString>

namespace egresso {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Starts playing the file without waiting; false when there is no audio
  // output or the file is known to be unplayable.
  virtual bool play(const QString& file) = 0;
};

// The module's file, beside the program, and the function in it that makes
// a player (SoundPlayer* (*)(), the caller owns the player).
inline constexpr char kSoundModuleFile[] = "libegresso_sound.so";
inline constexpr char kSoundPlayerMaker[] = "egresso_make_sound_player";

}  // namespace egresso
