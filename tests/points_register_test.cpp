// Registering a recorded run: the span and its question, the merge with its tie rules, the limit,
// and the whole command in the real window.
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

void Fill(PointArray& a, const std::vector<double>& times, const QString& x = QStringLiteral("0.1")) {
  a.ClearRange(0, kSlots);
  for (size_t i = 0; i < times.size(); ++i) {
    a[i].id = static_cast<int16_t>(i + 1);
    a[i].t = times[i];
    a[i].timeText = FormatTimeText(times[i]);
    a[i].x = x;
    a[i].y = x;
  }
}

std::vector<double> Times(const PointArray& a, int n) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(a[i].t);
  return v;
}

struct Merge {
  PointArray cur{}, rec{}, out{};
  MergeResult result;
  RegisterQuestion question;
  Merge(const std::vector<double>& c, const std::vector<double>& r) {
    Fill(cur, c, QStringLiteral("0.1"));
    Fill(rec, r, QStringLiteral("0.9"));
    question = BuildRegisterQuestion(cur, rec, static_cast<int>(r.size()));
    result = MergeRecordedPoints(cur, rec, out);
  }
};

}  // namespace

TEST(RegisterPoints, RunInTheMiddleReplacesWhatItSpans) {
  Merge m({1, 2, 3, 4, 5}, {2.5, 3.0, 3.5});
  EXPECT_EQ(m.question.text, QStringLiteral("00:02.500から00:03.500の新規マウスポイントを登録します。\r"
                                            "既登録マウスポイント(ID=3)は削除されます。よろしいですか？"));
  ASSERT_EQ(m.result.count, 7);
  EXPECT_EQ(Times(m.out, 7), (std::vector<double>{1, 2, 2.5, 3.0, 3.5, 4, 5}));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(m.out[i].id, i + 1);
  EXPECT_EQ(m.out[3].x, QStringLiteral("0.9"));  // the recorded point at 3 s, not the registered one
  EXPECT_EQ(m.out[3].timeText, QStringLiteral("00:03.000"));
  EXPECT_EQ(m.out[7].id, 0);
  EXPECT_FALSE(m.result.overflow);
}

TEST(RegisterPoints, RunsAfterTheLastAndBeforeTheFirst) {
  Merge after({1, 2}, {3, 4});
  EXPECT_EQ(after.question.text,
            QStringLiteral("00:03.000から00:04.000の新規マウスポイントを登録します。\rよろしいですか？"));
  EXPECT_EQ(Times(after.out, after.result.count), (std::vector<double>{1, 2, 3, 4}));

  Merge before({5, 6}, {0.25, 0.5});
  EXPECT_EQ(before.question.firstDel, 0);
  EXPECT_EQ(Times(before.out, before.result.count), (std::vector<double>{0.25, 0.5, 5, 6}));
  EXPECT_EQ(before.out[0].id, 1);
  EXPECT_EQ(before.out[2].id, 3);
  EXPECT_EQ(before.out[2].x, QStringLiteral("0.1"));
}

TEST(RegisterPoints, PointsAtTheRunsEndsAreReplacedAndNamed) {
  Merge m({1, 2, 3, 4}, {2, 2.5, 3});
  EXPECT_EQ(m.question.text, QStringLiteral("00:02.000から00:03.000の新規マウスポイントを登録します。\r"
                                            "既登録マウスポイント(ID=2 から ID=3)は削除されます。よろしいですか？"));
  EXPECT_EQ(Times(m.out, m.result.count), (std::vector<double>{1, 2, 2.5, 3, 4}));
  EXPECT_EQ(m.out[1].x, QStringLiteral("0.9"));
  EXPECT_EQ(m.out[3].x, QStringLiteral("0.9"));

  Merge single({1, 2, 3}, {2});
  EXPECT_EQ(single.question.text, QStringLiteral("00:02.000の新規マウスポイントを登録します。\r"
                                                 "既登録マウスポイント(ID=2)は削除されます。よろしいですか？"));
  EXPECT_EQ(Times(single.out, single.result.count), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(single.out[1].x, QStringLiteral("0.9"));

  // Times of long videos: a run past 100 minutes still finds the points it replaces.
  Merge late({5990, 6000.5, 6010}, {6000.5});
  EXPECT_EQ(late.question.firstDel, 2);
  EXPECT_TRUE(late.question.text.startsWith(QStringLiteral("100:00.500の新規")));
}

TEST(RegisterPoints, MergeBeyondTheLimitKeeps3600AndNamesTheFirstCut) {
  std::vector<double> cur;
  for (int i = 0; i < MaxRecords; ++i) cur.push_back(i);
  Merge m(cur, {10.2, 10.4});
  ASSERT_EQ(m.result.count, MaxRecords);
  EXPECT_TRUE(m.result.overflow);
  // 11 before the run, the run of 2, then 3587 of the 3589 after it fit: 3598 s is the 3601st point.
  EXPECT_DOUBLE_EQ(m.result.firstDroppedT, 3598.0);
  EXPECT_DOUBLE_EQ(m.out[MaxRecords - 1].t, 3597.0);
  EXPECT_EQ(m.out[MaxRecords - 1].id, MaxRecords);
  EXPECT_EQ(m.out[MaxRecords].id, 0);
}

TEST(RegisterPoints, TheCommandInTheWindow) {
  test::Window w;
  Editor& ed = w.ed();
  ed.EditorState = State::Idle;
  RefreshModeDisplay(ed);
  Fill(ed.Cur, {1, 2, 3, 4, 5});
  ed.CurCnt = 5;
  BuildPointTable(ed);
  Fill(ed.recCur, {2.5, 3.0, 3.5}, QStringLiteral("0.5"));
  ed.recCurCnt = 3;
  ed.points->recCurPos = 3;
  for (int i = 0; i < 3; ++i) {
    StageMarker m;
    m.visible = true;
    m.left = 100 * i;
    ed.ui.img->SetMarker(MarkerArray::RecPoint, i, m);
  }
  SetContentChanged(ed, false);

  w.messages.Answer(MsgResult::No);
  ed.ui.cbSave->click();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(ed.CurCnt, 5);
  EXPECT_EQ(ed.recCurCnt, 3);
  EXPECT_FALSE(ed.ContentChanged);

  w.player.SetPositionNow(3.2);
  w.messages.Answer(MsgResult::Yes);
  ed.ui.cbSave->click();
  ASSERT_EQ(w.messages.shown.size(), 3u);
  EXPECT_EQ(w.messages.shown[2].text, QStringLiteral("登録しました。"));
  EXPECT_EQ(ed.CurCnt, 7);
  EXPECT_EQ(ed.RS_CUR->RecordCount(), 7);
  EXPECT_EQ(ed.RS_CUR->FieldAt(3, 1).toString(), QStringLiteral("00:03.000"));
  EXPECT_EQ(ed.RS_CUR->FieldAt(3, 2).toString(), QStringLiteral("50"));
  EXPECT_EQ(ed.recCurCnt, 0);
  EXPECT_EQ(ed.points->recCurPos, 0);
  EXPECT_EQ(ed.RS_recCUR->RecordCount(), 0);
  const StageMarker& rm = ed.ui.img->Marker(MarkerArray::RecPoint, 1);
  EXPECT_FALSE(rm.visible);
  EXPECT_DOUBLE_EQ(rm.left, -10);
  EXPECT_EQ(ed.ui.lbRecTimer0->text(), QStringLiteral("最終記録No.-- 時間=--:--.--- X=-- Y=--"));
  // The point in force at the resume time (3.2 s) is selected: the recorded point at 3.0 s.
  EXPECT_EQ(ed.RS_CUR->CurrentRow(), 3);
  EXPECT_TRUE(ed.ContentChanged);

  // Nothing recorded: nothing asked.
  ed.ui.cbSave->click();
  EXPECT_EQ(w.messages.shown.size(), 3u);
}

TEST(RegisterPoints, FullListAndOverflowMessages) {
  test::Window w;
  Editor& ed = w.ed();
  ed.EditorState = State::Idle;
  std::vector<double> cur;
  for (int i = 0; i < MaxRecords; ++i) cur.push_back(i);
  Fill(ed.Cur, cur);
  ed.CurCnt = MaxRecords;
  BuildPointTable(ed);

  Fill(ed.recCur, {4000});
  ed.recCurCnt = 1;
  RegisterRecordedPoints(ed);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text,
            QStringLiteral("3600件目の最終登録時間 59:59.000 を超えているため登録することができません。"
                           "既登録データを削除してください。"));
  EXPECT_EQ(w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(ed.recCurCnt, 1);

  w.messages.Clear();
  Fill(ed.recCur, {10.2, 10.4});
  ed.recCurCnt = 2;
  RegisterRecordedPoints(ed);
  ASSERT_EQ(w.messages.shown.size(), 3u);
  const QString overflow = QStringLiteral("\r59:58.000以降のデータは最大登録件数3600件を超えたため削除しました。");
  EXPECT_EQ(w.messages.shown[1].text, overflow);
  EXPECT_EQ(w.messages.shown[1].icon, MsgIcon::Information);
  EXPECT_EQ(w.messages.shown[2].text, QStringLiteral("登録しました。") + overflow);
  EXPECT_EQ(ed.CurCnt, MaxRecords);
  EXPECT_EQ(ed.RS_CUR->RecordCount(), MaxRecords);
}
