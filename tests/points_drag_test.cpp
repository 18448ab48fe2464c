// Dragging a point's marker on the stage: where the marker and the point go, No puts it back, a
// drop past the edge, and the drag through the stage's own mouse events.
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "points/points.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

struct Drag {
  test::Window w;
  Editor& ed;
  Stage* img;
  Drag() : ed(w.ed()), img(w.ed().ui.img) {
    ed.EditorState = State::Idle;
    RefreshModeDisplay(ed);
    PlaceTwips(img, 3840, 480, 6000, 3000);
    for (int i = 0; i < 3; ++i) {
      PointRecord& p = ed.Cur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = i + 1;
      p.timeText = FormatTimeText(p.t);
      p.x = QString::number(0.1 * (i + 1));
      p.y = QStringLiteral("0.2");
      p.mark = ed.SymOn();
    }
    ed.CurCnt = 3;
    BuildPointTable(ed);
    LayoutPointMarkers(ed, true);
    SetContentChanged(ed, false);
  }
  const StageMarker& marker(int i) { return img->Marker(MarkerArray::Point, i); }
  QString tip(int i) { return img->MarkerTooltip(MarkerArray::Point, i); }
};

}  // namespace

TEST(MarkerDrag, DropAsksThenStoresTheDropPoint) {
  Drag d;
  d.ed.RS_CUR->MoveTo(1);
  OnMarkerMouseDown(d.ed, 1, 75, 75);
  OnMarkerDrop(d.ed, 3000, 1500);
  EXPECT_EQ(d.w.messages.LastText(), QStringLiteral("マウスポイントを移動しますか？"));
  EXPECT_EQ(d.w.messages.shown.back().buttons, MsgButtons::YesNo);
  EXPECT_DOUBLE_EQ(d.marker(1).left, 2925);
  EXPECT_DOUBLE_EQ(d.marker(1).top, 1425);
  EXPECT_EQ(d.ed.Cur[1].x, QStringLiteral("0.50"));
  EXPECT_EQ(d.ed.Cur[1].y, QStringLiteral("0.50"));
  EXPECT_DOUBLE_EQ(d.ed.Cur[1].t, 2.0);
  EXPECT_EQ(d.ed.RS_CUR->FieldAt(1, 2).toString(), QStringLiteral("50"));
  EXPECT_EQ(d.ed.RS_CUR->FieldAt(1, 3).toString(), QStringLiteral("50"));
  EXPECT_EQ(d.tip(1), QStringLiteral("ID［2］　時間［00:02.000］　X［50］　Y［50］"));
  EXPECT_TRUE(d.ed.ContentChanged);
}

TEST(MarkerDrag, NoPutsTheMarkerBackAndPastTheEdgeStaysAboveOne) {
  Drag d;
  const StageMarker start = d.marker(0);
  d.ed.RS_CUR->MoveTo(0);
  d.w.messages.Answer(MsgResult::No);
  OnMarkerMouseDown(d.ed, 0, 80, 80);
  OnMarkerDragMove(d.ed, 1000, 900);
  EXPECT_DOUBLE_EQ(d.marker(0).left, 920);
  OnMarkerDrop(d.ed, 3000, 1500);
  EXPECT_DOUBLE_EQ(d.marker(0).left, start.left);
  EXPECT_DOUBLE_EQ(d.marker(0).top, start.top);
  EXPECT_EQ(d.ed.Cur[0].x, QStringLiteral("0.1"));
  EXPECT_FALSE(d.ed.ContentChanged);

  OnMarkerMouseDown(d.ed, 0, 80, 80);
  OnMarkerDrop(d.ed, 6300, 1500);
  EXPECT_EQ(d.ed.Cur[0].x, QStringLiteral("1.05"));
  EXPECT_EQ(d.ed.RS_CUR->FieldAt(0, 2).toString(), QStringLiteral("105"));
}

TEST(MarkerDrag, TheStagesMouseEventsDragTheMarkerOfItsOwnPoint) {
  Drag d;
  d.ed.RS_CUR->MoveTo(0);  // another point is selected; the dragged marker's point is the one that moves
  const StageMarker& m = d.marker(2);
  const QPoint grab(TwipsToPixels(m.left + m.width / 2), TwipsToPixels(m.top + m.height / 2));
  const QPoint drop(TwipsToPixels(4500), TwipsToPixels(2250));
  QTest::mousePress(d.img, Qt::LeftButton, {}, grab);
  QMouseEvent move(QEvent::MouseMove, QPointF(drop), d.img->mapToGlobal(QPointF(drop)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(d.img, &move);
  QTest::mouseRelease(d.img, Qt::LeftButton, {}, drop);
  ASSERT_EQ(d.w.messages.shown.size(), 1u);
  EXPECT_EQ(d.ed.RS_CUR->CurrentRow(), 2);
  EXPECT_EQ(d.ed.Cur[2].x, QStringLiteral("0.75"));
  EXPECT_EQ(d.ed.Cur[2].y, QStringLiteral("0.75"));
  EXPECT_EQ(d.ed.Cur[0].x, QStringLiteral("0.1"));

  // Released outside the picture: no question, the marker goes back.
  const StageMarker before = d.marker(0);
  const QPoint grab0(TwipsToPixels(before.left + 80), TwipsToPixels(before.top + 80));
  QTest::mousePress(d.img, Qt::LeftButton, {}, grab0);
  QTest::mouseRelease(d.img, Qt::LeftButton, {}, QPoint(-40, -40));
  EXPECT_EQ(d.w.messages.shown.size(), 1u);
  EXPECT_DOUBLE_EQ(d.marker(0).left, before.left);
  // A press on the picture itself is the recorder's, not a drag.
  QTest::mousePress(d.img, Qt::LeftButton, {}, QPoint(2, d.img->height() - 2));
  EXPECT_TRUE(d.ed.points->PressPending);
  EXPECT_EQ(d.ed.points->DraggedMarker, -1);
  QTest::mouseRelease(d.img, Qt::LeftButton, {}, QPoint(2, d.img->height() - 2));
  EXPECT_FALSE(d.ed.points->PressPending);

  // While recording, a press on a marker records instead of dragging it.
  d.ed.EditorState = State::RecordPaused;
  const StageMarker& m1 = d.marker(1);
  const QPoint on1(TwipsToPixels(m1.left + 80), TwipsToPixels(m1.top + 80));
  QTest::mousePress(d.img, Qt::LeftButton, {}, on1);
  EXPECT_EQ(d.ed.points->DraggedMarker, -1);
  EXPECT_TRUE(d.ed.ui.recTimer->isActive());
  QTest::mouseRelease(d.img, Qt::LeftButton, {}, on1);
  EXPECT_FALSE(d.ed.ui.recTimer->isActive());
  EXPECT_EQ(d.w.messages.shown.size(), 1u);
}
