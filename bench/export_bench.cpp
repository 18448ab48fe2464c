// The export of a 5-minute lecture (50 slides, 3000 points) by the program, beside the bare ffmpeg
// command that composes the same frame from the same inputs, its work files already written and
// one raw slide frame on disk repeated in place of the program's pipe (the program's own share is
// reading the folder, drawing the slide frames and handing them through the pipe, writing the
// lists, finding the length and the rename). The bare command runs before and after the export.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "export/export_lecture.h"
#include "export/export_plan.h"
#include "export/slide_feed.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

constexpr int kSeconds = 300;

struct Lecture {
  Lecture() {
    folder = JoinPath(root.path(), QStringLiteral("講義 データ"));
    QDir().mkpath(folder);
    ok = test::MakeRecordingFlv(JoinPath(folder, QStringLiteral("Video.flv")), kSeconds);
    QStringList scenes, points;
    for (int k = 0; k < 50; ++k) {
      const QString name = QStringLiteral("%1.jpg").arg(k + 1, 3, 10, QLatin1Char('0'));
      test::NumberPicture(k + 1).save(JoinPath(folder, name), "JPG", 90);
      scenes << QStringLiteral("%1|第%2章|%3").arg(k * 6).arg(k + 1).arg(name);
    }
    for (int i = 0; i < 3000; ++i)
      points << QStringLiteral("%1|%2|%3").arg(i * 0.1, 0, 'f', 3).arg(0.1 + 0.8 * (i % 97) / 96.0).arg(0.1 + 0.8 * (i % 61) / 60.0);
    test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), test::ContentXml(scenes, points));
  }
  QTemporaryDir root;
  QString folder;
  bool ok = false;
};

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

// The folder's tables as opening it builds them.
ExportSource SourceOf(const QString& folder, const QString& programFolder) {
  auto ed = std::make_unique<Editor>();
  ed->ProgramFolder = programFolder;
  ed->DataFolder = folder;
  ReadSymbolFile(*ed);
  ClearAllTables(*ed);
  LoadContentXml(*ed);
  BuildRecords(*ed);
  BuildSlideTable(*ed);
  BuildPointTable(*ed);
  return ExportSourceOf(*ed);
}

// The bare command on work files written beforehand, timed from its start to its end; -1 when it fails.
double BareSeconds(const QString& files, const QString& presenter, const QString& output) {
  QProcess ffmpeg;
  ffmpeg.setWorkingDirectory(files);
  ffmpeg.setStandardOutputFile(QProcess::nullDevice());
  ffmpeg.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer t;
  t.start();
  // The slide frames from one raw frame on disk, repeated, in place of the program's pipe.
  QStringList args = EncoderArguments(presenter, output, kSeconds);
  args.insert(args.indexOf(QStringLiteral("rawvideo")) - 1, QStringLiteral("-stream_loop"));
  args.insert(args.indexOf(QStringLiteral("-stream_loop")) + 1, QStringLiteral("-1"));
  ffmpeg.start(QStringLiteral("ffmpeg"), args);
  ffmpeg.waitForFinished(-1);
  const double seconds = t.nsecsElapsed() / 1e9;
  QFile::remove(output);
  return ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0 ? seconds : -1;
}

void BM_ExportLecture(benchmark::State& state) {
  if (!HaveFfmpeg()) {
    state.SkipWithError("ffmpeg not available");
    return;
  }
  static Lecture lecture;
  if (!lecture.ok) {
    state.SkipWithError("could not make the lecture");
    return;
  }
  test::ProgramFolder program;
  QTemporaryDir out, work;
  const QString mp4 = JoinPath(out.path(), QStringLiteral("講義.mp4"));
  const QString bare = JoinPath(out.path(), QStringLiteral("bare.mp4"));
  const QString presenter = JoinPath(lecture.folder, QStringLiteral("Video.flv"));
  // The bare command's work files, written beforehand (the lecture's own files, just made, are in the
  // page cache for both sides).
  QTemporaryDir files(JoinPath(work.path(), QStringLiteral("bare-XXXXXX")));
  QFile frame(JoinPath(files.path(), ExportFile::SlideStream));
  if (!WriteExportFiles(SourceOf(lecture.folder, program.path()), kSeconds, files.path()) ||
      !frame.open(QIODevice::WriteOnly) ||
      frame.write(ToYuv420(test::NumberPicture(1, ExportFrame::Width, ExportFrame::Height)
                               .convertToFormat(QImage::Format_RGB32))) <= 0) {
    state.SkipWithError("could not write the bare command's work files");
    return;
  }
  frame.close();
  double exportSeconds = 0, bareBefore = 0, bareAfter = 0, megabytes = 0;
  for (auto _ : state) {
    // The bare command runs just before and just after the export, which is set against the mean of
    // the two: a load that rises or falls on the machine meanwhile weighs on both sides alike.
    bareBefore = BareSeconds(files.path(), presenter, bare);

    // The program: from the folder on disk to the file at its name.
    QElapsedTimer t;
    t.start();
    ExportOptions options;
    options.workFolder = work.path();
    options.programFolder = program.path();
    const ExportResult r = ExportLecture(SourceOf(lecture.folder, program.path()), mp4, options);
    exportSeconds = t.nsecsElapsed() / 1e9;
    state.SetIterationTime(exportSeconds);
    if (r.kind != ExportResult::Done) {
      state.SkipWithError(("export failed: " + r.reason).toStdString().c_str());
      return;
    }
    megabytes = QFileInfo(mp4).size() / 1e6;
    QFile::remove(mp4);

    bareAfter = BareSeconds(files.path(), presenter, bare);
    if (bareBefore < 0 || bareAfter < 0) {
      state.SkipWithError("the bare ffmpeg command failed");
      return;
    }
  }
  const double bareSeconds = (bareBefore + bareAfter) / 2;
  state.counters["export_s"] = exportSeconds;
  state.counters["bare_ffmpeg_s"] = bareSeconds;
  state.counters["bare_before_s"] = bareBefore;
  state.counters["bare_after_s"] = bareAfter;
  state.counters["export_over_bare"] = exportSeconds / bareSeconds;
  state.counters["times_real_time"] = kSeconds / exportSeconds;
  state.counters["output_MB"] = megabytes;
}
BENCHMARK(BM_ExportLecture)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace
