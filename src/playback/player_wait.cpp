#include "playback/player_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "document/editor.h"
#include "platform/media_player.h"
#include "platform/services.h"
#include "playback/playback_state.h"

namespace kemo {

namespace {
constexpr int kWaitMs = 5000;
}

void OnWaitTimerTick(Editor& ed) {
  ed.WaitTimedOut = true;
  if (ed.svc.pointer) ed.svc.pointer->SetWait(false);
}

WaitEnd WaitForPlayerEnd(Editor& ed, const std::function<bool()>& done) {
  ed.WaitTimedOut = false;
  // Enabling a timer that still runs from a timed-out wait does not restart its count.
  if (ed.ui.WaitTm && !ed.ui.WaitTm->isActive()) ed.ui.WaitTm->start(kWaitMs);
  ++ed.playback->WaitDepth;
  MediaPlayer* player = ed.svc.player;
  const int media = player ? player->MediaSerial() : 0;
  const bool closing = ed.playback->Closing;
  QElapsedTimer own;
  own.start();
  WaitEnd end = WaitEnd::TimedOut;
  for (;;) {
    if ((!closing && ed.playback->Closing) || (player && player->MediaSerial() != media)) {
      end = WaitEnd::Abandoned;
      break;
    }
    if (done()) {
      end = WaitEnd::Reached;
      break;
    }
    if (ed.WaitTimedOut) break;
    // A wait run inside this one may have stopped WaitTm or cleared the flag. Ending here counts
    // as WaitTm's tick: it runs on from now, as after any time-out, and a tick that fell due in the
    // same moment does not end the next wait at once.
    if (own.elapsed() >= kWaitMs) {
      if (ed.ui.WaitTm) ed.ui.WaitTm->start(kWaitMs);
      OnWaitTimerTick(ed);
      break;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  --ed.playback->WaitDepth;
  if (end == WaitEnd::Reached && ed.ui.WaitTm) ed.ui.WaitTm->stop();
  if (end != WaitEnd::TimedOut && ed.svc.pointer) ed.svc.pointer->SetWait(false);
  return end;
}

bool WaitForPlayer(Editor& ed, const std::function<bool()>& done) {
  return WaitForPlayerEnd(ed, done) == WaitEnd::Reached;
}

void SleepProcessingEvents(int ms) { WaitAtMost(ms, [] { return false; }); }

bool WaitAtMost(int ms, const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  for (;;) {
    if (done()) return true;
    if (t.elapsed() >= ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
}

}  // namespace kemo
