// The recorder in the real window with a scripted pointer and player: where a sample lands, the
// ordering and limit refusals with their beeps and texts, paused and constrained movement, the
// sampling timer, the interval items, the record panel and clearing.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "platform/captions.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

const std::vector<std::pair<int, int>> kTwoBeeps = {{415, 100}, {330, 200}};

struct Recorder {
  test::Window w;
  Editor& ed;
  explicit Recorder(uint8_t state = State::RecordPlaying) : ed(w.ed()) {
    ed.EditorState = state;
    ed.ui.frMain->setEnabled(true);  // as the mode refresh leaves it in every state with a folder
    ed.ui.ckRecDisp->setChecked(true);
  }
  // Puts the pointer at fractions of the picture (to the nearest pixel).
  void PointAt(double fx, double fy) {
    Stage* img = ed.ui.img;
    w.pointer.position = img->mapToGlobal(QPoint(qRound(fx * img->width()), qRound(fy * img->height())));
  }
  void At(double seconds) { w.player.SetPositionNow(seconds); }
  void Press() { OnStageMouseDown(ed); }
  void Tick() { SampleRecordTick(ed); }
  QString Err() { return ed.ui.lbRecErr->text(); }
  QString Hint(int i) { return ed.ui.lbRecStat[i]->text(); }
};

}  // namespace

TEST(Recorder, SampleStoresFractionsTimeMarkerAndStatusLine) {
  Recorder r;
  r.At(12.3456);
  r.PointAt(0.456, 0.25);
  r.Press();
  r.Tick();
  ASSERT_EQ(r.ed.recCurCnt, 1);
  const PointRecord& p = r.ed.recCur[0];
  EXPECT_EQ(p.id, 1);
  EXPECT_DOUBLE_EQ(p.t, 12.345);
  EXPECT_EQ(p.timeText, QStringLiteral("00:12.345"));
  EXPECT_EQ(p.x, QStringLiteral("0.46"));
  EXPECT_EQ(p.y, QStringLiteral("0.25"));
  EXPECT_EQ(p.mark, r.ed.SymOn());
  EXPECT_EQ(r.ed.ui.lbRecTimer0->text(), QStringLiteral("最終記録No.1 時間=00:12.345 X=46 Y=25"));
  EXPECT_EQ(r.ed.ui.lbRecTimer1->text(), r.ed.ui.lbRecTimer0->text());
  EXPECT_EQ(r.Hint(0), QStringLiteral("記録中！"));
  EXPECT_EQ(r.Hint(1), QStringLiteral("記録中！"));
  EXPECT_TRUE(r.Err().isEmpty());

  const StageMarker& m = r.ed.ui.img->Marker(MarkerArray::RecPoint, 0);
  const double W = r.ed.ui.img->WidthTwips(), H = r.ed.ui.img->HeightTwips();
  EXPECT_TRUE(m.visible);
  EXPECT_DOUBLE_EQ(m.width, 150);
  EXPECT_NEAR(m.left, 0.46 * W - 75, 1e-6);
  EXPECT_NEAR(m.top, 0.25 * H - 75, 1e-6);
  EXPECT_EQ(m.tooltip, QStringLiteral("記録No.［1］　時間［00:12.345］　X［46］　Y［25］"));

  // The picture's edges are 0 and 1 wherever the window is.
  r.w.window->move(400, 300);
  r.At(13);
  r.PointAt(1.0, 0.0);
  r.Tick();
  EXPECT_EQ(r.ed.recCur[1].x, QStringLiteral("1.00"));
  EXPECT_EQ(r.ed.recCur[1].y, QStringLiteral("0.00"));

  RefreshRecordPanel(r.ed);
  RecordSet& rs = *r.ed.RS_recCUR;
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.FieldAt(0, 0).toInt(), 2);  // newest first
  EXPECT_EQ(rs.FieldAt(1, 2).toString(), QStringLiteral("46"));
}

TEST(Recorder, EarlierTimeIsRefusedOnEveryTickWithTwoBeeps) {
  Recorder r;
  r.At(10);
  r.PointAt(0.5, 0.5);
  r.Press();
  r.Tick();
  r.At(8);
  r.Tick();
  r.Tick();
  EXPECT_EQ(r.ed.recCurCnt, 1);
  const std::vector<std::pair<int, int>> four = {{415, 100}, {330, 200}, {415, 100}, {330, 200}};
  EXPECT_EQ(r.w.beeper.beeps, four);
  EXPECT_EQ(r.Err(), QStringLiteral("最終記録時間より過去の時間は記録できません"));
  EXPECT_EQ(r.Hint(0), QStringLiteral("記録時間エラー"));
  EXPECT_EQ(r.Hint(1), QStringLiteral("記録時間エラー"));
  EXPECT_FALSE(r.ed.ui.picRecErr->isHidden());
  // The same time again is accepted while playing.
  r.At(10);
  r.Tick();
  EXPECT_EQ(r.ed.recCurCnt, 2);
  EXPECT_TRUE(r.Err().isEmpty());
}

TEST(Recorder, TheLimitRefusesAFurtherPoint) {
  Recorder r;
  for (int i = 0; i < MaxRecords; ++i) {
    r.ed.recCur[i].id = static_cast<int16_t>(i + 1);
    r.ed.recCur[i].t = i * 0.1;
  }
  r.ed.recCurCnt = MaxRecords;
  r.ed.points->recCurPos = MaxRecords;
  r.At(400);
  r.Press();
  r.Tick();
  EXPECT_EQ(r.ed.recCurCnt, MaxRecords);
  EXPECT_EQ(r.ed.recCur[MaxRecords].id, 0);
  EXPECT_EQ(r.w.beeper.beeps, kTwoBeeps);
  EXPECT_EQ(r.Err(), QStringLiteral("3600を超えるポイントは記録できません"));
  EXPECT_EQ(r.Hint(0), QStringLiteral("記録件数オーバーフロー"));
  EXPECT_EQ(r.Hint(1), QStringLiteral("記録件数オーバーフロー"));
}

TEST(Recorder, PausedHoldAndMoveChangesOnlyTheNewestPoint) {
  Recorder r(State::RecordPaused);
  r.At(5);
  r.PointAt(0.1, 0.1);
  r.Press();
  r.Tick();
  r.At(6);
  r.PointAt(0.2, 0.2);
  r.Tick();
  ASSERT_EQ(r.ed.recCurCnt, 2);
  r.PointAt(0.3, 0.4);
  r.Tick();
  r.PointAt(0.6, 0.7);
  r.Tick();
  EXPECT_EQ(r.ed.recCurCnt, 2);
  EXPECT_EQ(r.ed.recCur[0].x, QStringLiteral("0.10"));
  EXPECT_EQ(r.ed.recCur[1].x, QStringLiteral("0.60"));
  EXPECT_EQ(r.ed.recCur[1].y, QStringLiteral("0.70"));
  EXPECT_EQ(r.ed.recCur[2].id, 0);
  // Paused behind the last point: refused like while playing.
  r.At(5.5);
  r.Tick();
  EXPECT_EQ(r.Err(), QStringLiteral("最終記録時間より過去の時間は記録できません"));
  EXPECT_EQ(r.ed.recCurCnt, 2);
}

TEST(Recorder, HorizontalModeKeepsTheYOfTheFirstSampleOfThePress) {
  Recorder r;
  r.ed.ui.opSmode[1]->click();
  ASSERT_EQ(r.ed.points->RecordMoveMode, 1);
  r.At(1);
  r.PointAt(0.2, 0.3);
  r.Press();
  r.Tick();
  r.At(2);
  r.PointAt(0.5, 0.8);
  r.Tick();
  EXPECT_EQ(r.ed.recCur[1].x, QStringLiteral("0.50"));
  EXPECT_EQ(r.ed.recCur[1].y, QStringLiteral("0.30"));
  // A new press takes a new anchor.
  OnStageMouseUp(r.ed);
  r.At(3);
  r.PointAt(0.5, 0.6);
  r.Press();
  r.Tick();
  r.PointAt(0.9, 0.1);
  r.At(4);
  r.Tick();
  EXPECT_EQ(r.ed.recCur[3].y, QStringLiteral("0.60"));
  r.ed.ui.opSmode[2]->click();
  r.Press();
  r.Tick();
  r.PointAt(0.1, 0.2);
  r.At(5);
  r.Tick();
  EXPECT_EQ(r.ed.recCur[5].x, QStringLiteral("0.90"));
  EXPECT_EQ(r.ed.recCur[5].y, QStringLiteral("0.20"));
}

TEST(Recorder, TheTimerSamplesOnlyWhileAButtonIsHeldInARecordingState) {
  Recorder r(State::Idle);
  r.PointAt(0.5, 0.5);
  r.Press();
  EXPECT_FALSE(r.ed.ui.recTimer->isActive());
  r.ed.EditorState = State::RecordPlaying;
  r.ed.ui.recTimer->setInterval(10);
  r.At(1);
  r.Press();
  EXPECT_TRUE(r.ed.ui.recTimer->isActive());
  test::Pump(80);
  EXPECT_GE(r.ed.recCurCnt, 2);
  OnStageMouseUp(r.ed);
  EXPECT_FALSE(r.ed.ui.recTimer->isActive());
  EXPECT_EQ(r.Hint(0), QStringLiteral("スライドクリックorドラッグ！"));
  EXPECT_EQ(r.Hint(1), QStringLiteral("スライドクリックorドラッグ！"));
  const int n = r.ed.recCurCnt;
  test::Pump(40);
  EXPECT_EQ(r.ed.recCurCnt, n);
}

TEST(Recorder, RecordingToggleAndPanel) {
  test::Window w;
  Editor& ed = w.ed();
  ed.EditorState = State::Idle;
  RefreshModeDisplay(ed);
  ed.ui.cbRec[0]->click();
  EXPECT_EQ(ed.EditorState, State::RecordPlaying);
  EXPECT_FALSE(ed.ui.fDialog[0]->isHidden());
  EXPECT_EQ(ed.ui.cbRec[1]->text(), QStringLiteral("記録停止"));
  ed.ui.ppCurRec->trigger();
  EXPECT_EQ(ed.EditorState, State::Idle);
  EXPECT_EQ(ed.ui.cbRec[0]->text(), QStringLiteral("記録開始"));

  ed.ui.ppCurRecDisp->trigger();
  EXPECT_TRUE(ed.ui.fDialog[0]->isHidden());
  ed.ui.ppCurRecDisp->trigger();
  EXPECT_FALSE(ed.ui.fDialog[0]->isHidden());
}

TEST(Recorder, IntervalItemsMarkThemselvesAndHandTheOptionGroupOn) {
  test::Window w;
  Editor& ed = w.ed();
  ed.EditorState = State::Idle;
  RefreshModeDisplay(ed);
  ed.ui.ppCurTimer100ms->trigger();
  EXPECT_TRUE(ed.ui.ppCurTimer100ms->isChecked());
  EXPECT_FALSE(ed.ui.ppCurTimer50ms->isChecked());
  EXPECT_TRUE(ed.ui.opInterval[2]->isChecked());
  // A newly selected option runs its own handler, whose interval then holds.
  EXPECT_EQ(ed.ui.recTimer->interval(), 200);
  ed.ui.ppCurTimer100ms->trigger();
  EXPECT_EQ(ed.ui.recTimer->interval(), 100);
  ed.ui.ppCurTimer50ms->trigger();
  EXPECT_TRUE(ed.ui.ppCurTimer50ms->isChecked());
  EXPECT_FALSE(ed.ui.ppCurTimer100ms->isChecked());
  EXPECT_TRUE(ed.ui.opInterval[1]->isChecked());
  EXPECT_EQ(ed.ui.recTimer->interval(), 100);
}

TEST(Recorder, ClearAsksOnlyWhenThereIsSomethingToClear) {
  Recorder r;
  ClearRecordedCommand(r.ed);
  EXPECT_TRUE(r.w.messages.shown.empty());

  r.At(1);
  r.PointAt(0.5, 0.5);
  r.Press();
  r.Tick();
  r.At(2);
  r.Tick();
  r.w.messages.Answer(MsgResult::No);
  ClearRecordedCommand(r.ed);
  EXPECT_EQ(r.w.messages.LastText(), QStringLiteral("マウスポイント記録を全て削除します。よろしいですか？"));
  EXPECT_EQ(r.ed.recCurCnt, 2);
  r.w.messages.Answer(MsgResult::Yes);
  ClearRecordedCommand(r.ed);
  EXPECT_EQ(r.ed.recCurCnt, 0);
  EXPECT_EQ(r.ed.points->recCurPos, 0);
  EXPECT_EQ(r.ed.recCur[1].id, 0);
  EXPECT_EQ(r.ed.RS_recCUR->RecordCount(), 0);
  EXPECT_FALSE(r.ed.ui.img->Marker(MarkerArray::RecPoint, 1).visible);
  EXPECT_EQ(r.ed.ui.lbRecTimer0->text(), QStringLiteral("最終記録No.-- 時間=--:--.--- X=-- Y=--"));
  EXPECT_EQ(r.ed.ui.lbRecTimer1->text(), r.ed.ui.lbRecTimer0->text());
}

TEST(Recorder, EditingTheRecordedListKeepsTheWriteSlotInStep) {
  Recorder r;
  for (double t : {1.0, 2.0, 3.0}) {
    r.At(t);
    r.PointAt(t / 10, 0.5);
    r.Press();
    r.Tick();
  }
  ASSERT_EQ(r.ed.points->recCurPos, 3);
  // Back to paused at the last time, and delete the newest point from the panel's grid.
  r.ed.EditorState = State::RecordPaused;
  RefreshRecordPanel(r.ed);
  r.ed.RS_recCUR->MoveTo(0);  // newest first: 記録No. 3
  DeleteRecordedPoint(r.ed);
  EXPECT_EQ(r.w.messages.LastText(), QStringLiteral("ID 3 を削除します。よろしいですか？"));
  ASSERT_EQ(r.ed.recCurCnt, 2);
  EXPECT_EQ(r.ed.points->recCurPos, 2);
  EXPECT_EQ(r.ed.RS_recCUR->RecordCount(), 2);
  EXPECT_FALSE(r.ed.ui.img->Marker(MarkerArray::RecPoint, 2).visible);
  EXPECT_EQ(r.ed.ui.lbRecTimer0->text(), QStringLiteral("最終記録No.2 時間=00:02.000 X=20 Y=50"));
  // Recording goes on: the next point fills slot 2, with no gap below the count.
  r.At(4);
  r.Tick();
  EXPECT_EQ(r.ed.recCurCnt, 3);
  EXPECT_EQ(r.ed.recCur[2].id, 3);
  EXPECT_DOUBLE_EQ(r.ed.recCur[2].t, 4.0);

  // Delete the first point: the rest move down and are renumbered.
  RefreshRecordPanel(r.ed);
  r.ed.RS_recCUR->MoveTo(2);  // 記録No. 1
  DeleteRecordedPoint(r.ed);
  ASSERT_EQ(r.ed.recCurCnt, 2);
  EXPECT_EQ(r.ed.recCur[0].id, 1);
  EXPECT_DOUBLE_EQ(r.ed.recCur[0].t, 2.0);
  EXPECT_DOUBLE_EQ(r.ed.recCur[1].t, 4.0);
  EXPECT_TRUE(r.ed.ui.img->Marker(MarkerArray::RecPoint, 0).tooltip.startsWith(QStringLiteral("ID［1］")));
  EXPECT_EQ(r.ed.points->recCurPos, 2);

  // Insert after 記録No. 1: a point at its time and position 0, 0.
  RefreshRecordPanel(r.ed);
  r.ed.RS_recCUR->MoveTo(1);
  InsertRecordedPointAfter(r.ed);
  ASSERT_EQ(r.ed.recCurCnt, 3);
  EXPECT_DOUBLE_EQ(r.ed.recCur[1].t, 2.0);
  EXPECT_EQ(r.ed.recCur[1].x, QStringLiteral("0"));
  EXPECT_EQ(r.ed.recCur[2].id, 3);
  EXPECT_EQ(r.ed.points->recCurPos, 3);
}
