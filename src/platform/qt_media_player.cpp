// Placeholder until the real player lands.
#include "platform/qt_media_player.h"

#include "platform/scripted_player.h"

namespace kemo {
std::unique_ptr<MediaPlayer> CreateQtMediaPlayer() { return std::make_unique<ScriptedPlayer>(); }
}  // namespace kemo
