#include "platform/scripted_player.h"

#include <QTimer>

namespace kemo {

ScriptedPlayer::ScriptedPlayer(QObject* parent) : MediaPlayer(parent) {}

void ScriptedPlayer::Arrive(int state) {
  // Like a real player, a call that leaves the state as it is reports nothing.
  QTimer::singleShot(delayMs, this, [this, state] {
    if (state_ != state) SetStateNow(state);
  });
}

void ScriptedPlayer::SetStateNow(int state) {
  state_ = state;
  Q_EMIT PlayStateChange(state);
}

void ScriptedPlayer::SetURL(const QString& path) {
  log << (QStringLiteral("url:") + path);
  url_ = path;
  position_ = 0.0;
  atEnd = false;
  CountMediaChange();
  if (path.isEmpty()) {
    state_ = PlayState::Undefined;
    return;
  }
  Arrive(PlayState::Ready);
}

void ScriptedPlayer::Play() {
  log << QStringLiteral("play");
  if (url_.isEmpty() || !respondToPlay) return;
  atEnd = false;
  Arrive(PlayState::Playing);
}

void ScriptedPlayer::Pause() {
  log << QStringLiteral("pause");
  if (url_.isEmpty() || !respondToPause) return;
  if (state_ == PlayState::Playing || state_ == PlayState::Paused) Arrive(PlayState::Paused);
}

void ScriptedPlayer::Stop() {
  log << QStringLiteral("stop");
  if (url_.isEmpty() || !respondToStop) return;
  position_ = 0.0;
  atEnd = false;
  Arrive(PlayState::Stopped);
}

void ScriptedPlayer::SetCurrentPosition(double seconds) {
  log << (QStringLiteral("seek:") + QString::number(seconds));
  positionWrites.push_back(seconds);
  if (url_.isEmpty()) return;
  position_ = seconds;
}

void ScriptedPlayer::ReportPosition(double oldPos, double newPos) {
  position_ = newPos;
  Q_EMIT PositionChange(oldPos, newPos);
}

}  // namespace kemo

namespace kemo {

void ScriptedPlayer::RunToEnd() {
  position_ = duration;
  atEnd = true;
  SetStateNow(PlayState::Stopped);
}

}  // namespace kemo
