// Registering a recorded run into a full track, and one sample of the recorder, in the real window.
#include <QCheckBox>
#include <algorithm>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <ctime>

#include "document/editor.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/stage.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

// CPU time of this thread: the figure that does not depend on what else the machine runs.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void FillPoints(PointArray& a, int count, double start, double step, const QString& mark) {
  a.ClearRange(0, kSlots);
  for (int i = 0; i < count; ++i) {
    PointRecord& p = a[i];
    p.id = static_cast<int16_t>(i + 1);
    p.t = start + i * step;
    p.timeText = FormatTimeText(p.t);
    p.x = QString::number((i % 100) / 100.0);
    p.y = QString::number((i % 37) / 37.0);
    p.mark = mark;
  }
}

// N registered points one second apart and N/2 recorded ones over the middle of the track (N = 360
// and the table's limit, 3600; no table holds more): the question (answered Yes by the script), the
// merge, the point table, the stage and its markers.
void BM_RegisterRecordedPoints(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  test::Window w;
  Editor& ed = w.ed();
  ed.EditorState = State::Idle;
  RefreshModeDisplay(ed);
  PointArray cur{}, rec{};
  FillPoints(cur, n, 0.0, 1.0, ed.SymOff());
  FillPoints(rec, n / 2, n / 4 + 0.25, 1.0, ed.SymOn());
  double cpuMs = 0;
  for (auto _ : state) {
    ed.Cur = cur;
    ed.CurCnt = static_cast<int16_t>(n);
    ed.recCur = rec;
    ed.recCurCnt = static_cast<int16_t>(n / 2);
    w.messages.Clear();
    QElapsedTimer t;
    t.start();
    const double cpu0 = ThreadSeconds();
    RegisterRecordedPoints(ed);
    cpuMs += (ThreadSeconds() - cpu0) * 1000;
    state.SetIterationTime(t.nsecsElapsed() / 1e9);
    // The run replaces the n/2 - 1 registered points inside its span and adds one more.
    if (ed.CurCnt != std::min(n + 1, MaxRecords)) state.SkipWithError("merge lost points");
  }
  state.counters["thread_cpu_ms"] = benchmark::Counter(cpuMs / state.iterations());
}
BENCHMARK(BM_RegisterRecordedPoints)->Arg(360)->Arg(MaxRecords)->UseManualTime()->Unit(benchmark::kMillisecond);

// One accepted sample while the video plays: the slot, its marker and the status line.
void BM_SampleRecordTick(benchmark::State& state) {
  test::Window w;
  Editor& ed = w.ed();
  ed.EditorState = State::RecordPlaying;
  ed.ui.ckRecDisp->setChecked(true);
  Stage* img = ed.ui.img;
  double t = 0;
  int n = 0;
  double cpuUs = 0;
  OnStageMouseDown(ed);
  for (auto _ : state) {
    if (ed.recCurCnt >= MaxRecords - 1) {
      state.PauseTiming();
      ClearRecordedPoints(ed);
      state.ResumeTiming();
    }
    t += 0.01;
    w.player.SetPositionNow(t);
    w.pointer.position = img->mapToGlobal(QPoint(n % img->width(), (n * 7) % img->height()));
    ++n;
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = ThreadSeconds();
    SampleRecordTick(ed);
    cpuUs += (ThreadSeconds() - cpu0) * 1e6;
    state.SetIterationTime(timer.nsecsElapsed() / 1e9);
  }
  state.counters["thread_cpu_us"] = benchmark::Counter(cpuUs / state.iterations());
  OnStageMouseUp(ed);
}
BENCHMARK(BM_SampleRecordTick)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
