// Export of a lecture as one MP4: the timing of slides, pointer and chapters worked out from the
// tables, the real ffmpeg on a folder made here (checked frame by frame with ffprobe and ffmpeg),
// the command line of the real executable, and the menu command with its dialogs.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/stat.h>

#include "document/state_machine.h"
#include "export/export_command.h"
#include "export/export_frames.h"
#include "export/export_lecture.h"
#include "export/export_plan.h"
#include "export/output_place.h"
#include "export/slide_feed.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

SlideRecord Slide(double pos, const QString& caption = {}, const QString& image = {}) {
  SlideRecord s;
  s.pos = pos;
  s.caption = caption;
  s.image = image;
  return s;
}

PointRecord Point(double t, const QString& x, const QString& y, const QString& mark = {}) {
  PointRecord p;
  p.t = t;
  p.x = x;
  p.y = y;
  p.mark = mark;
  return p;
}

// The editor's executable, built beside the tests.
QString EditorExecutable() { return JoinPath(QCoreApplication::applicationDirPath(), QStringLiteral("kemo-editor")); }

bool HaveFfmpeg() {
  return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty();
}

QByteArray RunTool(const QString& program, const QStringList& args, int timeoutMs = 120000) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(timeoutMs)) return {};
  return p.readAllStandardOutput();
}

QJsonObject Probe(const QString& path) {
  return QJsonDocument::fromJson(RunTool(QStringLiteral("ffprobe"),
                                         {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
                                          QStringLiteral("-show_streams"), QStringLiteral("-show_chapters"),
                                          QStringLiteral("-of"), QStringLiteral("json"), path}))
      .object();
}

double FormatDuration(const QString& path) {
  return Probe(path)[QStringLiteral("format")].toObject()[QStringLiteral("duration")].toString().toDouble();
}

// The top-level boxes of an MP4 file in order ("ftyp", "moov", "mdat", ...).
QStringList TopLevelBoxes(const QString& path) {
  QStringList boxes;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return boxes;
  qint64 at = 0;
  while (at + 8 <= f.size() && boxes.size() < 20) {
    f.seek(at);
    const QByteArray h = f.read(16);
    quint64 size = (quint64(quint8(h[0])) << 24) | (quint64(quint8(h[1])) << 16) | (quint64(quint8(h[2])) << 8) |
                   quint64(quint8(h[3]));
    if (size == 1 && h.size() == 16) {
      size = 0;
      for (int i = 8; i < 16; ++i) size = (size << 8) | quint8(h[i]);
    }
    boxes << QString::fromLatin1(h.mid(4, 4));
    if (size < 8) break;
    at += static_cast<qint64>(size);
  }
  return boxes;
}

// Frames n of a video, decoded as RGB.
std::vector<QImage> Frames(const QString& path, const std::vector<int>& numbers) {
  QString select;
  for (const int n : numbers) select += (select.isEmpty() ? QString() : QStringLiteral("+")) + QStringLiteral("eq(n\\,%1)").arg(n);
  const QByteArray raw = RunTool(QStringLiteral("ffmpeg"),
                                 {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                  QStringLiteral("-i"), path, QStringLiteral("-vf"), QStringLiteral("select=") + select,
                                  QStringLiteral("-vsync"), QStringLiteral("0"), QStringLiteral("-f"),
                                  QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                                  QStringLiteral("pipe:1")});
  std::vector<QImage> frames;
  const qsizetype size = qsizetype(ExportFrame::Width) * ExportFrame::Height * 3;
  for (qsizetype at = 0; at + size <= raw.size(); at += size)
    frames.push_back(QImage(reinterpret_cast<const uchar*>(raw.constData() + at), ExportFrame::Width,
                            ExportFrame::Height, ExportFrame::Width * 3, QImage::Format_RGB888)
                         .copy());
  return frames;
}

bool IsRed(QRgb c) { return qRed(c) > 170 && qGreen(c) < 100 && qBlue(c) < 100; }

// The centre of the red pixels in the slide area, and how many there are.
QPointF RedCentre(const QImage& frame, int* count) {
  int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1;
  *count = 0;
  for (int y = 0; y < ExportFrame::SlideHeight; ++y)
    for (int x = 0; x < ExportFrame::SlideWidth; ++x)
      if (IsRed(frame.pixel(x, y))) {
        ++*count;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
  return *count ? QPointF((minX + maxX + 1) / 2.0, (minY + maxY + 1) / 2.0) : QPointF();
}

// PSNR of the slide area against `expected` (960 x 720), leaving out a square around `skip`.
double SlidePsnr(const QImage& frame, const QImage& expected, QPointF skip) {
  double sum = 0;
  qint64 n = 0;
  for (int y = 0; y < ExportFrame::SlideHeight; ++y)
    for (int x = 0; x < ExportFrame::SlideWidth; ++x) {
      if (std::abs(x - skip.x()) < 16 && std::abs(y - skip.y()) < 16) continue;
      const QRgb a = frame.pixel(x, y), b = expected.pixel(x, y);
      const double dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
      sum += dr * dr + dg * dg + db * db;
      n += 3;
    }
  const double mse = sum / static_cast<double>(n);
  return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

// --- what is in force when -----------------------------------------------------------------------

TEST(ExportPlan, SlideSpansFollowTheSlideTheStageShows) {
  // The first slide stands from the start, before its own time; of two slides at one time the
  // later one is in force after it; a slide past the end is never in force.
  const std::vector<SlideRecord> slides = {Slide(3), Slide(10), Slide(10.0000001), Slide(20), Slide(40)};
  const std::vector<SlideSpan> spans = SlideSpans(slides, 30);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0].slide, 0);
  EXPECT_DOUBLE_EQ(spans[0].start, 0);
  EXPECT_DOUBLE_EQ(spans[0].end, 10);
  EXPECT_EQ(spans[1].slide, 2);
  EXPECT_DOUBLE_EQ(spans[2].start, 20);
  EXPECT_EQ(spans[2].slide, 3);
  EXPECT_DOUBLE_EQ(spans[2].end, 30);

  // Times out of order are taken as the row search takes them: once the last time has passed, the
  // last slide is in force.
  const std::vector<SlideSpan> odd = SlideSpans({Slide(0), Slide(20), Slide(10)}, 30);
  ASSERT_EQ(odd.size(), 2u);
  EXPECT_EQ(odd[0].slide, 0);
  EXPECT_DOUBLE_EQ(odd[0].end, 10);
  EXPECT_EQ(odd[1].slide, 2);

}

// Frame n is at n / 15 s: a slide shows from the first frame at or after its time, never a frame early.
TEST(ExportPlan, EachSlideShowsFromTheFirstFrameAtOrAfterItsTime) {
  struct Case {
    std::vector<double> times;
    qint64 frames;
    std::vector<FrameRun> runs;
  };
  const std::vector<Case> cases = {
      {{2.03, 4.0}, 90, {{0, 0, 60}, {1, 60, 30}}},            // the first slide stands from the start
      {{0, 2.03}, 45, {{0, 0, 31}, {1, 31, 14}}},              // frame 30 is 2.0 s, before 2.03
      {{0, 2.0, 2.01, 3}, 60, {{0, 0, 30}, {1, 30, 1}, {2, 31, 14}, {3, 45, 15}}},  // frame 30 is exactly 2.0 s
      {{0, 2.01, 2.02, 3}, 60, {{0, 0, 31}, {2, 31, 14}, {3, 45, 15}}},  // slide 2 stands between frames 30 and 31 only
      {{0, 10}, 30, {{0, 0, 30}}},                              // a slide after the end never shows
  };
  for (const Case& c : cases) {
    std::vector<SlideRecord> slides;
    for (const double t : c.times) slides.push_back(Slide(t));
    const std::vector<FrameRun> runs = FrameRuns(slides, c.frames);
    ASSERT_EQ(runs.size(), c.runs.size()) << c.times[1];
    for (size_t k = 0; k < runs.size(); ++k) {
      EXPECT_EQ(runs[k].slide, c.runs[k].slide) << c.times[1] << " run " << k;
      EXPECT_EQ(runs[k].first, c.runs[k].first) << c.times[1] << " run " << k;
      EXPECT_EQ(runs[k].count, c.runs[k].count) << c.times[1] << " run " << k;
    }
  }
}

TEST(ExportPlan, ThePointerIsTheMarkerOfThePointInForceOrNone) {
  const std::vector<PointRecord> points = {Point(1, QStringLiteral("0.5"), QStringLiteral("0.5")),
                                           Point(2, QStringLiteral("0.5"), QStringLiteral("0.5")),
                                           Point(3, QString(), QStringLiteral("0.2")),
                                           Point(4, QStringLiteral("x"), QStringLiteral("0.2")),
                                           Point(5, QStringLiteral("0"), QStringLiteral("1"))};
  const std::vector<PointerStep> steps = PointerSteps(points, 10);
  // Shown from the start at the first point (it is selected before its time), unchanged at 2,
  // none while the point in force has no number for x, then the corner.
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_TRUE(steps[0].shown);
  EXPECT_DOUBLE_EQ(steps[0].start, 0);
  EXPECT_NEAR(steps[0].x, 480 + 10 * 960 / 9525.0, 1e-9);
  EXPECT_NEAR(steps[0].y, 360 + 10 * 720 / (9525 * 0.75), 1e-9);
  EXPECT_FALSE(steps[1].shown);
  EXPECT_DOUBLE_EQ(steps[1].start, 3);
  EXPECT_TRUE(steps[2].shown);
  EXPECT_DOUBLE_EQ(steps[2].start, 5);
  EXPECT_EQ(PointerSize(), 16);

  // The commands place the marker's corner, or put it out of sight.
  const QStringList lines = PointerCommands(steps).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], QStringLiteral("0.000000 [enter] overlay@ptr x 473, [enter] overlay@ptr y 353;"));
  EXPECT_EQ(lines[1], QStringLiteral("3.000000 [enter] overlay@ptr x -10000, [enter] overlay@ptr y -10000;"));
  EXPECT_FALSE(PointerCrossesRightEdge(steps));
  EXPECT_TRUE(PointerCrossesRightEdge(PointerSteps({Point(0, QStringLiteral("1"), QStringLiteral("0.5"))}, 10)));
  EXPECT_TRUE(FilterGraph(true).contains(QStringLiteral("crop=320:720:960:0")));

  // Only points marked shown stay on the frame besides the pointer.
  const std::vector<PointerMark> kept =
      ShownMarks({Point(0, QStringLiteral("0.1"), QStringLiteral("0.1"), QStringLiteral("●")),
                  Point(1, QStringLiteral("0.2"), QStringLiteral("0.2"), QStringLiteral("－")),
                  Point(2, QString(), QStringLiteral("0.2"), QStringLiteral("●"))},
                 QStringLiteral("●"));
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_NEAR(kept[0].x, PointerCentreX(0.1), 1e-9);
}

TEST(ExportPlan, ChaptersAreTheSlidesWithTheirCaptions) {
  const std::vector<ChapterMark> c = Chapters(
      {Slide(-1, QStringLiteral("はじめに")), Slide(12.5, QStringLiteral("  ")), Slide(20, QStringLiteral("A=B; #1\\2\r次")),
       Slide(70, QStringLiteral("後"))},
      60);
  ASSERT_EQ(c.size(), 3u);  // the slide after the end has none
  EXPECT_DOUBLE_EQ(c[0].start, 0);
  EXPECT_DOUBLE_EQ(c[0].end, 12.5);
  EXPECT_EQ(c[1].title, QStringLiteral("スライド 2"));
  EXPECT_DOUBLE_EQ(c[2].end, 60);
  // The first slide's chapter starts with the video, as the slide does.
  EXPECT_DOUBLE_EQ(Chapters({Slide(5), Slide(8)}, 10)[0].start, 0);
  EXPECT_DOUBLE_EQ(Chapters({Slide(5), Slide(8)}, 10)[1].start, 8);
  EXPECT_EQ(ChapterMetadata(c),
            QStringLiteral(";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=12500\ntitle=はじめに\n"
                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=12500\nEND=20000\ntitle=スライド 2\n"
                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=20000\nEND=60000\ntitle=A\\=B\\; \\#1\\\\2 次\n"));
}

TEST(ExportPlan, ASlideWithoutAPictureShowsTheDefaultPictureMarkedNotFound) {
  test::ProgramFolder program;
  QTemporaryDir data;
  const QString defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  test::NumberPicture(7).save(JoinPath(data.path(), QStringLiteral("007.png")));
  test::WriteFile(JoinPath(data.path(), QStringLiteral("bad.jpg")), "not a picture");
  const QSize size(ExportFrame::SlideWidth, ExportFrame::SlideHeight);
  bool notFound = true;
  EXPECT_FALSE(StageSlidePicture(data.path(), QStringLiteral("007.png"), defaultPicture, size, &notFound).isNull());
  EXPECT_FALSE(notFound);
  const QImage stand = StageSlidePicture(data.path(), QStringLiteral("000.jpg"), defaultPicture, size, &notFound);
  // A picture of the user's outside the folder, through a link; a FIFO, which must not block.
  QTemporaryDir outside;
  test::NumberPicture(9).save(JoinPath(outside.path(), QStringLiteral("private.png")));
  ASSERT_TRUE(QFile::link(JoinPath(outside.path(), QStringLiteral("private.png")), JoinPath(data.path(), QStringLiteral("out.png"))));
  ASSERT_EQ(::mkfifo(QFile::encodeName(JoinPath(data.path(), QStringLiteral("fifo.png"))).constData(), 0600), 0);
  for (const QString& name : {QString(), QStringLiteral("bad.jpg"), QStringLiteral("../007.png"), QStringLiteral("none.jpg"),
                              QStringLiteral("out.png"), QStringLiteral("fifo.png")}) {
    notFound = false;
    const QImage picture = StageSlidePicture(data.path(), name, defaultPicture, size, &notFound);
    EXPECT_TRUE(notFound) << name.toStdString();
    EXPECT_EQ(picture.size(), size);
  }
  // The frame carries the band over the default picture, and nothing of it where the slide is found.
  const QImage withBand = RenderSlideFrame(stand, true, {}, {1, 1, QString()});
  const QImage without = RenderSlideFrame(stand, false, {}, {1, 1, QString()});
  EXPECT_NE(withBand.copy(0, 0, 960, 40), without.copy(0, 0, 960, 40));
  EXPECT_EQ(withBand.copy(0, 200, 960, 520), without.copy(0, 200, 960, 520));
}

// The export draws every slide of a thread into the same two images: each picture and frame must
// come out as if drawn afresh, whatever size, format or transparency the one before had.
TEST(ExportPlan, PicturesAndFramesDrawnInTurnIntoTheSameImagesAreAsIfFresh) {
  test::ProgramFolder program;
  QTemporaryDir data;
  const QString defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  const auto file = [&](const QString& name) { return JoinPath(data.path(), name); };
  test::NumberPicture(3).save(file(QStringLiteral("003.jpg")), "JPG", 90);
  QImage clear(400, 300, QImage::Format_ARGB32);
  clear.fill(Qt::transparent);
  QPainter(&clear).fillRect(50, 50, 100, 100, QColor(0, 0, 255, 128));
  clear.save(file(QStringLiteral("clear.png")));
  test::NumberPicture(4, 640, 480).convertToFormat(QImage::Format_Grayscale8).save(file(QStringLiteral("004.png")));
  test::WriteFile(file(QStringLiteral("bad.jpg")), "not a picture");

  const QSize size(ExportFrame::SlideWidth, ExportFrame::SlideHeight);
  const std::vector<PointerMark> marks = {{100, 100}, {900, 700}};
  QImage picture, frame;
  int number = 0;
  for (const QString& name : {QStringLiteral("003.jpg"), QStringLiteral("clear.png"), QStringLiteral("004.png"),
                              QStringLiteral("bad.jpg"), QStringLiteral("none.jpg"), QStringLiteral("003.jpg")}) {
    bool notFound = false;
    const QImage fresh = StageSlidePicture(data.path(), name, defaultPicture, size, &notFound);
    EXPECT_EQ(LoadStageSlidePicture(&picture, data.path(), name, defaultPicture, size), !notFound)
        << name.toStdString();
    EXPECT_TRUE(picture == fresh) << name.toStdString();
    const SlideFrameText text{++number, 6, name};
    DrawSlideFrame(&frame, picture, notFound, marks, text);
    EXPECT_TRUE(frame == RenderSlideFrame(fresh, notFound, marks, text)) << name.toStdString();
  }
}

// --- the real encoder ----------------------------------------------------------------------------

namespace {

// A folder as the recorder leaves it: 60 s of video, five slides with a big number each, 300 points
// (every 0.2 s, wandering over the slide; from 30 s to 35 s without a position).
struct Lecture {
  Lecture() {
    folder = JoinPath(root.path(), QStringLiteral("講義 データ"));
    QDir().mkpath(folder);
    ok = test::MakeRecordingFlv(JoinPath(folder, QStringLiteral("Video.flv")), 60);
    QStringList scenes;
    const QStringList captions = {QStringLiteral("はじめに"), QString(), QStringLiteral("A=B; 定理"),
                                  QStringLiteral("まとめ"), QStringLiteral("質問")};
    for (int k = 0; k < 5; ++k) {
      const QString name = QStringLiteral("%1.jpg").arg(k + 1, 3, 10, QLatin1Char('0'));
      pictures.push_back(test::NumberPicture(k + 1));
      pictures.back().save(JoinPath(folder, name), "JPG", 95);
      scenes << QStringLiteral("%1|%2|%3").arg(slidePos[k]).arg(captions[k], name);
    }
    QStringList points;
    for (int i = 0; i < 300; ++i) {
      const bool none = i >= 150 && i < 175;
      points << QStringLiteral("%1|%2|%3")
                    .arg(i * 0.2, 0, 'f', 3)
                    .arg(none ? QString() : QString::number(X(i), 'f', 4))
                    .arg(QString::number(Y(i), 'f', 4));
    }
    test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), test::ContentXml(scenes, points));
  }
  static double X(int i) { return 0.1 + 0.8 * (i % 50) / 49.0; }
  static double Y(int i) { return 0.15 + 0.7 * ((i * 7) % 30) / 29.0; }
  // 12.09 s lies between frames 181 and 182: the slide shows from frame 182.
  static constexpr double slidePos[5] = {2, 12.09, 24, 36, 48};
  QTemporaryDir root;
  QString folder;
  std::vector<QImage> pictures;
  bool ok = false;
};

}  // namespace

TEST(ExportLecture, TheCommandLineWritesTheLectureAsTheStageShowsIt) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  Lecture lecture;
  ASSERT_TRUE(lecture.ok);
  QTemporaryDir out, cache;
  const QString mp4 = JoinPath(out.path(), QStringLiteral("講義.mp4"));

  QProcess editor;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
  editor.setProcessEnvironment(env);
  // Typed without an extension: ".mp4" is added.
  editor.start(EditorExecutable(), {QStringLiteral("--export"), lecture.folder, JoinPath(out.path(), QStringLiteral("講義"))});
  ASSERT_TRUE(editor.waitForFinished(200000));
  EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().toStdString();
  ASSERT_TRUE(QFileInfo(mp4).isFile());
  // Nothing left beside it, nor in the work folder.
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("講義.mp4")});
  EXPECT_TRUE(QDir(JoinPath(cache.path(), QStringLiteral("kemo-editor")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .isEmpty());

  // H.264 1280 x 720 (yuv420p) and AAC, as long as the recording, the index at the front.
  const QJsonObject probe = Probe(mp4);
  // (The chapters' own text track may stand beside them.)
  QJsonObject video, audio;
  int media = 0;
  for (const QJsonValue& s : probe[QStringLiteral("streams")].toArray()) {
    const QString type = s.toObject()[QStringLiteral("codec_type")].toString();
    if (type == QStringLiteral("video")) video = s.toObject(), ++media;
    if (type == QStringLiteral("audio")) audio = s.toObject(), ++media;
  }
  EXPECT_EQ(media, 2);
  EXPECT_EQ(video[QStringLiteral("codec_name")].toString(), QStringLiteral("h264"));
  EXPECT_EQ(video[QStringLiteral("width")].toInt(), 1280);
  EXPECT_EQ(video[QStringLiteral("height")].toInt(), 720);
  EXPECT_EQ(video[QStringLiteral("pix_fmt")].toString(), QStringLiteral("yuv420p"));
  EXPECT_EQ(audio[QStringLiteral("codec_name")].toString(), QStringLiteral("aac"));
  const double length = probe[QStringLiteral("format")].toObject()[QStringLiteral("duration")].toString().toDouble();
  EXPECT_NEAR(length, FormatDuration(JoinPath(lecture.folder, QStringLiteral("Video.flv"))), 0.1);
  const QStringList boxes = TopLevelBoxes(mp4);
  EXPECT_LT(boxes.indexOf(QStringLiteral("moov")), boxes.indexOf(QStringLiteral("mdat"))) << boxes.join(' ').toStdString();

  // One chapter per slide, at its time, with its caption or its number.
  const QJsonArray chapters = probe[QStringLiteral("chapters")].toArray();
  ASSERT_EQ(chapters.size(), 5);
  const QStringList titles = {QStringLiteral("はじめに"), QStringLiteral("スライド 2"), QStringLiteral("A=B; 定理"),
                              QStringLiteral("まとめ"), QStringLiteral("質問")};
  for (int k = 0; k < 5; ++k) {
    const QJsonObject c = chapters[k].toObject();
    // The first slide is on show from the start, before its own time.
    EXPECT_NEAR(c[QStringLiteral("start_time")].toString().toDouble(), k == 0 ? 0.0 : Lecture::slidePos[k], 0.001) << k;
    EXPECT_EQ(c[QStringLiteral("tags")].toObject()[QStringLiteral("title")].toString(), titles[k]) << k;
  }

  // Ten frames, each between two points and away from a slide change (15 frames a second, a point
  // every 3 frames).
  // The default quality: the fastest settings (the only ones before) took 2.9 MB for this minute.
  EXPECT_LT(QFileInfo(mp4).size(), 1100 * 1000);
  const std::vector<int> numbers = {16, 100, 181, 182, 190, 301, 451, 511, 586, 700, 781, 880};
  const std::vector<QImage> frames = Frames(mp4, numbers);
  ASSERT_EQ(frames.size(), numbers.size());
  for (size_t k = 0; k < numbers.size(); ++k) {
    const double t = numbers[k] / 15.0;
    int slide = 0;
    while (slide + 1 < 5 && Lecture::slidePos[slide + 1] <= t) ++slide;
    const int point = static_cast<int>(std::floor(t / 0.2));
    const bool pointerShown = point < 150 || point >= 175;
    const QPointF expected(Lecture::X(point) * 960, Lecture::Y(point) * 720);

    const QImage scaled = lecture.pictures[slide]
                              .scaled(960, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB32);
    const double psnr = SlidePsnr(frames[k], scaled, pointerShown ? expected : QPointF(-100, -100));
    EXPECT_GT(psnr, 30.0) << "t=" << t << " slide " << slide + 1;
    // Another slide's picture does not match: the comparison tells slides apart.
    const QImage other = lecture.pictures[(slide + 1) % 5].scaled(960, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(SlidePsnr(frames[k], other.convertToFormat(QImage::Format_RGB32), expected), 25.0) << "t=" << t;

    int red = 0;
    const QPointF centre = RedCentre(frames[k], &red);
    if (pointerShown) {
      EXPECT_GT(red, 100) << "t=" << t;
      EXPECT_NEAR(centre.x(), expected.x(), 3.0) << "t=" << t;
      EXPECT_NEAR(centre.y(), expected.y(), 3.0) << "t=" << t;
    } else {
      EXPECT_LT(red, 5) << "t=" << t;
    }
  }
}

TEST(ExportLecture, TheCommandLineSaysWhyItCannotExport) {
  QTemporaryDir out;
  QProcess editor;
  editor.start(EditorExecutable(),
               {QStringLiteral("--export"), JoinPath(out.path(), QStringLiteral("無い")), JoinPath(out.path(), QStringLiteral("a.mp4"))});
  ASSERT_TRUE(editor.waitForFinished(30000));
  EXPECT_NE(editor.exitCode(), 0);
  EXPECT_TRUE(QString::fromLocal8Bit(editor.readAllStandardError()).contains(QStringLiteral("content.xml")));
  editor.start(EditorExecutable(), {QStringLiteral("--export"), out.path()});
  ASSERT_TRUE(editor.waitForFinished(30000));
  EXPECT_EQ(editor.exitCode(), 2);
  EXPECT_FALSE(QFileInfo::exists(JoinPath(out.path(), QStringLiteral("a.mp4"))));
  // A Video.flv that is a playlist never reaches the encoder, which would follow its addresses.
  QTemporaryDir data;
  test::WriteFile(JoinPath(data.path(), QStringLiteral("content.xml")),
                  test::ContentXml({QStringLiteral("0|第1章|000.jpg")}, {}));
  test::WriteFile(JoinPath(data.path(), QStringLiteral("Video.flv")), "#EXTM3U\nhttp://127.0.0.1:9/v.flv\n");
  editor.start(EditorExecutable(), {QStringLiteral("--export"), data.path(), JoinPath(out.path(), QStringLiteral("b.mp4"))});
  ASSERT_TRUE(editor.waitForFinished(30000));
  EXPECT_NE(editor.exitCode(), 0);
  EXPECT_TRUE(QString::fromLocal8Bit(editor.readAllStandardError()).contains(QStringLiteral("FLV形式の動画ファイルではありません")));
  EXPECT_FALSE(QFileInfo::exists(JoinPath(out.path(), QStringLiteral("b.mp4"))));
}

// The slide frames are drawn while the encoder finds the video's length: a cancel then stops the
// drawing, and nothing is left, neither at the chosen name nor in the work folder.
TEST(ExportLecture, ACancelWhileTheLengthIsFoundStopsTheDrawingAndLeavesNothing) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  test::ProgramFolder program;
  QTemporaryDir data, out, work;
  ExportSource source;
  source.folder = data.path();
  source.presenter = JoinPath(data.path(), QStringLiteral("Video.flv"));
  ASSERT_TRUE(test::MakeRecordingFlv(source.presenter, 5));
  source.defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  test::NumberPicture(1).save(JoinPath(data.path(), QStringLiteral("001.jpg")), "JPG", 90);
  // More slides than are drawn before the encoder has said anything; most after the video's end.
  for (int k = 0; k < 300; ++k) source.slides.push_back(Slide(k * 0.1, QStringLiteral("第%1節").arg(k), QStringLiteral("001.jpg")));

  ExportOptions options;
  options.workFolder = work.path();
  options.programFolder = program.path();
  int asked = 0;
  options.onProgress = [&](const ExportProgress&) {
    ++asked;
    return false;
  };
  const QString mp4 = JoinPath(out.path(), QStringLiteral("a.mp4"));
  EXPECT_EQ(ExportLecture(source, mp4, options).kind, ExportResult::Cancelled);
  EXPECT_GT(asked, 0);
  EXPECT_FALSE(QFileInfo::exists(mp4));
  EXPECT_FALSE(QFileInfo::exists(ExportPartPath(mp4)));
  EXPECT_TRUE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

namespace {

// A short lecture: `seconds` of video, `slides` slides one per `step` seconds, every second picture
// missing when `gaps` (else each its own).
struct ShortLecture {
  explicit ShortLecture(int seconds = 3, int slides = 2, double step = 1, bool gaps = false) {
    folder = JoinPath(root.path(), QStringLiteral("短い 講義"));
    QDir().mkpath(folder);
    ok = test::MakeRecordingFlv(JoinPath(folder, QStringLiteral("Video.flv")), seconds);
    QStringList scenes;
    for (int k = 0; k < slides; ++k) {
      const QString name = QStringLiteral("%1.jpg").arg(k + 1, 4, 10, QLatin1Char('0'));
      if (!gaps || k % 2 == 0) test::NumberPicture(k + 1, 320, 240).save(JoinPath(folder, name), "JPG", 80);
      scenes << QStringLiteral("%1|第%2節|%3").arg(k * step, 0, 'f', 3).arg(k + 1).arg(name);
    }
    test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), test::ContentXml(scenes, {QStringLiteral("0|0.5|0.5")}));
  }
  QTemporaryDir root;
  QString folder;
  bool ok = false;
};

struct CommandRun {
  int exit = -1;
  QString errors;
};

CommandRun RunEditor(const QStringList& args, const QString& cache) {
  QProcess editor;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
  editor.setProcessEnvironment(env);
  editor.start(EditorExecutable(), args);
  if (!editor.waitForFinished(200000)) return {};
  return {editor.exitStatus() == QProcess::NormalExit ? editor.exitCode() : -1,
          QString::fromLocal8Bit(editor.readAllStandardError())};
}

}  // namespace

// Missing pictures are named and the status says so; the data folder's files are never the output.
TEST(ExportLecture, TheCommandLineNamesMissingPicturesAndKeepsTheFolderWhole) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  ShortLecture lecture(3, 4, 0.5, true);
  ASSERT_TRUE(lecture.ok);
  QTemporaryDir out, cache;
  const QString mp4 = JoinPath(out.path(), QStringLiteral("a.mp4"));

  CommandRun r = RunEditor({QStringLiteral("--export"), lecture.folder, mp4, QStringLiteral("--strict")}, cache.path());
  EXPECT_EQ(r.exit, 1) << r.errors.toStdString();
  EXPECT_TRUE(r.errors.contains(QStringLiteral("スライド 2（0002.jpg）"))) << r.errors.toStdString();
  EXPECT_FALSE(QFileInfo::exists(mp4));

  r = RunEditor({QStringLiteral("--export"), lecture.folder, mp4, QStringLiteral("--quality"), QStringLiteral("小さい")}, cache.path());
  EXPECT_EQ(r.exit, 3) << r.errors.toStdString();
  EXPECT_TRUE(r.errors.contains(QStringLiteral("警告: スライド 2（0002.jpg）"))) << r.errors.toStdString();
  EXPECT_TRUE(r.errors.contains(QStringLiteral("スライド 4（0004.jpg）"))) << r.errors.toStdString();
  EXPECT_FALSE(r.errors.contains(QStringLiteral("0003.jpg"))) << r.errors.toStdString();
  EXPECT_NEAR(FormatDuration(mp4), 3.0, 0.1);

  // Into the folder's own video to come: refused, nothing written there.
  const QStringList before = QDir(lecture.folder).entryList(QDir::Files | QDir::Hidden);
  r = RunEditor({QStringLiteral("--export"), lecture.folder, JoinPath(lecture.folder, QStringLiteral("Video.avi"))}, cache.path());
  EXPECT_EQ(r.exit, 1);
  EXPECT_TRUE(r.errors.contains(QStringLiteral("データフォルダのファイル"))) << r.errors.toStdString();
  EXPECT_EQ(QDir(lecture.folder).entryList(QDir::Files | QDir::Hidden), before);
  r = RunEditor({QStringLiteral("--export"), lecture.folder, mp4, QStringLiteral("--quality"), QStringLiteral("最高")}, cache.path());
  EXPECT_EQ(r.exit, 2);
}

// Ctrl+C at a terminal: the export stops, says 中止, and leaves nothing.
TEST(ExportLecture, AnInterruptedCommandLineSaysSoAndLeavesNothing) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  ShortLecture lecture(120, 2, 30);
  ASSERT_TRUE(lecture.ok);
  QTemporaryDir out, cache;
  const QString mp4 = JoinPath(out.path(), QStringLiteral("a.mp4"));
  QProcess editor;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
  editor.setProcessEnvironment(env);
  editor.start(EditorExecutable(), {QStringLiteral("--export"), lecture.folder, mp4});
  ASSERT_TRUE(editor.waitForStarted());
  // Once the encoder writes.
  QElapsedTimer waited;
  waited.start();
  while (QFileInfo(ExportPartPath(mp4)).size() <= 0 && waited.elapsed() < 60000 && editor.state() == QProcess::Running)
    editor.waitForFinished(50);
  ASSERT_EQ(editor.state(), QProcess::Running) << editor.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(editor.processId()), SIGINT);
  ASSERT_TRUE(editor.waitForFinished(30000));
  EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(editor.exitCode(), 130);
  EXPECT_TRUE(QString::fromLocal8Bit(editor.readAllStandardError()).contains(QStringLiteral("中止")));
  EXPECT_TRUE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
  EXPECT_TRUE(QDir(JoinPath(cache.path(), QStringLiteral("kemo-editor")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .isEmpty());
}

// A name another export is writing is refused (its file left alone); what a killed export left
// under the temporary name is taken over and gone at the end.
TEST(ExportLecture, ANameBeingWrittenIsRefusedAndALeftoverIsRemoved) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  test::ProgramFolder program;
  ShortLecture lecture;
  ASSERT_TRUE(lecture.ok);
  QTemporaryDir out, work;
  ExportSource source;
  source.folder = lecture.folder;
  source.presenter = JoinPath(lecture.folder, QStringLiteral("Video.flv"));
  source.defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  source.slides = {Slide(0, QStringLiteral("a"), QStringLiteral("0001.jpg")), Slide(1, QStringLiteral("b"), QStringLiteral("0002.jpg"))};
  ExportOptions options;
  options.workFolder = work.path();
  options.programFolder = program.path();
  const QString mp4 = JoinPath(out.path(), QStringLiteral("a.mp4"));

  {
    PartFileHold other;
    QString why;
    ASSERT_TRUE(other.Take(mp4, &why)) << why.toStdString();
    test::WriteFile(other.PartPath(), "being written");
    const ExportResult r = ExportLecture(source, mp4, options);
    EXPECT_EQ(r.kind, ExportResult::Failed);
    EXPECT_TRUE(r.reason.contains(QStringLiteral("別の書き出し"))) << r.reason.toStdString();
    EXPECT_EQ(test::ReadFile(other.PartPath()), QByteArray("being written"));
  }
  test::WriteFile(ExportPartPath(mp4), "left by a killed export");
  const ExportResult r = ExportLecture(source, mp4, options);
  EXPECT_EQ(r.kind, ExportResult::Done) << r.reason.toStdString();
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.mp4")});
}

// The encoder's failures are told in words, its own line after them.
TEST(ExportLecture, FailuresSayWhyInWords) {
  test::ProgramFolder program;
  ShortLecture lecture(1, 1);
  QTemporaryDir out, work;
  ExportSource source;
  source.folder = lecture.folder;
  source.presenter = JoinPath(lecture.folder, QStringLiteral("Video.flv"));
  source.defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  source.slides = {Slide(0, QStringLiteral("a"), QStringLiteral("0001.jpg"))};
  ExportOptions options;
  options.workFolder = work.path();
  options.programFolder = program.path();
  const QString mp4 = JoinPath(out.path(), QStringLiteral("a.mp4"));
  const QString encoder = JoinPath(program.path(), QStringLiteral("ffmpeg"));
  const QByteArray length = "for a in \"$@\"; do last=$a; done\ncase \"$last\" in *.part) ;; *) echo '  Duration: 00:00:10.00, start: 0.000000' >&2; exit 1;; esac\n";
  struct Case {
    QByteArray encoding;  // what the encoder says while encoding, then it fails
    QString said;
  };
  for (const Case& c : std::vector<Case>{
           {"echo 'a.part: No space left on device' >&2", QStringLiteral("ディスクがいっぱいで")},
           {"echo 'a.part: Permission denied' >&2", QStringLiteral("書き込む権限がありません")},
           {"echo 'Conversion failed!' >&2", QStringLiteral("ffmpegが異常終了しました。\rConversion failed!")}}) {
    test::WriteFile(encoder, "#!/bin/sh\n" + length + c.encoding + "\nexit 1\n");
    QFile::setPermissions(encoder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const ExportResult r = ExportLecture(source, mp4, options);
    EXPECT_EQ(r.kind, ExportResult::Failed);
    EXPECT_TRUE(r.reason.contains(c.said)) << r.reason.toStdString();
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }
  // No encoder anywhere.
  QFile::remove(encoder);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(work.path()));
  const ExportResult r = ExportLecture(source, mp4, options);
  qputenv("PATH", path);
  EXPECT_TRUE(r.reason.contains(QStringLiteral("ffmpegが見つかりません"))) << r.reason.toStdString();
}

// Hundreds of slides: the frames reach the encoder without filling the work folder, the caller is
// asked on all along, and a cancel ends everything at once.
TEST(ExportLecture, ManySlidesTakeNoRoomAndTheCallerIsNeverKeptWaiting) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  test::ProgramFolder program;
  ShortLecture lecture(30, 300, 0.1);
  ASSERT_TRUE(lecture.ok);
  QTemporaryDir out, work;
  ExportSource source;
  source.folder = lecture.folder;
  source.presenter = JoinPath(lecture.folder, QStringLiteral("Video.flv"));
  source.defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  for (int k = 0; k < 300; ++k)
    source.slides.push_back(Slide(k * 0.1, QStringLiteral("第%1節").arg(k + 1), QStringLiteral("%1.jpg").arg(k + 1, 4, 10, QLatin1Char('0'))));
  ExportOptions options;
  options.workFolder = work.path();
  options.programFolder = program.path();
  QElapsedTimer sinceLast, sinceCancel;
  qint64 longestGap = 0, largestWork = 0;
  options.onProgress = [&](const ExportProgress& p) {
    if (sinceLast.isValid()) longestGap = std::max(longestGap, sinceLast.elapsed());
    sinceLast.start();
    qint64 size = 0;
    QDirIterator it(work.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) size += QFileInfo(it.next()).size();
    largestWork = std::max(largestWork, size);
    if (p.seconds < 20) return true;  // past the slides
    if (!sinceCancel.isValid()) sinceCancel.start();
    return false;
  };
  const QString mp4 = JoinPath(out.path(), QStringLiteral("a.mp4"));
  EXPECT_EQ(ExportLecture(source, mp4, options).kind, ExportResult::Cancelled);
  ASSERT_TRUE(sinceCancel.isValid());
  // Loose bounds for a loaded machine (the benchmark and the window test give the figures).
  EXPECT_LT(sinceCancel.elapsed(), 10000);
  EXPECT_LT(longestGap, 8000);
  EXPECT_LT(largestWork, 2 * 1024 * 1024);  // as picture files, 300 slides took 800 MB
  EXPECT_TRUE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
  EXPECT_TRUE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// --- the menu command ----------------------------------------------------------------------------

namespace {

const QString kFailed = QStringLiteral("動画の書き出し中にエラーが発生しました。\r");
const QString kCancelled = QStringLiteral("動画の書き出しをキャンセルしました。");

struct ExportWindow : test::Window {
  ExportWindow() {
    data = JoinPath(root.path(), QStringLiteral("第3回 講義"));
    OpenFolder(data, {QStringLiteral("0|表紙|001.jpg"), QStringLiteral("2|本題|002.jpg")},
               {QStringLiteral("0|0.5|0.5"), QStringLiteral("1|0.2|0.8")});
    test::NumberPicture(1).save(Data(QStringLiteral("001.jpg")));
    test::NumberPicture(2).save(Data(QStringLiteral("002.jpg")));
    chosen = Data(QStringLiteral("第3回 講義.mp4"));
  }
  QString Data(const QString& name) const { return JoinPath(data, name); }
  void Export(const QString& answer) {
    messages.shown.clear();
    dialogs.saves.push_back(answer);
    ASSERT_TRUE(ed().ui.mnuFileExport->isEnabled());
    ed().ui.mnuFileExport->trigger();
  }
  QStringList Files() const {
    return QDir(data).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }
  QTemporaryDir root;
  QString data;
  QString chosen;
};

void WriteEncoder(const QString& programFolder, const QByteArray& body) {
  const QString path = JoinPath(programFolder, QStringLiteral("ffmpeg"));
  test::WriteFile(path, "#!/bin/sh\n" + body);
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace

TEST(ExportCommand, TheMenuItemFollowsSaveAsAndIsThereWithAFolder) {
  ExportWindow w;
  QAction* item = w.ed().ui.mnuFileExport;
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), QStringLiteral("動画に書き出し(&E)…"));
  const QList<QAction*> actions = w.ed().ui.mnuFile->actions();
  EXPECT_EQ(actions.indexOf(item), actions.indexOf(w.ed().ui.mnuFileSaveNew) + 1);
  for (const auto& [state, enabled] : std::vector<std::pair<uint8_t, bool>>{
           {State::Idle, true}, {State::NoVideo, true}, {State::NoFolder, false}, {State::Playing, false},
           {State::RecordPaused, false}, {State::EditPaused, false}}) {
    w.ed().EditorState = state;
    RefreshModeDisplay(w.ed());
    EXPECT_EQ(item->isEnabled(), enabled) << int(state);
  }
  // The dialog starts in the data folder with the folder's name; a cancel there does nothing.
  w.ed().EditorState = State::Idle;
  RefreshModeDisplay(w.ed());
  w.Export(QString());
  ASSERT_FALSE(w.dialogs.calls.empty());
  EXPECT_EQ(w.dialogs.calls.back().kind, QStringLiteral("save"));
  EXPECT_EQ(w.dialogs.calls.back().start, w.chosen);
  EXPECT_TRUE(w.messages.shown.empty());
}

TEST(ExportCommand, AFailingEncoderLeavesTheChosenFileAsItWasAndSaysWhy) {
  ExportWindow w;
  test::WriteFile(w.chosen, "old");
  // The length is found; the encoding fails after writing a part of its output.
  WriteEncoder(w.program.path(),
               "for a in \"$@\"; do last=$a; done\n"
               "case \"$last\" in\n"
               "  *.part) echo 'frame=   10 fps=0.0 q=2.0 size=  100kB time=00:00:01.00 bitrate=1.0kbits/s' >&2\n"
               "          echo part > \"${last#file:}\"\n"
               "          echo 'Error initializing output stream 0:0 -- Error while opening encoder' >&2\n"
               "          echo 'Conversion failed!' >&2; exit 1;;\n"
               "  *) echo '  Duration: 00:00:10.00, start: 0.000000, bitrate: 300 kb/s' >&2; exit 1;;\n"
               "esac\n");
  w.Export(w.chosen);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, kFailed + QStringLiteral("ffmpegが異常終了しました。\rConversion failed!"));
  EXPECT_EQ(w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(test::ReadFile(w.chosen), QByteArray("old"));
  EXPECT_FALSE(QFileInfo::exists(ExportPartPath(w.chosen)));

  // An encoder that cannot tell the length stops the export before anything is written.
  WriteEncoder(w.program.path(), "echo 'Video.flv: Invalid data found when processing input' >&2; exit 1\n");
  w.Export(w.chosen);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, kFailed + ShowPath(w.Data(QStringLiteral("Video.flv"))) +
                                          QStringLiteral("の長さがわかりません。\rVideo.flv: Invalid data found when processing input"));

  // The lecture's own files are never written over.
  const QByteArray video = test::ReadFile(w.Data(QStringLiteral("Video.flv")));
  w.Export(w.Data(QStringLiteral("Video.flv")));
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_TRUE(w.messages.shown[0].text.startsWith(kFailed)) << w.messages.shown[0].text.toStdString();
  EXPECT_EQ(test::ReadFile(w.Data(QStringLiteral("Video.flv"))), video);
  EXPECT_EQ(w.Files(), (QStringList{QStringLiteral("001.jpg"), QStringLiteral("002.jpg"), QStringLiteral("Video.avi"),
                                    QStringLiteral("Video.flv"), QStringLiteral("content.xml"),
                                    QStringLiteral("第3回 講義.mp4")}));
}

TEST(ExportCommand, ExportsWithProgressAndACancelLeavesNothing) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  ExportWindow w;
  ASSERT_TRUE(test::MakeRecordingFlv(w.Data(QStringLiteral("Video.flv")), 20));

  // Through to the end: the file is there and the message says where.
  w.Export(w.chosen);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("動画を書き出しました。\r") + ShowPath(w.chosen));
  EXPECT_NEAR(FormatDuration(w.chosen), 20.0, 0.1);
  QFile::remove(w.chosen);

  // Cancelled once the encoder has begun: the dialog showed the time taken and the time left.
  QString label;
  QTimer poll;
  poll.setInterval(30);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = w.window->findChild<QProgressDialog*>(kExportProgressName);
    if (!dialog || dialog->value() <= 0) return;
    label = dialog->labelText();
    dialog->cancel();
    poll.stop();
  });
  poll.start();
  w.Export(w.chosen);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("経過 \\d\\d:\\d\\d　残り 約 \\d\\d:\\d\\d$")).match(label).hasMatch())
      << label.toStdString();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, kCancelled);
  EXPECT_FALSE(QFileInfo::exists(w.chosen));
  EXPECT_FALSE(QFileInfo::exists(ExportPartPath(w.chosen)));
  EXPECT_EQ(w.window->findChild<QProgressDialog*>(kExportProgressName), nullptr);
}

// --- where the output may go ---------------------------------------------------------------------

TEST(ExportOutput, ThePlaceIsCheckedBeforeAnythingIsWritten) {
  QTemporaryDir root;
  const QString data = JoinPath(root.path(), QStringLiteral("講義"));
  const QString out = JoinPath(root.path(), QStringLiteral("出力"));
  QDir().mkpath(data);
  QDir().mkpath(out);
  test::WriteFile(JoinPath(data, QStringLiteral("Video.flv")), test::kFlvHead);
  const QString elsewhere = JoinPath(out, QStringLiteral("slide.bin"));
  test::WriteFile(elsewhere, "x");
  const auto in = [](const QString& folder, const QString& name) { return JoinPath(folder, name); };
  struct Case {
    QString typed;
    QString path;     // "" when refused
    QString because;  // a part of the refusal
  };
  const std::vector<Case> cases = {
      {in(out, QStringLiteral("a")), in(out, QStringLiteral("a.mp4")), {}},
      {in(out, QStringLiteral("a.mov")), in(out, QStringLiteral("a.mov")), {}},
      {in(data, QStringLiteral("第1回.mp4")), in(data, QStringLiteral("第1回.mp4")), {}},
      {QStringLiteral(" "), {}, QStringLiteral("ファイル名がありません")},
      {out, {}, QStringLiteral("はフォルダです")},
      {out + QStringLiteral("/"), {}, QStringLiteral("はフォルダです")},
      {in(in(out, QStringLiteral("無い")), QStringLiteral("a.mp4")), {}, QStringLiteral("というフォルダがありません")},
      // The data folder's own files, existing or still to come, in any case.
      {in(data, QStringLiteral("Video.flv")), {}, QStringLiteral("データフォルダのファイル")},
      {in(data, QStringLiteral("Video.avi")), {}, QStringLiteral("データフォルダのファイル")},
      {in(data, QStringLiteral("VIDEO.AVI")), {}, QStringLiteral("データフォルダのファイル")},
      {in(data, QStringLiteral("content.xml")), {}, QStringLiteral("データフォルダのファイル")},
      {in(data, QStringLiteral("content-backup--261209-1130.xml")), {}, QStringLiteral("データフォルダのファイル")},
      {in(data, QStringLiteral("005.jpg")), {}, QStringLiteral("データフォルダのファイル")},
      {in(data, QStringLiteral("content")), in(data, QStringLiteral("content.mp4")), {}},
      {elsewhere, {}, QStringLiteral("データフォルダのファイル")},  // an input, wherever it is
  };
  for (const Case& c : cases) {
    const OutputPlace p = CheckOutputPlace(c.typed, data, {elsewhere});
    if (c.path.isEmpty()) {
      EXPECT_TRUE(p.refusal.contains(c.because)) << c.typed.toStdString() << ": " << p.refusal.toStdString();
    } else {
      EXPECT_EQ(p.refusal, QString()) << c.typed.toStdString();
      EXPECT_EQ(p.path, c.path) << c.typed.toStdString();
    }
  }
  if (::geteuid() != 0) {
    QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(CheckOutputPlace(in(out, QStringLiteral("a.mp4")), data).refusal.contains(QStringLiteral("権限がありません")));
    QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
}

TEST(ExportCommand, MissingPicturesAreAskedAboutFirst) {
  ExportWindow w;
  QFile::remove(w.Data(QStringLiteral("002.jpg")));
  // An encoder that would fail at once: only the question matters here.
  WriteEncoder(w.program.path(), "echo 'Conversion failed!' >&2; exit 1\n");
  w.messages.Answer(MsgResult::No);
  w.Export(w.chosen);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_TRUE(w.messages.shown[0].text.contains(QStringLiteral("スライド 2（002.jpg）"))) << w.messages.shown[0].text.toStdString();
  EXPECT_FALSE(QFileInfo::exists(w.chosen));
  // Yes: the export goes on (and here fails, saying so).
  w.messages.Answer(MsgResult::Yes);
  w.Export(w.chosen);
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_TRUE(w.messages.shown[1].text.startsWith(kFailed)) << w.messages.shown[1].text.toStdString();
}

// The menu asks for the quality after the file, proposes the last one chosen and hands the choice to
// the encoder; a cancel there writes nothing.
TEST(ExportCommand, TheQualityIsAskedRememberedAndUsed) {
  ExportWindow w;
  QTemporaryDir record;
  const QString seen = JoinPath(record.path(), QStringLiteral("args.txt"));
  // The length is found; the encoding notes its arguments and fails (only they matter here).
  WriteEncoder(w.program.path(), "for a in \"$@\"; do last=$a; done\n"
                                 "case \"$last\" in\n"
                                 "  *.part) echo \"$*\" > '" + seen.toUtf8() + "'; echo 'Conversion failed!' >&2; exit 1;;\n"
                                 "  *) echo '  Duration: 00:00:10.00, start: 0.000000, bitrate: 300 kb/s' >&2; exit 1;;\n"
                                 "esac\n");
  // The encoder's options of a quality, as they stand between the codec and the pixel format.
  const auto options = [](ExportQuality q) {
    const QStringList a = EncoderArguments(QStringLiteral("in"), QStringLiteral("out"), 10, q);
    const qsizetype from = a.indexOf(QStringLiteral("libx264")) + 1;
    return a.mid(from, a.indexOf(QStringLiteral("-pix_fmt")) - from).join(QLatin1Char(' '));
  };
  ASSERT_NE(options(ExportQuality::Small), options(ExportQuality::Fast));

  struct Step {
    int pick;  // the index picked, -1 a cancel
    ExportQuality expected;
  };
  int proposed = -1;
  for (const Step& step : {Step{1, ExportQuality::Small}, Step{2, ExportQuality::Fast}, Step{-1, ExportQuality::Fast},
                           Step{0, ExportQuality::Standard}}) {
    QFile::remove(seen);
    w.messages.picks.push_back(step.pick);
    w.Export(w.chosen);
    ASSERT_FALSE(w.messages.choices.empty());
    const ScriptedMessageBoxes::Choice& asked = w.messages.choices.back();
    EXPECT_TRUE(asked.text.contains(ShowPath(w.chosen))) << asked.text.toStdString();
    ASSERT_EQ(asked.items.size(), 3);
    EXPECT_EQ(asked.items[0], QStringLiteral("標準"));
    EXPECT_TRUE(asked.items[1].startsWith(QStringLiteral("小さい")));
    EXPECT_TRUE(asked.items[2].startsWith(QStringLiteral("速い")));
    // The proposal is the last choice made (the first time, whatever an earlier export left).
    if (proposed >= 0) EXPECT_EQ(asked.current, proposed);
    if (step.pick < 0) {
      EXPECT_TRUE(w.messages.shown.empty());
      EXPECT_FALSE(QFileInfo::exists(seen));
      continue;
    }
    proposed = step.pick;
    ASSERT_EQ(w.messages.shown.size(), 1u);
    EXPECT_TRUE(w.messages.shown[0].text.startsWith(kFailed));
    EXPECT_TRUE(QString::fromUtf8(test::ReadFile(seen)).contains(options(step.expected))) << step.pick;
  }
  EXPECT_EQ(w.messages.choices.size(), 4u);
}

// The default quality against the fastest one (the only one there was before), both through the
// command line on the same lecture: a third of the size or less, the slides looking the same.
TEST(ExportLecture, TheDefaultQualityTakesAThirdOfTheFastestsRoom) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  Lecture lecture;
  ASSERT_TRUE(lecture.ok);
  QTemporaryDir out, cache;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
  const auto exportAt = [&](const QString& quality) {
    const QString mp4 = JoinPath(out.path(), quality + QStringLiteral(".mp4"));
    QProcess editor;
    editor.setProcessEnvironment(env);
    QStringList args = {QStringLiteral("--export"), lecture.folder, mp4};
    if (!quality.isEmpty()) args << QStringLiteral("--quality") << quality;
    editor.start(EditorExecutable(), args);
    EXPECT_TRUE(editor.waitForFinished(300000));
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().toStdString();
    return mp4;
  };
  const QString standard = exportAt(QString());
  const QString fastest = exportAt(QStringLiteral("速い"));
  const qint64 standardSize = QFileInfo(standard).size(), fastestSize = QFileInfo(fastest).size();
  ASSERT_GT(standardSize, 0);
  EXPECT_LE(standardSize * 3, fastestSize) << standardSize << " against " << fastestSize;

  // The slide area of frames in each slide, the pointer left out, against the picture.
  const std::vector<int> numbers = {100, 300, 451, 586, 880};
  const std::vector<QImage> a = Frames(standard, numbers), b = Frames(fastest, numbers);
  ASSERT_EQ(a.size(), numbers.size());
  ASSERT_EQ(b.size(), numbers.size());
  for (size_t k = 0; k < numbers.size(); ++k) {
    const int slide = static_cast<int>(k);
    const int point = static_cast<int>(std::floor(numbers[k] / 15.0 / 0.2));
    const QPointF pointer(Lecture::X(point) * 960, Lecture::Y(point) * 720);
    const QImage picture = lecture.pictures[static_cast<size_t>(slide)]
                               .scaled(960, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(SlidePsnr(a[k], picture, pointer), SlidePsnr(b[k], picture, pointer) - 1.0) << "frame " << numbers[k];
  }
}
