// The loadable sound module (see sound_player_qt.h): plays WAV files
// through Qt Multimedia.
#include <QApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <memory>

#include "platform/sound_player_qt.h"

namespace egresso {
namespace {

class EffectPlayer {
 public:
  bool play(const QString& file) {
    if (QMediaDevices::audioOutputs().isEmpty()) return false;
    if (!effect_ || source_ != file) {
      effect_ = std::make_unique<QSoundEffect>();
      // A file found unplayable only once loading beeps by itself.
      QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(), [effect = effect_.get()] {
        if (effect->status() == QSoundEffect::Error) QApplication::beep();
      });
      effect_->setSource(QUrl::fromLocalFile(file));
      source_ = file;
    }
    if (effect_->status() == QSoundEffect::Error) return false;
    effect_->play();
    return true;
  }

 private:
  std::unique_ptr<QSoundEffect> effect_;
  QString source_;
};

}  // namespace
}  // namespace egresso

extern "C" {

Q_DECL_EXPORT void* egresso_sound_player_new() { return new egresso::EffectPlayer; }

Q_DECL_EXPORT bool egresso_sound_player_play(void* player, const QString& file) {
  return static_cast<egresso::EffectPlayer*>(player)->play(file);
}

Q_DECL_EXPORT void egresso_sound_player_delete(void* player) { delete static_cast<egresso::EffectPlayer*>(player); }
}
