// Whole archives: the batch's checks over 500 small folders, eight exports one and two at a time,
// and the work folder's peak during the export of a 3600-slide lecture. Each case runs the real
// executable (KEMO_EDITOR_BIN) or the real export, with the real ffmpeg.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "export/export_lecture.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

// `count` data folders of `seconds` of video each (one video made, copied), two slides each.
bool MakeArchive(const QString& root, int count, int seconds) {
  const QString video = JoinPath(root, QStringLiteral("video.flv"));
  if (!test::MakeRecordingFlv(video, seconds)) return false;
  test::NumberPicture(1, 320, 240).save(JoinPath(root, QStringLiteral("001.jpg")), "JPG", 80);
  const QByteArray content = test::ContentXml({QStringLiteral("0|表紙|001.jpg"), QStringLiteral("1|本題|001.jpg")},
                                              {QStringLiteral("0|0.5|0.5"), QStringLiteral("1|0.4|0.6")});
  for (int k = 0; k < count; ++k) {
    const QString folder = JoinPath(root, QStringLiteral("archive/%1/第%2回").arg(k / 50).arg(k));
    QDir().mkpath(folder);
    if (!QFile::copy(video, JoinPath(folder, QStringLiteral("Video.flv"))) ||
        !QFile::copy(JoinPath(root, QStringLiteral("001.jpg")), JoinPath(folder, QStringLiteral("001.jpg"))))
      return false;
    test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), content);
  }
  return true;
}

// Runs the batch to its end; its wall time in seconds, -1 when it failed.
double RunBatch(const QStringList& args, const QString& state) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_STATE_HOME"), state);
  p.setProcessEnvironment(env);
  p.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer t;
  t.start();
  p.start(QStringLiteral(KEMO_EDITOR_BIN), args);
  p.waitForFinished(-1);
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? t.nsecsElapsed() / 1e9 : -1;
}

void BM_BatchCheck(benchmark::State& state) {
  QTemporaryDir root, status;
  if (!HaveFfmpeg() || !MakeArchive(root.path(), 500, 1)) {
    state.SkipWithError("could not make the archive");
    return;
  }
  for (auto _ : state) {
    const double s = RunBatch({QStringLiteral("--batch"), QStringLiteral("check"), JoinPath(root.path(), QStringLiteral("archive")),
                               QStringLiteral("--jobs"), QStringLiteral("2")},
                              status.path());
    if (s < 0) {
      state.SkipWithError("the batch failed");
      return;
    }
    state.SetIterationTime(s);
    state.counters["folders_per_s"] = 500 / s;
  }
}
BENCHMARK(BM_BatchCheck)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

// Eight 60-second lectures exported one at a time and two at a time.
void BM_BatchExportJobs(benchmark::State& state) {
  QTemporaryDir root, status, out1, out2;
  if (!HaveFfmpeg() || !MakeArchive(root.path(), 8, 60)) {
    state.SkipWithError("could not make the archive");
    return;
  }
  const QString archive = JoinPath(root.path(), QStringLiteral("archive"));
  for (auto _ : state) {
    const double one = RunBatch({QStringLiteral("--batch"), QStringLiteral("export"), archive, QStringLiteral("--out"),
                                 out1.path(), QStringLiteral("--jobs"), QStringLiteral("1")},
                                status.path());
    const double two = RunBatch({QStringLiteral("--batch"), QStringLiteral("export"), archive, QStringLiteral("--out"),
                                 out2.path(), QStringLiteral("--jobs"), QStringLiteral("2")},
                                status.path());
    if (one < 0 || two < 0) {
      state.SkipWithError("the batch failed");
      return;
    }
    state.SetIterationTime(two);
    state.counters["jobs1_s"] = one;
    state.counters["jobs2_s"] = two;
    state.counters["jobs2_over_jobs1"] = two / one;
  }
}
BENCHMARK(BM_BatchExportJobs)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

// A 3600-slide lecture (a slide every 0.1 s over 6 minutes): the largest the work folder gets,
// sampled at every progress report, over the whole export.
void BM_ExportWorkFolderPeak(benchmark::State& state) {
  test::ProgramFolder program;
  QTemporaryDir data, out, work;
  ExportSource source;
  source.folder = data.path();
  source.presenter = JoinPath(data.path(), QStringLiteral("Video.flv"));
  source.defaultPicture = JoinPath(program.path(), QStringLiteral("000.jpg"));
  if (!HaveFfmpeg() || !test::MakeRecordingFlv(source.presenter, 360)) {
    state.SkipWithError("could not make the lecture");
    return;
  }
  for (int k = 0; k < 20; ++k)
    test::NumberPicture(k + 1, 640, 480).save(JoinPath(data.path(), QStringLiteral("%1.jpg").arg(k)), "JPG", 85);
  for (int k = 0; k < 3600; ++k) {
    SlideRecord s;
    s.pos = k * 0.1;
    s.caption = QStringLiteral("第%1節").arg(k + 1);
    s.image = QStringLiteral("%1.jpg").arg(k % 20);
    source.slides.push_back(s);
  }
  ExportOptions options;
  options.workFolder = work.path();
  options.programFolder = program.path();
  qint64 peak = 0;
  options.onProgress = [&](const ExportProgress&) {
    qint64 size = 0;
    QDirIterator it(work.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) size += QFileInfo(it.next()).size();
    peak = std::max(peak, size);
    return true;
  };
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    const ExportResult r = ExportLecture(source, JoinPath(out.path(), QStringLiteral("a.mp4")), options);
    state.SetIterationTime(t.nsecsElapsed() / 1e9);
    if (r.kind != ExportResult::Done) {
      state.SkipWithError(("export failed: " + r.reason).toStdString().c_str());
      return;
    }
    state.counters["work_peak_kB"] = peak / 1024.0;
    state.counters["times_real_time"] = 360 / (t.nsecsElapsed() / 1e9);
  }
}
BENCHMARK(BM_ExportWorkFolderPeak)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace
