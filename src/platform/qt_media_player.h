#pragma once
// The real player on QMediaPlayer, QAudioOutput and QVideoWidget (GStreamer backend). Its view is
// the video picture with a transport bar under it (play/pause, stop, position slider, mute).
//
// Play states as the editor reads them: 0 no media (or a file that cannot be played), 9 while a
// file loads, 10 loaded and not started, 3 playing, 6 playing but waiting for data, 2 paused,
// 1 stopped (also at the end of the media). Every change is reported by PlayStateChange, and
// every position the player reports by PositionChange, both through the event loop, never from
// inside a call; PlayState() is the state last reported.
#include <QMediaPlayer>
#include <memory>

namespace kemo {

class MediaPlayer;

std::unique_ptr<MediaPlayer> CreateQtMediaPlayer();

// The play-state value for what QMediaPlayer reports. `loaded` is false when no source is set;
// `started` tells whether the media has been played or paused since it was loaded.
int PlayStateOf(bool loaded, QMediaPlayer::PlaybackState playback, QMediaPlayer::MediaStatus status, bool started);

// The short status text of a play state ("準備完了", "再生中", ...).
QString StatusTextOf(int playState, bool invalidMedia);

}  // namespace kemo
