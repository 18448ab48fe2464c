#pragma once
// A player double for window tests. Like the real player it answers play, pause, stop and loads
// through the event loop: the state change arrives after `delayMs` (0: on the next turn of the
// loop), never inside the call. Every call is logged; writes of the position are kept.
#include <QStringList>
#include <vector>

#include "platform/media_player.h"

namespace kemo {

class ScriptedPlayer : public MediaPlayer {
  Q_OBJECT
 public:
  explicit ScriptedPlayer(QObject* parent = nullptr);

  void SetURL(const QString& path) override;
  QString URL() const override { return url_; }
  int PlayState() const override { return state_; }
  QString Status() const override { return status; }
  void Play() override;
  void Pause() override;
  void Stop() override;
  double CurrentPosition() const override { return position_; }
  void SetCurrentPosition(double seconds) override;
  double Duration() const override { return url_.isEmpty() ? 0.0 : duration; }
  void SetMute(bool m) override { muted = m; log << QStringLiteral("mute"); }
  bool AtEnd() const override { return atEnd; }

  // Test controls.
  void SetStateNow(int state);              // changes the state and reports it at once
  void SetPositionNow(double seconds) { position_ = seconds; }
  void ReportPosition(double oldPos, double newPos);  // emits PositionChange now
  void RunToEnd();  // the media plays to its end: stopped there, reported at once

  int delayMs = 0;            // how long a state change takes to arrive
  bool respondToPlay = true;  // false: Play() never leads to the playing state
  bool respondToPause = true;
  bool respondToStop = true;
  double duration = 60.0;
  QString status = QStringLiteral("準備完了");
  bool muted = false;
  bool atEnd = false;
  QStringList log;                     // "url:...", "play", "pause", "stop", "seek:15.2", "mute"
  std::vector<double> positionWrites;  // every SetCurrentPosition

 private:
  void Arrive(int state);
  QString url_;
  int state_ = PlayState::Undefined;
  double position_ = 0.0;
};

}  // namespace kemo
