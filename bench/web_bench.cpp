// The web package of a 60-minute lecture (120 slides, 3600 points) by the real executable
// (kemo-editor --web), beside the bare ffmpeg command that encodes the same video with the same
// arguments, run before and after it. Also the size of everything in the package but the video
// (all_but_video_MB, its slide pictures, thumbnails and data.js apart). The slides are drawn as a
// presentation program makes them (test::LectureSlide), exported as JPEG at quality 90
// (BM_WebPackage/0) or as PNG (BM_WebPackage/1).
// On this shared machine the wall clock stretches with the load of others: compare web_s with
// bare_ffmpeg_s (measured around it) and the processor seconds web_cpu_s with bare_cpu_s.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "platform/paths.h"
#include "support/lecture_slide.h"
#include "support/test_support.h"
#include "web/web_package.h"

using namespace kemo;

namespace {

constexpr int kSeconds = 3600;
constexpr int kSlides = 120;

// The recording, as test::MakeRecordingFlv makes it, with no time limit: an hour takes a while.
bool MakeHourFlv(const QString& path) {
  const QString d = QString::number(kSeconds);
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("testsrc=duration=%1:size=320x240:rate=15").arg(d), QStringLiteral("-f"),
           QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=%1").arg(d),
           QStringLiteral("-shortest"), path});
  return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The hour's recording, made once for every case.
QString HourFlv() {
  static QTemporaryDir dir;
  static const QString path = JoinPath(dir.path(), QStringLiteral("Video.flv"));
  static const bool made = MakeHourFlv(path);
  return made ? path : QString();
}

struct Lecture {
  explicit Lecture(bool png) {
    folder = JoinPath(root.path(), QStringLiteral("講義 データ"));
    QDir().mkpath(folder);
    ok = !HourFlv().isEmpty() && QFile::copy(HourFlv(), JoinPath(folder, QStringLiteral("Video.flv")));
    QStringList scenes, points;
    for (int k = 0; k < kSlides; ++k) {
      const QString name = QStringLiteral("%1.%2").arg(k + 1, 3, 10, QLatin1Char('0')).arg(png ? "png" : "jpg");
      test::LectureSlide(k + 1, kSlides).save(JoinPath(folder, name), png ? "PNG" : "JPG", png ? -1 : 90);
      scenes << QStringLiteral("%1|第%2章 情報の探し方と評価|%3").arg(k * 30).arg(k + 1).arg(name);
    }
    for (int i = 0; i < 3600; ++i)
      points << QStringLiteral("%1|%2|%3").arg(i * 1.0, 0, 'f', 3).arg(0.1 + 0.8 * (i % 97) / 96.0, 0, 'f', 2)
                    .arg(0.1 + 0.8 * (i % 61) / 60.0, 0, 'f', 2);
    test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), test::ContentXml(scenes, points));
  }
  QTemporaryDir root;
  QString folder;
  bool ok = false;
};

// The processor time of the children that ended so far (user and system).
double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the program to its end; its wall-clock seconds, and in *cpu its processor seconds.
double Run(const QString& program, const QStringList& args, int* code, double* cpu) {
  const double cpuBefore = ChildCpuSeconds();
  QProcess p;
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer t;
  t.start();
  p.start(program, args);
  p.waitForFinished(-1);
  *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  const double wall = t.nsecsElapsed() / 1e9;
  *cpu = ChildCpuSeconds() - cpuBefore;
  return wall;
}

void BM_WebPackage(benchmark::State& state) {
  if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
    state.SkipWithError("ffmpeg not available");
    return;
  }
  static Lecture jpegLecture(false), pngLecture(true);
  const Lecture& lecture = state.range(0) ? pngLecture : jpegLecture;
  if (!lecture.ok) {
    state.SkipWithError("could not make the lecture");
    return;
  }
  QTemporaryDir out;
  const QString package = JoinPath(out.path(), QStringLiteral("web"));
  const QStringList bareArgs = WebEncoderArguments(JoinPath(lecture.folder, QStringLiteral("Video.flv")),
                                                   JoinPath(out.path(), QStringLiteral("bare.mp4")));
  double webSeconds = 0, bareBefore = 0, bareAfter = 0, webCpu = 0, bareCpu = 0, bareCpuAfter = 0;
  qint64 pageBytes = 0, slideBytes = 0, thumbBytes = 0;
  for (auto _ : state) {
    int code = 0;
    bareBefore = Run(QStringLiteral("ffmpeg"), bareArgs, &code, &bareCpu);
    if (code != 0) {
      state.SkipWithError("the bare ffmpeg command failed");
      return;
    }
    QDir(package).removeRecursively();
    webSeconds = Run(QStringLiteral(KEMO_EDITOR_BIN), {QStringLiteral("--web"), lecture.folder, package}, &code,
                     &webCpu);
    state.SetIterationTime(webSeconds);
    if (code != 0) {
      state.SkipWithError("kemo-editor --web failed");
      return;
    }
    bareAfter = Run(QStringLiteral("ffmpeg"), bareArgs, &code, &bareCpuAfter);
  }
  for (QDirIterator it(package, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
    it.next();
    if (it.fileName() == WebFile::Video) continue;
    pageBytes += it.fileInfo().size();
    const QString folder = it.fileInfo().dir().dirName();
    if (folder == QLatin1String("slides")) slideBytes += it.fileInfo().size();
    if (folder == QLatin1String("thumbs")) thumbBytes += it.fileInfo().size();
  }
  const double bareSeconds = (bareBefore + bareAfter) / 2;
  state.counters["web_s"] = webSeconds;
  state.counters["bare_ffmpeg_s"] = bareSeconds;
  state.counters["web_over_bare"] = webSeconds / bareSeconds;
  state.counters["times_real_time"] = kSeconds / webSeconds;
  state.counters["bare_times_real_time"] = kSeconds / bareSeconds;
  // Processor time, which a load of other programs on the machine does not stretch as it does the
  // wall clock: the package's work beside the bare encode's.
  state.counters["web_cpu_s"] = webCpu;
  state.counters["bare_cpu_s"] = (bareCpu + bareCpuAfter) / 2;
  state.counters["all_but_video_MB"] = pageBytes / 1e6;
  state.counters["slides_MB"] = slideBytes / 1e6;
  state.counters["thumbs_MB"] = thumbBytes / 1e6;
  state.counters["data_js_MB"] = QFileInfo(JoinPath(package, WebFile::Data)).size() / 1e6;
  state.counters["video_MB"] = QFileInfo(JoinPath(package, WebFile::Video)).size() / 1e6;
}
BENCHMARK(BM_WebPackage)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace
