// The timing tools on a full folder (3600 slides, 3600 points): a shift of every row and a stretch
// between two anchors, each with its step in the history and the grids' refresh; the check of a
// folder on disk; and the real executable's --check against its own start-up.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <sys/resource.h>
#include <memory>

#include "document/editor.h"
#include "document/history.h"
#include "document/tables.h"
#include "platform/paths.h"
#include "document/time_text.h"
#include "support/test_support.h"
#include "timing/adjust.h"
#include "timing/check.h"

using namespace kemo;

namespace {

struct FullTables : test::BoundTables {
  FullTables() {
    Editor& e = *ed;
    e.DataFolder = data.path();
    for (int i = 0; i < MaxRecords; ++i) {
      SlideRecord& s = e.Sld[i];
      s.id = static_cast<int16_t>(i + 1);
      s.pos = i * 3.0;
      s.timeText = FormatTimeText(s.pos);
      s.caption = QStringLiteral("第%1章 講義スライド「データ構造とアルゴリズム」").arg(i);
      s.image = QStringLiteral("%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
      PointRecord& p = e.Cur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = 10 + i / 10.0;
      p.timeText = FormatTimeText(p.t);
      p.x = QString::number((i % 100) / 100.0);
      p.y = QString::number((i % 37) / 37.0);
      p.mark = e.SymOff();
    }
    e.SldCnt = e.CurCnt = MaxRecords;
    BuildSlideTable(e);
    BuildPointTable(e);
    e.EditorState = State::Idle;
    ResetHistory(e, true);
  }
};

void BM_ShiftAll(benchmark::State& state) {
  FullTables f;
  Editor& e = *f.ed;
  int k = 0;
  for (auto _ : state) {
    ShiftRequest r;
    r.target = TimingTarget::Both;
    r.offset = k++ % 2 ? -2.5 : 2.5;
    if (!ApplyTimingPlan(e, PlanShift(TablesOf(e), r, -1))) state.SkipWithError("the shift was not applied");
  }
}
BENCHMARK(BM_ShiftAll)->Unit(benchmark::kMillisecond);

void BM_Stretch(benchmark::State& state) {
  FullTables f;
  Editor& e = *f.ed;
  int k = 0;
  for (auto _ : state) {
    // Out by 4 % and back again, the first slide held.
    const double last = e.Sld[MaxRecords - 1].pos, first = e.Sld[0].pos;
    const double to = first + (last - first) * (k++ % 2 ? 1 / 1.04 : 1.04);
    const std::vector<Anchor> anchors = {{TimingTable::Slides, 1, first}, {TimingTable::Slides, MaxRecords, to}};
    if (!ApplyTimingPlan(e, PlanStretch(TablesOf(e), TimingTarget::Both, anchors, -1)))
      state.SkipWithError("the stretch was not applied");
  }
}
BENCHMARK(BM_Stretch)->Unit(benchmark::kMillisecond);

// A folder on disk: content.xml with n scenes and n points (a full folder at 3600), the pictures of
// the scenes the tables hold present, and an FLV whose header gives its length.
struct FullFolder {
  QTemporaryDir dir;
  explicit FullFolder(int n = MaxRecords) {
    QStringList scenes, points;
    for (int i = 0; i < n; ++i) {
      const QString image = QStringLiteral("%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
      scenes << QStringLiteral("%1|第%2章 講義スライド|%3").arg(i * 3).arg(i).arg(image);
      points << QStringLiteral("%1|0.%2|0.%3").arg(i * 3).arg(10 + i % 80).arg(20 + i % 70);
      if (i < MaxRecords) test::WriteFile(JoinPath(dir.path(), image), QByteArray("\xFF\xD8\xFF\xE0", 4));
    }
    test::WriteFile(JoinPath(dir.path(), QStringLiteral("content.xml")), test::ContentXml(scenes, points));
    QByteArray flv = test::kFlvHead + QByteArray(4, '\0');
    const double seconds = n * 3.0;
    quint64 bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    flv += QByteArray("\x12\0\0\x20\0\0\0\0\0\0\0\x02\0\x0AonMetaData\x08\0\0\0\x01\0\x08" "duration\0", 40);
    flv += QByteArray(8, '\0');
    qToBigEndian(bits, flv.data() + flv.size() - 8);
    test::WriteFile(JoinPath(dir.path(), QStringLiteral("Video.flv")), flv);
  }
};

// The processor time of this process, all its threads (the check looks at the folder's entries on a
// second thread while content.xml is read).
double ProcessCpuMs() {
  rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The check of a folder of n records each: at 3600 both tables are full and the row limit is the
// only problem of each; at 36000 the tables hold the first 3600, as opening the folder does.
void BM_CheckFolder(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  FullFolder folder(n);
  const size_t expected = n >= MaxRecords ? 2 : 0;
  const double cpuBefore = ProcessCpuMs();
  for (auto _ : state) {
    const FolderCheck c = CheckFolder(folder.dir.path());
    if (!c.readable || c.videoLength <= 0 || c.problems.size() != expected)
      state.SkipWithError("the folder was not checked");
  }
  state.counters["all_threads_cpu_ms"] = (ProcessCpuMs() - cpuBefore) / static_cast<double>(state.iterations());
  state.SetComplexityN(n);
}
BENCHMARK(BM_CheckFolder)->Arg(360)->Arg(MaxRecords)->Arg(36000)->Unit(benchmark::kMillisecond);

// The check of the tables the editor holds (the dialog's 再チェック): the pictures looked at on
// disk and the video's header read, without reading content.xml again.
void BM_CheckLoadedFolder(benchmark::State& state) {
  FullFolder folder;
  FullTables f;
  Editor& e = *f.ed;
  e.DataFolder = folder.dir.path();
  for (int i = 0; i < MaxRecords; ++i) e.Sld[i].image = QStringLiteral("%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
  for (auto _ : state) {
    const CheckTables tables = TablesOf(e);
    const auto problems = CheckTiming(tables, ReadPictureStates(e.DataFolder, tables.slides, tables.slideCount),
                                      ReadVideoLength(e.DataFolder));
    if (problems.size() != 2) state.SkipWithError("unexpected problems");
  }
}
BENCHMARK(BM_CheckLoadedFolder)->Unit(benchmark::kMillisecond);

// The real executable: --check of the full folder, and --check of a folder that is not there (the
// program's start and end alone).
void RunCheck(benchmark::State& state, bool full) {
  FullFolder folder;
  const QString target = full ? folder.dir.path() : JoinPath(folder.dir.path(), QStringLiteral("none"));
  // The processor time of the runs too: on a loaded machine the wall time is mostly waiting.
  const auto childCpu = [] {
    rusage u {};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
  };
  const double cpuBefore = childCpu();
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.start(QStringLiteral(KEMO_EDITOR_BIN), {QStringLiteral("--check"), target});
    p.waitForFinished(60000);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    // The full folder's two problems (both tables at the row limit) give 1.
    if (p.exitCode() != (full ? 1 : 2)) state.SkipWithError("--check ended with an unexpected status");
  }
  state.counters["child_cpu_ms"] = (childCpu() - cpuBefore) / static_cast<double>(state.iterations());
}
void BM_CheckCommand(benchmark::State& state) { RunCheck(state, true); }
void BM_CheckCommandStartUp(benchmark::State& state) { RunCheck(state, false); }
BENCHMARK(BM_CheckCommand)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckCommandStartUp)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
