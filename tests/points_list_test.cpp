// The registered point list in the real window: delete and insert with renumbering and markers,
// the Enter commit, the point menu's captions, showing and hiding, delete-all, arrow keys.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

// The window idle with registered points at the given times; point i sits at x 0.1·(i+1), y 0.05·(i+1).
struct PointList {
  test::Window w;
  Editor& ed;
  int popups = 0;
  explicit PointList(const std::vector<double>& times) : ed(w.ed()) {
    for (size_t i = 0; i < times.size(); ++i) {
      PointRecord& p = ed.Cur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = times[i];
      p.timeText = FormatTimeText(times[i]);
      p.x = QString::number(0.1 * (i + 1));
      p.y = QString::number(0.05 * (i + 1));
      p.mark = ed.SymOff();
    }
    ed.CurCnt = static_cast<int16_t>(times.size());
    BuildPointTable(ed);
    LayoutPointMarkers(ed, false);
    ed.EditorState = State::Idle;
    RefreshModeDisplay(ed);
    SetContentChanged(ed, false);
    ed.points->PopupMenu = [this](QMenu*) { ++popups; };
  }
  RecordSet& rs() { return *ed.RS_CUR; }
  const StageMarker& marker(int i) { return ed.ui.img->Marker(MarkerArray::Point, i); }
  QString tip(int i) { return ed.ui.img->MarkerTooltip(MarkerArray::Point, i); }
  void Select(int id) { rs().MoveTo(id - 1); }
};

}  // namespace

TEST(PointList, DeleteRenumbersMovesMarkersAndClearsTheFreedSlot) {
  PointList f({1, 2, 3, 4, 5});
  const StageMarker former4 = f.marker(3), former5 = f.marker(4);
  f.ed.Cur[3].mark = f.ed.SymOn();  // the former point 4 is shown; its marker must be visible at index 2
  f.Select(3);

  f.w.messages.Answer(MsgResult::No);
  DeletePoint(f.ed);
  EXPECT_EQ(f.w.messages.LastText(), QStringLiteral("ID 3 を削除します。よろしいですか？"));
  EXPECT_EQ(f.ed.CurCnt, 5);
  EXPECT_FALSE(f.ed.ContentChanged);

  f.Select(3);
  f.w.messages.Answer(MsgResult::Yes);
  DeletePoint(f.ed);
  ASSERT_EQ(f.ed.CurCnt, 4);
  const double expected[4] = {1, 2, 4, 5};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(f.ed.Cur[i].id, i + 1);
    EXPECT_DOUBLE_EQ(f.ed.Cur[i].t, expected[i]);
    EXPECT_EQ(f.rs().FieldAt(i, 0).toInt(), i + 1);
    EXPECT_EQ(f.rs().FieldAt(i, 1).toString(), FormatTimeText(expected[i]));
  }
  EXPECT_EQ(f.rs().RecordCount(), 4);
  EXPECT_EQ(f.ed.Cur[4].id, 0);
  EXPECT_TRUE(f.ed.Cur[4].x.isEmpty());
  EXPECT_TRUE(f.ed.Cur[4].timeText.isEmpty());
  EXPECT_DOUBLE_EQ(f.marker(2).left, former4.left);
  EXPECT_DOUBLE_EQ(f.marker(2).top, former4.top);
  EXPECT_TRUE(f.marker(2).visible);
  EXPECT_DOUBLE_EQ(f.marker(3).left, former5.left);
  EXPECT_TRUE(f.tip(3).startsWith(QStringLiteral("ID［4］　時間［00:05.000］")));
  EXPECT_FALSE(f.marker(4).visible);
  // The row that took the deleted point's place is the selected one.
  EXPECT_EQ(f.rs().CurrentRow(), 2);
  EXPECT_TRUE(f.ed.ContentChanged);
}

TEST(PointList, TheLastPointCannotBeDeleted) {
  PointList f({7});
  DeletePoint(f.ed);
  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text, QStringLiteral("削除できません。１件以上のデータが必要です。"));
  EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(f.ed.CurCnt, 1);
  EXPECT_EQ(f.rs().RecordCount(), 1);
  EXPECT_FALSE(f.ed.ContentChanged);
}

TEST(PointList, InsertAfterTakesTheTimeAndMarkAtTheCorner) {
  PointList f({1, 2, 3});
  f.ed.Cur[1].mark = f.ed.SymOn();
  BuildPointTable(f.ed);
  f.Select(2);
  InsertPointAfter(f.ed);
  EXPECT_EQ(f.w.messages.LastText(), QStringLiteral("ID 2 の次に追加します。よろしいですか？"));
  ASSERT_EQ(f.ed.CurCnt, 4);
  EXPECT_EQ(f.ed.Cur[2].id, 3);
  EXPECT_DOUBLE_EQ(f.ed.Cur[2].t, 2.0);
  EXPECT_EQ(f.ed.Cur[2].x, QStringLiteral("0"));
  EXPECT_EQ(f.ed.Cur[2].y, QStringLiteral("0"));
  EXPECT_EQ(f.ed.Cur[2].mark, f.ed.SymOn());
  EXPECT_EQ(f.ed.Cur[3].id, 4);
  EXPECT_DOUBLE_EQ(f.ed.Cur[3].t, 3.0);
  EXPECT_EQ(f.rs().RecordCount(), 4);
  EXPECT_EQ(f.rs().FieldAt(2, 2).toString(), QStringLiteral("0"));
  EXPECT_EQ(f.rs().FieldAt(3, 0).toInt(), 4);
  EXPECT_DOUBLE_EQ(f.marker(2).left, -80);
  EXPECT_DOUBLE_EQ(f.marker(2).top, -80);
  EXPECT_TRUE(f.tip(3).startsWith(QStringLiteral("ID［4］")));
  EXPECT_TRUE(f.ed.ContentChanged);
}

TEST(PointList, EnterCommitsTheEditedRow) {
  PointList f({1, 2, 7000});  // the edited times stay between the first and the last
  f.ed.Cur[1].x = QStringLiteral("0.4523");
  BuildPointTable(f.ed);
  f.Select(2);
  RecordSet& rs = f.rs();
  rs.setData(rs.index(1, 1), QStringLiteral("01:02.345"));
  rs.setData(rs.index(1, 3), QStringLiteral("80"));
  f.ed.ui.dgCursor->setFocus();
  QTest::keyClick(f.ed.ui.dgCursor, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(f.ed.Cur[1].t, 62.345);
  EXPECT_EQ(f.ed.Cur[1].timeText, QStringLiteral("01:02.345"));
  // X was left as shown (45): the stored fraction keeps its precision; Y was typed anew.
  EXPECT_EQ(f.ed.Cur[1].x, QStringLiteral("0.4523"));
  EXPECT_EQ(f.ed.Cur[1].y, QStringLiteral("0.8"));
  EXPECT_TRUE(f.ed.ContentChanged);

  // Enter in the cell editor commits through the editor.
  f.ed.ui.dgCursor->edit(rs.index(1, 1));
  auto* editor = f.ed.ui.dgCursor->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("00:09.5"));
  QTest::keyClick(editor, Qt::Key_Return);
  test::Pump();  // the delegate commits and closes on the next turn of the loop
  EXPECT_DOUBLE_EQ(f.ed.Cur[1].t, 9.5);
  EXPECT_EQ(rs.FieldAt(1, 1).toString(), QStringLiteral("00:09.500"));

  // Long videos: three minute digits; and a text that is no time keeps the point's time.
  rs.setData(rs.index(1, 1), QStringLiteral("100:00.000"));
  CommitPointRow(f.ed);
  EXPECT_DOUBLE_EQ(f.ed.Cur[1].t, 6000.0);
  rs.setData(rs.index(1, 1), QStringLiteral("abc"));
  CommitPointRow(f.ed);
  EXPECT_DOUBLE_EQ(f.ed.Cur[1].t, 6000.0);
  EXPECT_EQ(rs.FieldAt(1, 1).toString(), QStringLiteral("100:00.000"));
  // An ID typed over does not send the row's values to another point.
  rs.setData(rs.index(1, 0), 1);
  rs.setData(rs.index(1, 3), QStringLiteral("10"));
  CommitPointRow(f.ed);
  EXPECT_EQ(f.ed.Cur[1].y, QStringLiteral("0.1"));
  EXPECT_EQ(f.ed.Cur[0].y, QStringLiteral("0.05"));
  EXPECT_EQ(rs.FieldAt(1, 0).toInt(), 2);
}

TEST(PointList, MenuCaptionsFollowTheSelectionWithoutDoubling) {
  PointList f({1, 2});
  f.ed.Cur[0].mark = f.ed.SymOn();
  BuildPointTable(f.ed);
  f.Select(1);
  Q_EMIT f.ed.ui.ppCur->aboutToShow();
  Q_EMIT f.ed.ui.ppCur->aboutToShow();
  EXPECT_EQ(f.ed.ui.ppCurDisp->text(), QStringLiteral("マウスポイント非表示"));
  f.Select(2);
  Q_EMIT f.ed.ui.ppCur->aboutToShow();
  EXPECT_EQ(f.ed.ui.ppCurDisp->text(), QStringLiteral("マウスポイント表示"));
  EXPECT_EQ(f.ed.ui.ppCurRec->text(), QStringLiteral("マウスポイント記録開始"));
  EXPECT_EQ(f.ed.ui.ppCurRecDisp->text(), QStringLiteral("マウスポイント記録表示"));

  f.ed.EditorState = State::RecordPaused;
  f.ed.ui.fDialog[0]->show();
  Q_EMIT f.ed.ui.ppCur->aboutToShow();
  Q_EMIT f.ed.ui.ppCur->aboutToShow();
  EXPECT_EQ(f.ed.ui.ppCurRec->text(), QStringLiteral("マウスポイント記録停止"));
  EXPECT_EQ(f.ed.ui.ppCurRecDisp->text(), QStringLiteral("マウスポイント記録非表示"));
}

TEST(PointList, ShowHideLeavesTheContentAndDeleteAllMarksIt) {
  PointList f({1, 2, 3});
  f.Select(2);
  f.ed.ui.ppCurDisp->trigger();
  EXPECT_EQ(f.ed.Cur[1].mark, f.ed.SymOn());
  EXPECT_EQ(f.rs().Text(QStringLiteral("表示")), f.ed.SymOn());
  EXPECT_TRUE(f.marker(1).visible);
  EXPECT_FALSE(f.ed.ContentChanged);  // marks are not stored in content.xml
  f.ed.ui.ppCurDisp->trigger();
  EXPECT_EQ(f.ed.Cur[1].mark, f.ed.SymOff());
  EXPECT_FALSE(f.marker(1).visible);

  SetContentChanged(f.ed, false);
  f.w.messages.Answer(MsgResult::No);
  f.ed.ui.cbDelete->click();
  EXPECT_EQ(f.w.messages.LastText(), QStringLiteral("マウスポイント記録を全て削除します。よろしいですか？"));
  EXPECT_EQ(f.ed.CurCnt, 3);
  EXPECT_FALSE(f.ed.ContentChanged);
  f.ed.ui.img->SetMarkerVisible(MarkerArray::Point, 2, true);
  f.w.messages.Answer(MsgResult::Yes);
  f.ed.ui.cbDelete->click();
  EXPECT_EQ(f.ed.CurCnt, 1);
  EXPECT_EQ(f.rs().RecordCount(), 1);
  EXPECT_DOUBLE_EQ(f.ed.Cur[0].t, 0.0);
  EXPECT_FALSE(f.marker(2).visible);
  EXPECT_DOUBLE_EQ(f.marker(2).left, 0);
  EXPECT_TRUE(f.ed.ContentChanged);

  // Without loaded data the show/hide command asks for a data folder.
  f.rs().Close();
  TogglePointShown(f.ed);
  EXPECT_EQ(f.w.messages.LastText(), QStringLiteral("Kemo.Recorderのデータフォルダを指定してください。"));
}

TEST(PointList, ArrowKeysStopAtTheEndsAndClickGoesToThePoint) {
  PointList f({1, 2, 3});
  f.w.player.SetURL(QStringLiteral("/data/Video.avi"));
  test::Pump();
  f.w.player.SetStateNow(PlayState::Paused);
  f.ed.EditorState = State::Idle;

  f.Select(3);
  OnPointGridKeyDown(f.ed, 40);
  EXPECT_DOUBLE_EQ(f.w.player.positionWrites.back(), 3.0);
  EXPECT_TRUE(f.marker(2).visible);
  f.Select(1);
  OnPointGridKeyDown(f.ed, 38);
  EXPECT_DOUBLE_EQ(f.w.player.positionWrites.back(), 1.0);
  OnPointGridKeyDown(f.ed, 40);
  EXPECT_DOUBLE_EQ(f.w.player.positionWrites.back(), 2.0);
  EXPECT_EQ(f.ed.ui.dispTime->text(), QStringLiteral("00:02.000"));
  EXPECT_TRUE(f.marker(1).visible);
  EXPECT_FALSE(f.marker(0).visible);

  f.Select(3);
  GoToPoint(f.ed);
  EXPECT_DOUBLE_EQ(f.w.player.positionWrites.back(), 3.0);
  EXPECT_EQ(f.ed.ui.dispTime->text(), QStringLiteral("00:03.000"));
}

TEST(PointList, RightButtonMenuAndTheGridThatHadTheFocus) {
  PointList f({1, 2});
  OnPointGridMouseMove(f.ed, 2);
  EXPECT_EQ(f.popups, 1);
  EXPECT_TRUE(f.ed.ui.ppCurDelete->isEnabled());
  OnPointGridMouseMove(f.ed, 1);
  EXPECT_EQ(f.popups, 1);
  OnRecordedGridMouseMove(f.ed, 2);
  EXPECT_EQ(f.popups, 2);

  // F8 acts on the list whose grid last had the focus.
  OnPointGridFocus(f.ed, QStringLiteral("dgCursor"));
  f.Select(2);
  f.ed.ui.ppCurDelete->trigger();
  EXPECT_EQ(f.ed.CurCnt, 1);
  OnPointGridFocus(f.ed, QStringLiteral("dgRecCursor"));
  f.ed.ui.ppCurDelete->trigger();  // the recorded list is empty: refused
  EXPECT_EQ(f.w.messages.LastText(), QStringLiteral("削除できません。１件以上のデータが必要です。"));
  EXPECT_EQ(f.ed.CurCnt, 1);

  f.rs().Close();
  OnPointGridMouseMove(f.ed, 2);
  EXPECT_EQ(f.popups, 2);
  EXPECT_FALSE(f.ed.ui.ppCurDelete->isEnabled());
  EXPECT_FALSE(f.ed.ui.ppCurDisp->isEnabled());
}
