// The point track in time order: a time typed into the grid moves its point to its place,
// registering a run replaces exactly the points of its span, a track read out of order from
// content.xml is named once and loses nothing later, and showing a point is no change to save.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

std::vector<double> Times(const PointArray& a, int n) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(a[i].t);
  return v;
}

PointArray Track(const std::vector<double>& times) {
  PointArray a{};
  for (size_t i = 0; i < times.size(); ++i) {
    a[i].id = static_cast<int16_t>(i + 1);
    a[i].t = times[i];
    a[i].timeText = FormatTimeText(times[i]);
    a[i].x = QString::number(i);
  }
  return a;
}

class PointOrder : public ::testing::Test {
 protected:
  test::Window w;
  QTemporaryDir data;
  Editor& ed() { return w.ed(); }

  // A folder whose points are at 1, 2, ... n seconds (x = slot / 100).
  void OpenTrack(int n) {
    QStringList points;
    for (int i = 0; i < n; ++i) points << QStringLiteral("%1|%2|0.5").arg(i + 1).arg(i / 100.0);
    w.OpenFolder(data.path(), {"0|a|a.jpg"}, points);
    ASSERT_EQ(ed().CurCnt, n);
  }
  void RecordRun(const std::vector<double>& times) {
    for (size_t i = 0; i < times.size(); ++i) {
      PointRecord& p = ed().recCur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = times[i];
      p.timeText = FormatTimeText(times[i]);
      p.x = p.y = QStringLiteral("0.9");
      p.mark = ed().SymOff();
    }
    ed().recCurCnt = static_cast<int16_t>(times.size());
    ed().points->recCurPos = ed().recCurCnt;
    RefreshRecordPanel(ed());
  }
};

}  // namespace

TEST(PointOrderMove, APointGoesAfterThePointsOfItsTime) {
  PointArray a = Track({1, 2, 3, 4, 5});
  a[1].t = 4;  // later than its neighbour: after the other 4 s point
  EXPECT_EQ(MovePointToPlace(a, 5, 1), 3);
  EXPECT_EQ(Times(a, 5), (std::vector<double>{1, 3, 4, 4, 5}));
  EXPECT_EQ(a[3].x, QStringLiteral("1"));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a[i].id, i + 1);

  a = Track({1, 2, 3, 4, 5});
  a[4].t = 0.5;  // earlier than all
  EXPECT_EQ(MovePointToPlace(a, 5, 4), 0);
  EXPECT_EQ(Times(a, 5), (std::vector<double>{0.5, 1, 2, 3, 4}));
  EXPECT_EQ(a[0].x, QStringLiteral("4"));

  a = Track({1, 2, 3});
  a[1].t = 2.5;  // still in order: stays
  EXPECT_EQ(MovePointToPlace(a, 3, 1), 1);
  EXPECT_EQ(FirstPointOutOfOrder(a, 3), -1);
  a[2].t = 0;
  EXPECT_EQ(FirstPointOutOfOrder(a, 3), 2);
}

TEST_F(PointOrder, TypedTimeMovesThePointAndItsMarkerAndKeepsItsRowSelected) {
  OpenTrack(30);
  w.window->show();
  w.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  DataGrid* g = ed().ui.dgCursor;
  const StageMarker moved = ed().ui.img->Marker(MarkerArray::Point, 4);
  const StageMarker sixth = ed().ui.img->Marker(MarkerArray::Point, 5);

  // ID 5 set to 00:20.500 with a real cell editor and Enter.
  const QModelIndex idx = g->model()->index(4, 1);
  g->setCurrentIndex(idx);
  g->edit(idx);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("00:20.500"));
  QTest::keyClick(editor, Qt::Key_Return);
  test::Pump();  // the delegate ends an edit by Enter on the next turn of the loop

  std::vector<double> expected;
  for (int i = 1; i <= 30; ++i)
    if (i != 5) expected.push_back(i);
  expected.insert(expected.begin() + 19, 20.5);
  EXPECT_EQ(Times(ed().Cur, 30), expected);
  EXPECT_EQ(ed().Cur[19].x, QStringLiteral("0.04"));  // the former ID 5
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(ed().Cur[i].id, i + 1);
    EXPECT_EQ(ed().RS_CUR->FieldAt(i, 0).toInt(), i + 1);
    EXPECT_EQ(ed().RS_CUR->FieldAt(i, 1).toString(), ed().Cur[i].timeText);
  }
  EXPECT_EQ(ed().RS_CUR->CurrentRow(), 19);
  EXPECT_EQ(g->currentIndex().row(), 19);
  // The markers moved with their points.
  EXPECT_DOUBLE_EQ(ed().ui.img->Marker(MarkerArray::Point, 19).left, moved.left);
  EXPECT_DOUBLE_EQ(ed().ui.img->Marker(MarkerArray::Point, 4).left, sixth.left);
  EXPECT_TRUE(ed().ui.img->MarkerTooltip(MarkerArray::Point, 19).startsWith(QStringLiteral("ID［20］")));
  EXPECT_TRUE(ed().ContentChanged);

  // A run registered over 11.5 .. 14.1 s now replaces exactly the points at 12, 13 and 14 s.
  RecordRun({11.5, 12.5, 14.1});
  w.messages.Clear();
  RegisterRecordedPoints(ed());
  ASSERT_GE(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text,
            QStringLiteral("00:11.500から00:14.100の新規マウスポイントを登録します。\r"
                           "既登録マウスポイント(ID=11 から ID=13)は削除されます。よろしいですか？"));
  EXPECT_EQ(ed().CurCnt, 30);
  EXPECT_DOUBLE_EQ(ed().Cur[29].t, 30);
  EXPECT_DOUBLE_EQ(ed().Cur[10].t, 11.5);
  EXPECT_DOUBLE_EQ(ed().Cur[19].t, 20.5);
}

TEST_F(PointOrder, OutOfOrderFileLoadsAsItStandsWithOneMessageAndLosesNothingOutsideARun) {
  QStringList points;
  for (int i = 1; i <= 20; ++i) points << QStringLiteral("%1|0.1|0.1").arg(i == 5 ? 50 : i);
  test::WriteFile(data.filePath("content.xml"), test::ContentXml({"0|a|a.jpg"}, points));
  test::WriteFile(data.filePath("Video.flv"), test::kFlvHead);
  test::WriteFile(data.filePath("Video.avi"), test::kAviHead);
  w.dialogs.folders.push_back(data.path());
  OnFileOpen(ed());
  ASSERT_EQ(ed().CurCnt, 20);
  EXPECT_DOUBLE_EQ(ed().Cur[4].t, 50);  // as the file has it
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text,
            ShowPath(JoinPath(data.path(), QStringLiteral("content.xml"))) +
                QStringLiteral("のマウスポイントは時間順に並んでいません。\rID 6 の時間 00:06.000 は前の ID 5 の時間 "
                               "00:50.000 より前です。"));
  EXPECT_FALSE(ed().ContentChanged);

  // A run over 11.5 .. 14.1 s replaces exactly 12, 13 and 14 s; the point at 50 s stays.
  RecordRun({11.5, 12.5, 14.1});
  w.messages.Clear();
  RegisterRecordedPoints(ed());
  ASSERT_GE(w.messages.shown.size(), 1u);
  EXPECT_TRUE(w.messages.shown[0].text.contains(QStringLiteral("(ID=12 から ID=14)")));
  EXPECT_EQ(ed().CurCnt, 20);
  const std::vector<double> t = Times(ed().Cur, 20);
  EXPECT_EQ(std::count(t.begin(), t.end(), 50.0), 1);
  EXPECT_EQ(std::count(t.begin(), t.end(), 20.0), 1);
  EXPECT_EQ(std::count(t.begin(), t.end(), 11.5), 1);

  // Points of the span that are not one run of ids are each named.
  PointArray cur = Track({1, 3, 9, 2, 3});
  PointArray rec = Track({2.5, 3.5});
  EXPECT_TRUE(BuildRegisterQuestion(cur, rec, 2).text.contains(QStringLiteral("(ID=2、ID=5)")));
}

TEST_F(PointOrder, ShowingOrHidingAPointLeavesNothingToSave) {
  OpenTrack(3);
  ed().RS_CUR->MoveTo(1);
  ed().ui.ppCurDisp->trigger();
  EXPECT_EQ(ed().Cur[1].mark, ed().SymOn());
  EXPECT_TRUE(ed().ui.img->Marker(MarkerArray::Point, 1).visible);
  EXPECT_FALSE(ed().ContentChanged);
  ed().ui.ppCurDisp->trigger();
  EXPECT_EQ(ed().Cur[1].mark, ed().SymOff());
  EXPECT_FALSE(ed().ContentChanged);
}
