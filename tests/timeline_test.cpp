// The timeline: the waveform's peaks of a real FLV made by ffmpeg (tones and silences at known
// times) at each level of detail, their cache, the zoom about the mouse, and a slide edge dragged
// in the real window with and without snapping.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include "document/history.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "support/test_support.h"
#include "timeline/peak_cache.h"
#include "timeline/peak_job.h"
#include "timeline/timeline_strip.h"
#include "timeline/timeline_view.h"
#include "timeline/waveform_peaks.h"

using namespace kemo;

namespace {

// Tones of 0.5 at [2, 4) and [6.5, 7.25) seconds, silence elsewhere, 10 s, with a picture.
// The sound is stored as PCM so that the decoded times are the generated ones.
bool MakeToneFlv(const QString& path) {
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("testsrc=duration=10:size=160x120:rate=10"), QStringLiteral("-f"), QStringLiteral("lavfi"),
           QStringLiteral("-i"),
           QStringLiteral("aevalsrc=exprs='if(between(t,2,4)+between(t,6.5,7.25),0.5*sin(2*PI*440*t),0)':s=44100:d=10"),
           QStringLiteral("-shortest"), QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path});
  return p.waitForFinished(120000) && p.exitCode() == 0;
}

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

// The times at which the sound turns loud or quiet, read from one level.
std::vector<double> Edges(const WaveformPeaks& peaks, int level) {
  std::vector<double> edges;
  bool loud = false;
  const auto& l = peaks.levels[level];
  for (size_t i = 0; i < l.size(); ++i) {
    const bool now = std::max(-int(l[i].lo), int(l[i].hi)) > 30;
    if (now != loud) edges.push_back(i * WaveformPeaks::kSpanSeconds[level]);
    loud = now;
  }
  return edges;
}

struct ToneFolder {
  ToneFolder() {
    folder = JoinPath(root.path(), QStringLiteral("講義"));
    cache = JoinPath(root.path(), QStringLiteral("cache"));
    QDir().mkpath(folder);
    video = JoinPath(folder, QStringLiteral("Video.flv"));
    ok = HaveFfmpeg() && MakeToneFlv(video);
  }
  WaveformRequest Request() const { return {video, folder, QString(), cache}; }
  // Runs a job to its end and returns its status and peaks.
  WaveformStatus Run(WaveformPeaks* peaks) const {
    WaveformJob job;
    job.Start(Request());
    EXPECT_TRUE(job.Wait(60000));
    *peaks = WaveformPeaks();
    job.TakeNew(peaks);
    return job.Status();
  }
  QString CacheFile() const {
    const QStringList files = QDir(cache).entryList({QStringLiteral("*.peaks")}, QDir::Files);
    return files.size() == 1 ? JoinPath(cache, files.first()) : QString();
  }
  QTemporaryDir root;
  QString folder, cache, video;
  bool ok = false;
};

}  // namespace

TEST(TimelinePeaks, TonesAndSilencesAtTheirTimesAtEachLevel) {
  ToneFolder f;
  if (!f.ok) GTEST_SKIP() << "ffmpeg cannot make the FLV";
  WaveformPeaks peaks;
  ASSERT_EQ(f.Run(&peaks), WaveformStatus::Done);
  EXPECT_NEAR(peaks.Seconds(), 10.0, 0.02);
  const std::vector<double> expected = {2.0, 4.0, 6.5, 7.25};
  for (int level = 0; level < WaveformPeaks::kLevels; ++level) {
    const std::vector<double> got = Edges(peaks, level);
    ASSERT_EQ(got.size(), expected.size()) << "level " << level;
    // One span of the level is one pixel at the zoom that draws it.
    for (size_t k = 0; k < got.size(); ++k)
      EXPECT_LE(std::abs(got[k] - expected[k]), WaveformPeaks::kSpanSeconds[level] + 1e-9)
          << "level " << level << " edge " << k;
  }
  // The drawing's per-pixel range at the whole-lecture zoom sees the loud second.
  PeakPair px;
  ASSERT_TRUE(peaks.Range(WaveformPeaks::LevelFor(0.5), 3.0, 3.5, &px));
  EXPECT_GT(px.hi, 80);
  EXPECT_LT(px.lo, -80);
  ASSERT_TRUE(peaks.Range(WaveformPeaks::LevelFor(0.5), 8.5, 9.0, &px));
  EXPECT_LE(std::max(-int(px.lo), int(px.hi)), 2);
}

TEST(TimelinePeaks, CacheUsedThenRebuiltWhenDamagedOrTheVideoChanges) {
  ToneFolder f;
  if (!f.ok) GTEST_SKIP() << "ffmpeg cannot make the FLV";
  // Another folder opened while the peaks are made: the run ends and leaves no cache behind.
  {
    WaveformJob job;
    job.Start(f.Request());
    job.Start({JoinPath(f.root.path(), QStringLiteral("Video.flv")), f.root.path(), QString(), f.cache});
    EXPECT_EQ(job.Status(), WaveformStatus::Failed);
    QThread::msleep(3000);  // longer than the whole run takes
    EXPECT_TRUE(f.CacheFile().isEmpty());
  }
  WaveformPeaks first, again;
  ASSERT_EQ(f.Run(&first), WaveformStatus::Done);
  const QString file = f.CacheFile();
  ASSERT_FALSE(file.isEmpty());
  ASSERT_EQ(f.Run(&again), WaveformStatus::FromCache);
  EXPECT_EQ(again.levels[0].size(), first.levels[0].size());
  EXPECT_EQ(Edges(again, 0), Edges(first, 0));

  // Damage of each kind is noticed, the peaks made again and the file written whole again.
  const QByteArray good = test::ReadFile(file);
  const std::vector<std::pair<const char*, QByteArray>> damages = {
      {"a flipped peak", [&] { QByteArray b = good; b[b.size() / 2] = char(b[b.size() / 2] ^ 0x55); return b; }()},
      {"cut short", good.left(good.size() - 100)},
      {"empty", QByteArray()},
      {"counts claiming more", [&] { QByteArray b = good; b[60] = char(0x7f); return b; }()},
  };
  for (const auto& [what, bytes] : damages) {
    test::WriteFile(file, bytes);
    WaveformPeaks p;
    EXPECT_EQ(f.Run(&p), WaveformStatus::Done) << what;
    EXPECT_EQ(Edges(p, 0), Edges(first, 0)) << what;
    EXPECT_EQ(test::ReadFile(file), good) << what;
  }

  // Another video under the same name: a new cache file, not the old peaks.
  QFile::remove(f.video);
  QProcess p;
  p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"),
                                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                                     QStringLiteral("sine=frequency=300:duration=3"), QStringLiteral("-c:a"),
                                     QStringLiteral("pcm_s16le"), f.video});
  ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0);
  WaveformPeaks other;
  EXPECT_EQ(f.Run(&other), WaveformStatus::Done);
  EXPECT_NEAR(other.Seconds(), 3.0, 0.05);
  EXPECT_EQ(QDir(f.cache).entryList({QStringLiteral("*.peaks")}, QDir::Files).size(), 2);
}

TEST(TimelinePeaks, AccumulatorTakesSamplesSplitAnywhere) {
  // 200 samples: a span of +16384/-32768 then a quiet one, fed in pieces that split samples.
  QByteArray bytes;
  for (int i = 0; i < 160; ++i) {
    const int16_t s = i < 80 ? (i % 2 ? int16_t(16384) : int16_t(-32768)) : int16_t(0);
    bytes.append(char(s & 0xff)).append(char((s >> 8) & 0xff));
  }
  for (int piece : {1, 3, 7, 320}) {
    PeakAccumulator acc;
    for (int at = 0; at < bytes.size(); at += piece) acc.Feed(bytes.constData() + at, std::min<int>(piece, bytes.size() - at));
    acc.Finish();
    const std::vector<PeakPair> spans = acc.TakeSpans();
    ASSERT_EQ(spans.size(), 2u) << piece;
    EXPECT_EQ(spans[0].lo, -127);
    EXPECT_EQ(spans[0].hi, CompandSample(16384));
    EXPECT_EQ(spans[1].lo, 0);
    EXPECT_EQ(spans[1].hi, 0);
  }
}

TEST(TimelineView, ZoomKeepsTheTimeUnderTheMouse) {
  const double duration = 5400;
  const int width = 1200;
  struct Case {
    double start, spp, x, factor;
  } cases[] = {{0, 4.5, 600, 0.8}, {1000, 0.5, 100, 0.5}, {2000, 0.02, 900, 0.8}, {300, 1.0, 1199, 1.25}};
  for (const Case& c : cases) {
    TimelineView v{c.start, c.spp};
    const double before = v.TimeAt(c.x);
    ZoomAround(&v, c.x, c.factor, duration, width);
    EXPECT_NEAR(v.TimeAt(c.x), before, 1e-6) << c.start << " " << c.x;
    EXPECT_NEAR(v.secondsPerPixel, std::min(c.spp * c.factor, duration / width), 1e-9);
  }
  // Neither closer than 10 ms a pixel nor wider than the lecture, nor scrolled past its ends.
  TimelineView v{2000, 0.011};
  ZoomAround(&v, 0, 0.5, duration, width);
  EXPECT_DOUBLE_EQ(v.secondsPerPixel, kFinestSecondsPerPixel);
  ZoomAround(&v, 0, 1e6, duration, width);
  EXPECT_DOUBLE_EQ(v.secondsPerPixel, duration / width);
  EXPECT_DOUBLE_EQ(v.start, 0);
}

namespace {

struct StripWindow : test::Window {
  StripWindow() {
    folder = JoinPath(dir.path(), QStringLiteral("data"));
    // Slides at 0, 10, 20, 30, 40; points every second up to 8 s, then from 20 s (a gap 8..20).
    QStringList points;
    for (int t = 0; t <= 8; ++t) points << QStringLiteral("%1|0.5|0.5").arg(t);
    for (int t = 20; t <= 50; ++t) points << QStringLiteral("%1|0.5|0.5").arg(t);
    OpenFolder(folder, {QStringLiteral("0|一|a.jpg"), QStringLiteral("10|二|b.jpg"), QStringLiteral("20|三|c.jpg"),
                        QStringLiteral("30|四|d.jpg"), QStringLiteral("40|五|e.jpg")},
               points);
    player.duration = 60;
    window->show();
    window->findChild<QAction*>(QStringLiteral("mnuViewTimeline"))->trigger();
    strip = window->findChild<TimelineStrip*>(QStringLiteral("picTimeline"));
    test::Pump(50);
    strip->SetView(TimelineView{0, 0.05});  // 20 px a second
  }
  // Drags slide index's edge to the time `to` (as the pixel of that time), with the modifiers.
  void DragEdge(int index, double to, Qt::KeyboardModifiers mods = {}) {
    strip->Refresh();
    const int y = TimelineRows::For(strip->rect()).slides.center().y();
    const QPoint from(strip->SlideEdgeX(index), y);
    const QPoint target(static_cast<int>(std::lround(strip->View().XOf(to))), y);
    QTest::mousePress(strip, Qt::LeftButton, mods, from);
    QMouseEvent move(QEvent::MouseMove, target, strip->mapToGlobal(target), Qt::NoButton, Qt::LeftButton, mods);
    QCoreApplication::sendEvent(strip, &move);
    QTest::mouseRelease(strip, Qt::LeftButton, mods, target);
  }
  QTemporaryDir dir;
  QString folder;
  TimelineStrip* strip = nullptr;
};

}  // namespace

TEST(TimelineStripWindow, DragsASlideEdgeWithAndWithoutSnappingAsOneUndoStep) {
  StripWindow w;
  ASSERT_NE(w.strip, nullptr);
  Editor& ed = w.ed();
  const int steps = ed.history->StepCount();
  struct Case {
    const char* what;
    double playhead, to;
    Qt::KeyboardModifiers mods;
    double expected;
  } cases[] = {
      {"free", 0, 12.5, {}, 12.5},
      {"onto the playhead", 16.0, 16.1, {}, 16.0},
      {"Alt: no snapping", 16.0, 16.1, Qt::AltModifier, 16.1},
      {"stopped by the next slide", 0, 45.0, {}, 19.999},
      {"onto a pointer gap's edge", 0, 8.15, {}, 8.0},
  };
  int k = 0;
  for (const Case& c : cases) {
    w.player.SetPositionNow(c.playhead);
    w.DragEdge(1, c.to, c.mods);
    EXPECT_DOUBLE_EQ(ed.Sld[1].pos, c.expected) << c.what;
    EXPECT_EQ(ed.history->StepCount(), steps + ++k) << c.what;
    // The slide grid shows the new time on the slide's row.
    EXPECT_EQ(ed.RS_SLD->FieldAt(1, 1).toString(), ed.Sld[1].timeText) << c.what;
    EXPECT_EQ(ed.RS_SLD->CurrentRow(), 1) << c.what;
    EXPECT_TRUE(ed.ContentChanged);
  }
  // Each drop is one step: undone one by one.
  ASSERT_TRUE(UndoChange(ed));
  EXPECT_DOUBLE_EQ(ed.Sld[1].pos, 19.999);
  ASSERT_TRUE(RedoChange(ed));
  // ←/→ move the selected edge by 10 ms, with Shift by 100 ms, each an undo step.
  w.strip->setFocus();
  QTest::keyClick(w.strip, Qt::Key_Right);
  QTest::keyClick(w.strip, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_NEAR(ed.Sld[1].pos, 7.91, 1e-9);
  ASSERT_TRUE(UndoChange(ed));
  EXPECT_NEAR(ed.Sld[1].pos, 8.01, 1e-9);
  EXPECT_EQ(ed.RS_SLD->FieldAt(1, 1).toString(), QStringLiteral("00:08.010"));

  // While the video plays nothing moves.
  w.player.SetStateNow(PlayState::Playing);
  test::Pump(20);
  const double before = ed.Sld[2].pos;
  w.DragEdge(2, 25.0);
  EXPECT_DOUBLE_EQ(ed.Sld[2].pos, before);
}

TEST(TimelineStripWindow, DoubleClickSelectsTheGridRowAndTheGridScrollsTheStrip) {
  StripWindow w;
  const int y = TimelineRows::For(w.strip->rect()).slides.center().y();
  QTest::mouseDClick(w.strip, Qt::LeftButton, {}, QPoint(w.strip->View().XOf(35), y));
  EXPECT_EQ(w.ed().RS_SLD->CurrentRow(), 3);
  w.strip->SetView(TimelineView{0, 0.01});  // 0..~8 s in view
  w.ed().RS_SLD->MoveTo(4);
  const int x = w.strip->SlideEdgeX(4);
  EXPECT_GE(x, 0);
  EXPECT_LE(x, w.strip->width());
  EXPECT_EQ(w.strip->SelectedSlide(), 4);
}

// The slides' pictures come to the strip as they are decoded off the window's thread; a picture
// that cannot be read leaves its slide without one.
TEST(TimelineStripWindow, ThumbnailsArriveFromTheirPictures) {
  StripWindow w;
  test::WriteJpeg(JoinPath(w.folder, QStringLiteral("b.jpg")), 320, 240, Qt::red);
  test::WriteFile(JoinPath(w.folder, QStringLiteral("c.jpg")), QByteArray("not a picture"));
  w.strip->ResetFolder();  // the pictures looked at again
  w.strip->SetView(TimelineView{0, 0.05});
  const QRect slides = TimelineRows::For(w.strip->rect()).slides;
  const auto colourAt = [&](double t) {
    const QImage shot = w.strip->grab().toImage();
    return shot.pixelColor(static_cast<int>(w.strip->View().XOf(t)) + 3 + kThumbWidth / 2, slides.center().y());
  };
  QColor b, c;
  const auto red = [](const QColor& k) { return k.red() > 200 && k.green() < 80 && k.blue() < 80; };
  for (int i = 0; i < 250 && !red(b = colourAt(10)); ++i) test::Pump(20);
  c = colourAt(20);
  EXPECT_TRUE(red(b)) << b.name().toStdString();
  EXPECT_GT(c.green(), 150) << c.name().toStdString();  // the slide's own colour, no picture
}

TEST(TimelineView, SnapTargetsAndNeighbourLimits) {
  // Silences from the finest level: quiet runs of at least the asked length, their edges exact.
  WaveformPeaks peaks;
  peaks.levels[0].assign(500, PeakPair{-90, 90});  // 5 s of sound
  for (int i = 100; i < 150; ++i) peaks.levels[0][i] = {-3, 4};  // 1.0..1.5 s quiet
  for (int i = 300; i < 310; ++i) peaks.levels[0][i] = {0, 0};   // 0.1 s: too short
  for (int i = 480; i < 500; ++i) peaks.levels[0][i] = {0, 0};   // 4.8 s to the end
  const std::vector<TimeSpan> silences = FindSilences(peaks, 8, 0.3);
  ASSERT_EQ(silences.size(), 1u);
  EXPECT_DOUBLE_EQ(silences[0].start, 1.0);
  EXPECT_DOUBLE_EQ(silences[0].end, 1.5);
  EXPECT_EQ(FindSilences(peaks, 8, 0.2).size(), 2u);  // the last 0.2 s too
  EXPECT_EQ(FindSilences(peaks, 2, 0.3).size(), 0u);  // the quiet run is above this threshold

  const std::vector<TimeSpan> gaps = FindPointGaps({0, 1, 2, 13.5, 14, 30}, 10);
  ASSERT_EQ(gaps.size(), 2u);
  EXPECT_DOUBLE_EQ(gaps[0].start, 2);
  EXPECT_DOUBLE_EQ(gaps[1].end, 30);

  const std::vector<double> targets = SnapTargets(7.0, silences, gaps);
  struct Case {
    double t, tolerance, expected;
    bool snapped;
  } cases[] = {{6.9, 0.2, 7.0, true}, {1.45, 0.1, 1.5, true}, {1.25, 0.1, 1.25, false},
               {13.4, 0.2, 13.5, true}, {2.0, 0.0, 2.0, true}, {50, 1, 50, false}};
  for (const Case& c : cases) {
    bool snapped = false;
    EXPECT_DOUBLE_EQ(SnapTime(c.t, targets, c.tolerance, &snapped), c.expected) << c.t;
    EXPECT_EQ(snapped, c.snapped) << c.t;
  }

  // A slide stays a millisecond inside its neighbours; the first from 0, the last to the end.
  const std::vector<double> slides = {0, 10, 20};
  EXPECT_DOUBLE_EQ(SlideTimeRange(slides, 1, 60).lo, 0.001);
  EXPECT_DOUBLE_EQ(SlideTimeRange(slides, 1, 60).hi, 19.999);
  EXPECT_DOUBLE_EQ(SlideTimeRange(slides, 0, 60).lo, 0);
  EXPECT_DOUBLE_EQ(SlideTimeRange(slides, 2, 60).hi, 60);
}
