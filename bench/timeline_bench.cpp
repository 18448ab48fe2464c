// The timeline: the waveform of a 90-minute lecture made the first time (beside the bare decode of
// the same file by ffmpeg, run before and after it), read back from the cache, the drawing of
// 3600 slides and 3600 points, the longest wait of the window's loop while the peaks are made, and
// the memory the strip takes with a 3-hour lecture.
//
// The lectures (FLV, 160 x 120 at 5 frames a second, MP3 sound with a pause every 7 s) are made
// once into bench-data/ beside bin/ and kept for later runs.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "document/editor.h"
#include "platform/paths.h"
#include "timeline/peak_cache.h"
#include "timeline/peak_job.h"
#include "timeline/timeline_paint.h"
#include "timeline/timeline_strip.h"

using namespace kemo;

namespace {

// The lecture of `minutes` in bench-data/, made when it is not there yet; "" when ffmpeg fails.
QString Lecture(int minutes) {
  const QString dir = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../bench-data/lecture-%1").arg(minutes));
  const QString video = JoinPath(dir, QStringLiteral("Video.flv"));
  if (QFileInfo(video).size() > 0) return video;
  QDir().mkpath(dir);
  const QString seconds = QString::number(minutes * 60);
  const QString part = JoinPath(dir, QStringLiteral("part.flv"));
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
           QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=duration=%1:size=160x120:rate=5").arg(seconds),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("sine=frequency=220:sample_rate=22050:duration=%1,volume=enable='gt(mod(t,7),5)':volume=0").arg(seconds),
           QStringLiteral("-shortest"), QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-b:a"), QStringLiteral("48k"), part});
  if (!p.waitForFinished(-1) || p.exitCode() != 0 || !QFile::rename(part, video)) return {};
  return video;
}

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

// The bare decode of the same sound by ffmpeg, into the null device; -1 when it fails.
double BareDecodeSeconds(const QString& video) {
  QProcess ffmpeg;
  ffmpeg.setStandardInputFile(video);
  ffmpeg.setStandardOutputFile(QProcess::nullDevice());
  ffmpeg.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer t;
  t.start();
  ffmpeg.start(QStringLiteral("ffmpeg"), WaveformDecodeArguments(false));
  ffmpeg.waitForFinished(-1);
  return ffmpeg.exitCode() == 0 ? t.nsecsElapsed() / 1e9 : -1;
}

WaveformRequest RequestFor(const QString& video, const QString& cache) {
  return {video, QFileInfo(video).absolutePath(), QString(), cache};
}

void BM_WaveformPeaks(benchmark::State& state) {
  const QString video = HaveFfmpeg() ? Lecture(90) : QString();
  if (video.isEmpty()) return state.SkipWithError("ffmpeg cannot make the lecture");
  double bare = BareDecodeSeconds(video), ours = 0;
  int runs = 0;
  for (auto _ : state) {
    QTemporaryDir cache;
    QElapsedTimer t;
    t.start();
    WaveformJob job;
    job.Start(RequestFor(video, cache.path()));
    job.Wait(600000);
    WaveformPeaks peaks;
    job.TakeNew(&peaks);
    const double s = t.nsecsElapsed() / 1e9;
    state.SetIterationTime(s);
    ours += s;
    ++runs;
    if (job.Status() != WaveformStatus::Done) return state.SkipWithError("the job failed");
    benchmark::DoNotOptimize(peaks.levels[2].data());
  }
  bare = (bare + BareDecodeSeconds(video)) / 2;
  state.counters["bare_s"] = bare;
  state.counters["ratio"] = ours / runs / bare;
}
BENCHMARK(BM_WaveformPeaks)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_WaveformCached(benchmark::State& state) {
  const QString video = HaveFfmpeg() ? Lecture(90) : QString();
  if (video.isEmpty()) return state.SkipWithError("ffmpeg cannot make the lecture");
  QTemporaryDir cache;
  {
    WaveformJob job;
    job.Start(RequestFor(video, cache.path()));
    job.Wait(600000);
  }
  const QStringList files = QDir(cache.path()).entryList({QStringLiteral("*.peaks")}, QDir::Files);
  if (files.size() != 1) return state.SkipWithError("no cache was written");
  for (auto _ : state) {
    WaveformJob job;
    job.Start(RequestFor(video, cache.path()));
    job.Wait(600000);
    WaveformPeaks peaks;
    job.TakeNew(&peaks);
    if (job.Status() != WaveformStatus::FromCache) return state.SkipWithError("the cache was not used");
    benchmark::DoNotOptimize(peaks.levels[2].data());
  }
  state.counters["cache_MB"] = QFileInfo(JoinPath(cache.path(), files.first())).size() / 1048576.0;
}
BENCHMARK(BM_WaveformCached)->Unit(benchmark::kMillisecond);

// 3600 slides and 3600 points over 90 minutes, with peaks of speech and pauses, drawn at the whole
// lecture (arg 0), 1 s a pixel (1) and 10 ms a pixel (2) into a strip 1600 pixels wide.
void BM_TimelinePaint(benchmark::State& state) {
  const double duration = 5400;
  WaveformPeaks peaks;
  peaks.levels[0].resize(static_cast<size_t>(duration * 100));
  for (size_t i = 0; i < peaks.levels[0].size(); ++i) {
    const int a = (i / 100) % 7 < 5 ? static_cast<int>(40 + (i * 37) % 80) : 2;
    peaks.levels[0][i] = {static_cast<int8_t>(-a), static_cast<int8_t>(a)};
  }
  peaks.DeriveCoarseLevels();
  std::vector<TimelineSlide> slides(3600);
  for (int i = 0; i < 3600; ++i) slides[i] = {i * 1.5, QStringLiteral("第%1回 スライドのタイトル").arg(i + 1)};
  std::vector<double> points(3600);
  for (int i = 0; i < 3600; ++i) points[i] = i * 1.2 + (i % 100 == 0 ? 0.0 : 0.3);
  const std::vector<TimeSpan> gaps = FindPointGaps(points, kPointGapSeconds);
  QImage thumb(kThumbWidth, kThumbHeight, QImage::Format_RGB32);
  thumb.fill(Qt::darkCyan);
  QImage canvas(1600, kTimelineHeight, QImage::Format_RGB32);
  TimelineScene scene;
  scene.duration = duration;
  scene.playhead = 2000;
  scene.peaks = &peaks;
  scene.slides = &slides;
  scene.pointTimes = &points;
  scene.pointGaps = &gaps;
  scene.thumbnail = [&](int) { return &thumb; };
  const double spp[] = {duration / 1600, 1.0, 0.01};
  scene.view = {state.range(0) == 0 ? 0.0 : 1990.0, spp[state.range(0)]};
  for (auto _ : state) {
    QPainter p(&canvas);
    PaintTimeline(p, canvas.rect(), scene);
  }
}
BENCHMARK(BM_TimelinePaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

long RssKb() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return 0;
}

// The window's loop while the peaks of the 90-minute lecture are made the first time: the strip
// (real, on the offscreen platform) takes the peaks as they arrive and is drawn on each, a timer
// asks for a frame every 10 ms; the longest time between two of its ticks is the longest wait.
// Also the memory the strip and its peaks take with the 3-hour lecture.
// Also the longest the loop waits with no job at all (the machine's own share, measured first for
// 3 s), and the longest the strip's own work on the window's thread took (taking the peaks and
// drawing them).
struct StripFigures {
  double maxGapMs = 0, baselineGapMs = 0, handlerMs = 0, grownMb = 0;
};

void RunStrip(benchmark::State& state, const QString& video, StripFigures* out) {
  QTemporaryDir cache;
  const long before = RssKb();
  auto ed = std::make_unique<Editor>();
  ed->DataFolder = QFileInfo(video).absolutePath();
  TimelineStrip strip(*ed);
  strip.resize(1600, kTimelineHeight);
  strip.show();
  double handler = 0;
  WaveformJob job([&strip, &job, &handler] {
    QMetaObject::invokeMethod(&strip, [&strip, &job, &handler] {
      QElapsedTimer t;
      t.start();
      if (job.TakeNew(&strip.Peaks())) strip.PeaksChanged();
      strip.SetSoundDuration(job.Duration());
      strip.repaint();
      handler = std::max(handler, t.nsecsElapsed() / 1e6);
    }, Qt::QueuedConnection);
  });
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  double worst = 0;
  QTimer frame;
  frame.setInterval(10);
  QObject::connect(&frame, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    worst = std::max<double>(worst, now - last);
    last = now;
  });
  frame.start();
  last = clock.elapsed();
  while (clock.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  out->baselineGapMs = worst;
  worst = 0;
  job.Start(RequestFor(video, cache.path()));
  last = clock.elapsed();
  while (job.Status() == WaveformStatus::Working) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
  frame.stop();
  // Zoomed in and out, as a user would look at it.
  for (double spp : {1.0, 0.1, 0.01, 10800.0 / 1600}) {
    strip.SetView({1000, spp});
    strip.repaint();
  }
  out->maxGapMs = worst;
  out->handlerMs = handler;
  out->grownMb = (RssKb() - before) / 1024.0;
  if (job.Status() != WaveformStatus::Done) state.SkipWithError("the job failed");
}

void BM_TimelineFrameWait(benchmark::State& state) {
  const QString video = HaveFfmpeg() ? Lecture(90) : QString();
  if (video.isEmpty()) return state.SkipWithError("ffmpeg cannot make the lecture");
  StripFigures f;
  for (auto _ : state) RunStrip(state, video, &f);
  state.counters["max_wait_ms"] = f.maxGapMs;
  state.counters["idle_wait_ms"] = f.baselineGapMs;
  state.counters["own_work_ms"] = f.handlerMs;
}
BENCHMARK(BM_TimelineFrameWait)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TimelineMemory(benchmark::State& state) {
  const QString video = HaveFfmpeg() ? Lecture(180) : QString();
  if (video.isEmpty()) return state.SkipWithError("ffmpeg cannot make the lecture");
  StripFigures f;
  for (auto _ : state) RunStrip(state, video, &f);
  state.counters["rss_growth_MB"] = f.grownMb;
}
BENCHMARK(BM_TimelineMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
