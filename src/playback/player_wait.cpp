#include "playback/player_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "document/editor.h"
#include "platform/services.h"

namespace kemo {

namespace {
constexpr int kWaitMs = 5000;
}

void OnWaitTimerTick(Editor& ed) {
  ed.WaitTimedOut = true;
  if (ed.svc.pointer) ed.svc.pointer->SetWait(false);
}

bool WaitForPlayer(Editor& ed, const std::function<bool()>& done) {
  ed.WaitTimedOut = false;
  // Enabling a timer that still runs from a timed-out wait does not restart its count.
  if (ed.ui.WaitTm && !ed.ui.WaitTm->isActive()) ed.ui.WaitTm->start(kWaitMs);
  ++ed.playback.WaitDepth;
  QElapsedTimer fallback;  // stands in for WaitTm where a test runs the procedures without one
  fallback.start();
  bool reached = false;
  for (;;) {
    if (done()) {
      reached = true;
      break;
    }
    if (ed.WaitTimedOut) break;
    if (!ed.ui.WaitTm && fallback.elapsed() >= kWaitMs) {
      OnWaitTimerTick(ed);
      break;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  --ed.playback.WaitDepth;
  if (reached) {
    if (ed.ui.WaitTm) ed.ui.WaitTm->stop();
    if (ed.svc.pointer) ed.svc.pointer->SetWait(false);
  }
  return reached;
}

void SleepProcessingEvents(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
}

}  // namespace kemo
