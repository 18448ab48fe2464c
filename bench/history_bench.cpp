// The document history on a full folder (3600 slides, 3600 points): undo and redo of a large
// registration, and one point edit reaching the recovery journal.
#include <benchmark/benchmark.h>

#include <memory>

#include "document/editor.h"
#include "document/history.h"
#include "document/tables.h"
#include "platform/record_set.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

// Bound tables holding 3600 slides and 3600 points (0.1 s apart), as loaded.
struct FullTables : test::BoundTables {
  FullTables() {
    Editor& e = *ed;
    // The journal belongs to a data folder.
    e.DataFolder = data.path();
    for (int i = 0; i < MaxRecords; ++i) {
      SlideRecord& s = e.Sld[i];
      s.id = static_cast<int16_t>(i + 1);
      s.pos = i * 1.5;
      s.timeText = FormatTimeText(s.pos);
      s.caption = QStringLiteral("第%1章 講義スライド「データ構造とアルゴリズム」").arg(i);
      s.image = QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
      PointRecord& p = e.Cur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = i / 10.0;
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

void BM_UndoRedoRegister(benchmark::State& state) {
  FullTables f;
  Editor& e = *f.ed;
  // A run of 1800 samples (50 ms apart) over the middle of the track replaces its points there.
  for (int i = 0; i < 1800; ++i) {
    PointRecord& p = e.recCur[i];
    p.id = static_cast<int16_t>(i + 1);
    p.t = 90.0 + i * 0.05;
    p.t = std::round(p.t * 1000) / 1000;
    p.timeText = FormatTimeText(p.t);
    p.x = QStringLiteral("0.%1").arg(10 + i % 80);
    p.y = QStringLiteral("0.%1").arg(20 + i % 70);
    p.mark = e.SymOn();
  }
  e.recCurCnt = 1800;
  RegisterRecordedPoints(e);
  if (!e.history->CanUndo() || e.CurCnt != MaxRecords) state.SkipWithError("the run was not registered");
  for (auto _ : state) {
    UndoChange(e);
    RedoChange(e);
  }
  if (e.history->CanRedo() || !e.history->CanUndo()) state.SkipWithError("undo or redo did not happen");
  state.counters["step_kB"] = static_cast<double>(e.history->StepBytes()) / 1024.0;
}
BENCHMARK(BM_UndoRedoRegister)->Unit(benchmark::kMillisecond);

void BM_JournalAppend(benchmark::State& state) {
  FullTables f;
  Editor& e = *f.ed;
  int i = 0;
  for (auto _ : state) {
    // One point's place typed over, as the Enter commit leaves it.
    PointRecord& p = e.Cur[(i * 7) % MaxRecords];
    p.x = QString::number(0.005 + (i % 97) / 100.0);  // never a place the table held
    ++i;
    RecordChange(e, ChangeName::PointEdit);
  }
  // Every change is in the file: replaying it gives each of them.
  auto work = std::make_unique<RecoveredWork>();
  if (!e.history->journal().IsOpen() || !ReadJournal(e.history->journal().Path(), nullptr, work.get()) ||
      work->damaged || work->changes < static_cast<int>(state.iterations()))
    state.SkipWithError("the changes did not reach the journal");
}
BENCHMARK(BM_JournalAppend)->Unit(benchmark::kMicrosecond);

// The history's own bytes after 200 full-size steps (every point's place changed each time).
void BM_HistoryBytes200FullSteps(benchmark::State& state) {
  for (auto _ : state) {
    FullTables f;
    Editor& e = *f.ed;
    for (int step = 0; step < 200; ++step) {
      for (int i = 0; i < MaxRecords; ++i) e.Cur[i].x = QString::number(((i + step) % 100) / 100.0);
      RecordChange(e, ChangeName::PointRegister);
    }
    state.counters["history_MB"] = static_cast<double>(e.history->StepBytes()) / (1024.0 * 1024.0);
  }
}
BENCHMARK(BM_HistoryBytes200FullSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
