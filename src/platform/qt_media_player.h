#pragma once
// The real player on QMediaPlayer, QAudioOutput and QVideoWidget (GStreamer backend).
#include <memory>

namespace kemo {

class MediaPlayer;

std::unique_ptr<MediaPlayer> CreateQtMediaPlayer();

}  // namespace kemo
