// The stage and the synchronisation at their largest: 3600 slides and 3600 points, the real main
// window on the offscreen platform.
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

#include "document/tables.h"
#include "platform/paths.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "playback/stage_view.h"
#include "playback/sync.h"
#include "document/time_text.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

constexpr int kCount = 3600;
constexpr double kTrack = 3600.0;  // seconds: a slide and a point every second

struct StageFixture {
  test::Window w;
  QTemporaryDir data;
  Editor& ed() { return w.ed(); }

  StageFixture() {
    Editor& e = w.ed();
    // KEMO_LAYOUT_SCALE=2 measures a window twice the design size (every control, the stage and
    // its markers twice as large); QT_SCALE_FACTOR scales the device pixels the canvases use.
    const double scale = qEnvironmentVariableIsSet("KEMO_LAYOUT_SCALE")
                             ? QString::fromLocal8Bit(qgetenv("KEMO_LAYOUT_SCALE")).toDouble()
                             : 1.0;
    if (scale > 0 && scale != 1.0) {
      w.window->resize(FrmMain::DesignClientSize() * scale + QSize(0, w.window->menuBar()->sizeHint().height()));
      SetLayoutScale(scale);
      ApplyLayoutScale(w.window->centralWidget());
    }
    e.DataFolder = data.path();
    // A lecture reuses a handful of slide pictures of the usual size.
    const QColor colours[5] = {Qt::blue, Qt::darkGreen, Qt::darkRed, Qt::darkCyan, Qt::darkMagenta};
    for (int i = 0; i < 5; ++i)
      test::WriteJpeg(JoinPath(data.path(), QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0'))), 1024, 768,
                      colours[i]);
    for (int i = 0; i < kCount; ++i) {
      SlideRecord& s = e.Sld[i];
      s.id = static_cast<int16_t>(i + 1);
      s.pos = i * kTrack / kCount;
      s.timeText = FormatTimeText(s.pos);
      s.caption = QStringLiteral("スライド %1").arg(i + 1);
      s.image = QStringLiteral("%1.jpg").arg(i % 5, 3, 10, QLatin1Char('0'));
      PointRecord& p = e.Cur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = i * kTrack / kCount + 0.5;
      p.timeText = FormatTimeText(p.t);
      p.x = QString::number((i * 37 % 100) / 100.0);
      p.y = QString::number((i * 53 % 100) / 100.0);
    }
    e.SldCnt = kCount;
    e.CurCnt = kCount;
    BuildSlideTable(e);
    BuildSlideEditTable(e, true);  // a working copy, as after slide editing: both slide syncs run
    BuildPointTable(e);
    BuildStageView(e);
    LayoutPointMarkers(e, false);
    test::Pump(50);
  }
};

// An image of the stage in device pixels, as the window's backing store has it.
QImage Canvas(const Stage* stage) {
  const qreal dpr = stage->devicePixelRatioF();
  QImage canvas(stage->size() * dpr, QImage::Format_RGB32);
  canvas.setDevicePixelRatio(dpr);
  return canvas;
}

StageFixture& Fixture() {
  static auto* f = new StageFixture;  // lives until the process ends, as the window would
  return *f;
}

// One tick of the playback timer: the three synchronisations for a time 100 ms on, and the stage
// redrawn where it changed (into an image of the stage, as the window's paint would).
void BM_SyncTick(benchmark::State& state) {
  StageFixture& f = Fixture();
  Editor& ed = f.ed();
  Stage* stage = ed.ui.img;
  QImage canvas = Canvas(stage);
  double t = 0;
  const int checks = stage->Files().FileChecks();
  int64_t ticks = 0;
  for (auto _ : state) {
    const float ft = static_cast<float>(t);
    SyncSlideRow(ed, ft);
    SyncSlideEditRow(ed, ft);
    SyncPointRow(ed, ft);
    QPainter p(&canvas);
    stage->RenderPending(p);
    t += 0.1;
    if (t >= kTrack) t = 0;
    ++ticks;
  }
  state.counters["file_checks_per_tick"] =
      static_cast<double>(stage->Files().FileChecks() - checks) / static_cast<double>(std::max<int64_t>(1, ticks));
}
BENCHMARK(BM_SyncTick)->Unit(benchmark::kMicrosecond);

// The same with the window shown and repainted at once after every tick: the stage and whatever
// else the toolkit has to paint then (the grids whose rows moved).
void BM_SyncTickShownWindow(benchmark::State& state) {
  StageFixture& f = Fixture();
  Editor& ed = f.ed();
  Stage* stage = ed.ui.img;
  f.w.window->show();
  test::Pump(50);
  double t = 0;
  for (auto _ : state) {
    const float ft = static_cast<float>(t);
    SyncSlideRow(ed, ft);
    SyncSlideEditRow(ed, ft);
    SyncPointRow(ed, ft);
    const QRegion dirty = stage->PendingRegion();
    if (!dirty.isEmpty()) stage->repaint(dirty);
    t += 0.1;
    if (t >= kTrack) t = 0;
  }
  f.w.window->hide();
}
BENCHMARK(BM_SyncTickShownWindow)->Unit(benchmark::kMicrosecond);

void BM_LayoutPointMarkers(benchmark::State& state) {
  StageFixture& f = Fixture();
  for (auto _ : state) LayoutPointMarkers(f.ed(), false);
}
BENCHMARK(BM_LayoutPointMarkers)->Unit(benchmark::kMillisecond);

void BM_StagePaint(benchmark::State& state) {
  StageFixture& f = Fixture();
  Stage* stage = f.ed().ui.img;
  LayoutPointMarkers(f.ed(), true);
  QImage canvas = Canvas(stage);
  for (auto _ : state) {
    QPainter p(&canvas);
    stage->Render(p, QRect(QPoint(0, 0), stage->size()));
  }
  state.counters["canvas_width_px"] = canvas.width();
  LayoutPointMarkers(f.ed(), false);
}
BENCHMARK(BM_StagePaint)->Unit(benchmark::kMillisecond);

}  // namespace
