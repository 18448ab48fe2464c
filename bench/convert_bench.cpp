// The conversion of a 60-second FLV by the program (copy in, ffmpeg with its progress dialog, copy
// out, load) beside the same ffmpeg command run directly in the same folder.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "convert/convert.h"
#include "document/state_machine.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

struct Sample {
  Sample() {
    folder = JoinPath(root.path(), QStringLiteral("講義 データ"));
    QDir().mkpath(folder);
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
             QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=duration=60:size=320x240:rate=15"),
             QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("sine=frequency=440:duration=60"), QStringLiteral("-shortest"),
             QStringLiteral("Video.flv")});
    ok = p.waitForFinished(120000) && p.exitCode() == 0;
  }
  QTemporaryDir root;
  QString folder;
  bool ok = false;
};

Sample& TheSample() {
  static Sample sample;
  return sample;
}

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

void BM_ConvertFlvToAvi(benchmark::State& state) {
  if (!HaveFfmpeg() || !TheSample().ok) {
    state.SkipWithError("ffmpeg not available");
    return;
  }
  test::Window w;  // the question is answered Yes by the script
  Editor& ed = w.ed();
  ed.DataFolder = TheSample().folder;
  for (auto _ : state) {
    ed.EditorState = State::NoVideo;
    RefreshModeDisplay(ed);
    w.messages.shown.clear();
    OnConvertCommand(ed);
    if (w.messages.LastText() != QStringLiteral("FLV⇒AVI変換が完了しました。")) {
      state.SkipWithError("conversion failed");
      break;
    }
  }
  QFile::remove(JoinPath(TheSample().folder, QStringLiteral("Video.avi")));
}

void BM_FfmpegDirect(benchmark::State& state) {
  if (!HaveFfmpeg() || !TheSample().ok) {
    state.SkipWithError("ffmpeg not available");
    return;
  }
  test::ProgramFolder program;
  const QString work = JoinPath(program.path(), QStringLiteral("temp"));
  QFile::copy(JoinPath(TheSample().folder, QStringLiteral("Video.flv")), JoinPath(work, QStringLiteral("Video.flv")));
  QStringList args = QProcess::splitCommand(ConvertCommandLine(QStringLiteral("\\Video.flv"), QStringLiteral("\\Video.avi")));
  const QString program_ = args.takeFirst();
  for (auto _ : state) {
    QProcess p;
    p.setWorkingDirectory(work);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program_, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
      state.SkipWithError("ffmpeg failed");
      break;
    }
  }
}

}  // namespace

BENCHMARK(BM_ConvertFlvToAvi)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegDirect)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
