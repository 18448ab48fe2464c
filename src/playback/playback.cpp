#include "playback/playback.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "document/editor.h"
#include "document/state_machine.h"
#include "platform/media_player.h"
#include "platform/services.h"
#include "playback/player_wait.h"
#include "playback/sync.h"
#include "document/time_text.h"
#include "playback/playback_state.h"

namespace kemo {

namespace {

// The longest the end waits for the player to start and then to stop.
constexpr int kEndPlayMs = 250;
constexpr int kEndStopMs = 750;

bool IsPlayingState(uint8_t s) { return s == State::Playing || s == State::RecordPlaying || s == State::EditPlaying; }

void ShowTime(Editor& ed, double t) {
  if (ed.ui.dispTime) ed.ui.dispTime->setText(FormatTimeText(t));
}

}  // namespace

void SyncAll(Editor& ed, float t, SyncOrder order) {
  ed.playback->LastSyncTime = t;
  ++ed.playback->SyncRuns;
  if (order == SyncOrder::PointFirst) {
    SyncPointRow(ed, t);
    SyncSlideRow(ed, t);
    SyncSlideEditRow(ed, t);
  } else {
    SyncSlideRow(ed, t);
    SyncSlideEditRow(ed, t);
    SyncPointRow(ed, t);
  }
}

double SeekStep(int index) {
  static constexpr double kSteps[6] = {-30, -5, -1, 1, 5, 30};
  return index >= 0 && index < 6 ? kSteps[index] : 0.0;
}

void OnPlayStateChange(Editor& ed, int newState) {
  // The shutdown plays and stops the muted player; that moves nothing on the way out.
  if (ed.playback->Closing) return;
  MediaPlayer* player = ed.svc.player;
  if (ed.ui.WMPVstate) {
    switch (newState) {
      case PlayState::Stopped: ed.ui.WMPVstate->setText(QStringLiteral("停止中")); break;
      case PlayState::Paused: ed.ui.WMPVstate->setText(QStringLiteral("一時停止中")); break;
      case PlayState::Playing: ed.ui.WMPVstate->setText(QStringLiteral("再生中")); break;
      case PlayState::Ready: ed.ui.WMPVstate->setText(QStringLiteral("準備完了")); break;
      case PlayState::Last: break;
      default: ed.ui.WMPVstate->setText(QString()); break;
    }
  }
  // A video that played to its end keeps showing its end position instead of jumping back to 0.
  // A stop the user asked for goes where the player went (its start): the time label, the grids
  // and the stage follow it there.
  const uint8_t s = ed.EditorState;
  if (player && newState == PlayState::Stopped) {
    if (player->AtEnd()) {
      if (s == State::Playing || s == State::RecordPaused || s == State::RecordPlaying || s == State::EditPlaying)
        player->SetCurrentPosition(player->Duration());
    } else if (player->HasMedia()) {
      const double t = CutToMilliseconds(player->CurrentPosition());
      ShowTime(ed, t);
      SyncAll(ed, static_cast<float>(t), SyncOrder::PointFirst);
    }
  }
  if (player && newState == PlayState::Last) {
    player->Stop();
    player->SetCurrentPosition(player->Duration());
  }
  const bool seekable = newState == PlayState::Stopped || newState == PlayState::Paused ||
                        newState == PlayState::Playing || newState == PlayState::Ready;
  for (QPushButton* b : ed.ui.cbPlay)
    if (b) b->setEnabled(seekable);
  ChangeState(ed, newState == PlayState::Playing ? ModeEvent::Started : ModeEvent::Stopped);
  RefreshModeDisplay(ed);
}

void OnPositionChange(Editor& ed, double /*oldPosition*/, double newPosition) {
  if (ed.playback->Closing) return;
  ShowTime(ed, CutToMilliseconds(newPosition));
  const uint8_t s = ed.EditorState;
  if (s != State::Idle && s != State::RecordPaused && s != State::EditPaused)
    SyncAll(ed, static_cast<float>(newPosition), SyncOrder::PointFirst);
}

void OnPlayTimerTick(Editor& ed) {
  if (ed.playback->Closing) return;
  MediaPlayer* player = ed.svc.player;
  const double t = CutToMilliseconds(player ? player->CurrentPosition() : 0.0);
  ShowTime(ed, t);
  if (IsPlayingState(ed.EditorState)) {
    const int ps = player ? player->PlayState() : PlayState::Undefined;
    if (ps != PlayState::Playing && ps != PlayState::Paused) return;
  }
  SyncAll(ed, static_cast<float>(t), SyncOrder::SlideFirst);
}

bool PreparePlayerForSeek(Editor& ed) {
  MediaPlayer* player = ed.svc.player;
  if (!player) return true;
  if (ed.svc.pointer) ed.svc.pointer->SetWait(true);
  player->Play();
  if (WaitForPlayerEnd(ed, [player] { return player->PlayState() == PlayState::Playing; }) == WaitEnd::Abandoned)
    return false;
  player->Pause();
  return WaitForPlayerEnd(ed, [player] { return player->PlayState() == PlayState::Paused; }) != WaitEnd::Abandoned;
}

double ClampToMedia(const MediaPlayer* player, double seconds) {
  if (!(seconds > 0.0)) return 0.0;  // also NaN
  const double duration = player ? player->Duration() : 0.0;
  return duration > 0.0 && seconds > duration ? duration : seconds;
}

namespace {

// Brings a loaded but never started (or stopped) video into pause, writes the target, clamped to
// the media, and synchronises the grids to what was written. `target` is computed from the position
// read before the preparation.
void SeekPlayer(Editor& ed, const std::function<double()>& target) {
  MediaPlayer* player = ed.svc.player;
  if (player) {
    const int ps = player->PlayState();
    // Loaded but not started: a position written now would not take.
    if ((ps == PlayState::Stopped || ps == PlayState::Ready) && !PreparePlayerForSeek(ed)) return;
  }
  const double t = ClampToMedia(player, target());
  if (player) player->SetCurrentPosition(t);
  // The grids follow the time asked for, not what the player reports back.
  SyncAll(ed, static_cast<float>(t), SyncOrder::PointFirst);
}

}  // namespace

void OnSeekButton(Editor& ed, int index) {
  if (index < 0 || index > 5) return;
  MediaPlayer* player = ed.svc.player;
  const double p = player ? player->CurrentPosition() : 0.0;
  SeekPlayer(ed, [p, index] { return p + SeekStep(index); });
}

void OnPlayerSeekRequest(Editor& ed, double seconds) {
  SeekPlayer(ed, [seconds] { return seconds; });
}

void ShutDownPlayer(Editor& ed) {
  ed.playback->Closing = true;
  if (ed.ui.playTimer) ed.ui.playTimer->stop();
  MediaPlayer* player = ed.svc.player;
  // A player without media (no folder, no Video.avi, a file it cannot play) never reports
  // stopped: it counts as stopped, and there is nothing to wait for.
  if (!player || !player->HasMedia()) return;
  if (ed.svc.pointer) ed.svc.pointer->SetWait(true);
  // What the window did before (it hid) reaches the screen first: the player's calls hold the
  // thread while the media pipeline changes state (a stop takes some 300 ms).
  SleepProcessingEvents(20);
  player->SetMute(true);
  // Started and stopped, muted, as the end has always done; each step waits only until the player
  // reports it (the real one within a tenth of a second). By now the exit question has been
  // answered and nothing is left to write, so a player that never answers holds the end a second at
  // most, not the five seconds of the other waits.
  player->Play();
  WaitAtMost(kEndPlayMs, [player] {
    const int s = player->PlayState();
    return s == PlayState::Playing || s == PlayState::Buffering || !player->HasMedia();
  });
  player->Stop();
  WaitAtMost(kEndStopMs, [player] { return player->PlayState() == PlayState::Stopped || !player->HasMedia(); });
  if (ed.svc.pointer) ed.svc.pointer->SetWait(false);
}

void WirePlayback(Editor& ed) {
  MediaPlayer* player = ed.svc.player;
  QObject* context = ed.ui.frmMain ? static_cast<QObject*>(ed.ui.frmMain) : static_cast<QObject*>(player);
  Editor* e = &ed;
  if (player && context) {
    QObject::connect(player, &MediaPlayer::PlayStateChange, context, [e](int s) { OnPlayStateChange(*e, s); });
    QObject::connect(player, &MediaPlayer::PositionChange, context,
                     [e](double o, double n) { OnPositionChange(*e, o, n); });
    QObject::connect(player, &MediaPlayer::SeekRequested, context, [e](double t) { OnPlayerSeekRequest(*e, t); });
  }
  if (ed.ui.playTimer)
    QObject::connect(ed.ui.playTimer, &QTimer::timeout, ed.ui.playTimer, [e] { OnPlayTimerTick(*e); });
  for (int i = 0; i < 6; ++i) {
    QPushButton* b = ed.ui.cbPlay[i];
    if (b) QObject::connect(b, &QPushButton::clicked, b, [e, i] { OnSeekButton(*e, i); });
  }
}

}  // namespace kemo
