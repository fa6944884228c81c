// The player of sound files lives in a module of its own, built with Qt
// Multimedia and the audio libraries beneath it. The program loads the
// module when it first plays a sound: a start that plays none does not
// load, relocate and map those libraries.
//
// The module is reached through plain functions on an opaque player, so
// that no class crosses between the program and the module.
#pragma once

#include <QString>

namespace egresso {

// The module's file, beside the program.
inline constexpr char kSoundModuleFile[] = "libegresso_sound.so";

// The module's functions, by name and type. A player starts playing a file
// without waiting and says false when there is no audio output or the file
// is known to be unplayable.
inline constexpr char kSoundPlayerNew[] = "egresso_sound_player_new";
inline constexpr char kSoundPlayerPlay[] = "egresso_sound_player_play";
inline constexpr char kSoundPlayerDelete[] = "egresso_sound_player_delete";
using SoundPlayerNew = void* (*)();
using SoundPlayerPlay = bool (*)(void* player, const QString& file);
using SoundPlayerDelete = void (*)(void* player);

}  // namespace egresso
