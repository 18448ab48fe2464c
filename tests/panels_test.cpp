// The recording panel's collapse, close and drag, and the grid overlay.
#include <QLabel>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/panels.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "support/test_support.h"

using namespace kemo;

TEST(Panels, CollapseAndExpandStayInsideTheFrame) {
  test::Window w;
  Controls& ui = w.ed().ui;
  QWidget* panel = ui.fDialog[0];
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).height(), 1695);

  // Expanded where it stands at start-up: room enough, the top stays.
  OnPanelCollapseToggle(w.ed());
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).height(), 6975);
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).top(), 120);
  OnPanelCollapseToggle(w.ed());
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).height(), 1695);

  // Near the bottom: expanding lifts it so that its bottom meets frMain's; collapsing keeps that top.
  PlaceTwips(panel, 11400, 8000, 3615, 1695);
  OnPanelCollapseToggle(w.ed());
  const double frameHeight = TwipsRectOf(ui.frMain).height();
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).top(), frameHeight - 6975);
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).bottom(), frameHeight);
  OnPanelCollapseToggle(w.ed());
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).top(), frameHeight - 6975);
  EXPECT_DOUBLE_EQ(TwipsRectOf(panel).height(), 1695);
}

TEST(Panels, CloseHidesThePanelAndStopsItsTimer) {
  test::Window w;
  Controls& ui = w.ed().ui;
  ui.frMain->setEnabled(true);
  ui.fDialog[0]->show();
  ui.frRecTimer->start();
  ui.cbFrRecClose->click();
  EXPECT_FALSE(ui.fDialog[0]->isVisible());
  EXPECT_FALSE(ui.frRecTimer->isActive());
}

TEST(Panels, DropLandsAtThePointerMinusTheGrabWhateverControlIsUnder) {
  test::Window w;
  Controls& ui = w.ed().ui;
  const QSizeF size = TwipsRectOf(ui.fDialog[0]).size();
  OnPanelDragStart(w.ed(), 0, 3000, 90);

  // Onto frMain directly at a point.
  const QPoint onButton(TwipsToPixels(200), TwipsToPixels(100));
  const QPoint inFrame = ui.cbSaveSld->mapTo(ui.frMain, onButton);
  DropPanelOn(w.ed(), 0, ui.frMain, inFrame);
  const QRectF direct = TwipsRectOf(ui.fDialog[0]);

  // Back somewhere else, then onto a button inside the slide-edit panel at the same screen point.
  PlaceTwips(ui.fDialog[0], QRectF(QPointF(11400, 120), size));
  DropPanelOn(w.ed(), 0, ui.cbSaveSld, onButton);
  const QRectF viaButton = TwipsRectOf(ui.fDialog[0]);
  // Within a pixel (15 twips): the button's place is kept in twips, the pointer in pixels.
  EXPECT_NEAR(viaButton.left(), direct.left(), 15.0);
  EXPECT_NEAR(viaButton.top(), direct.top(), 15.0);
  EXPECT_EQ(viaButton.size(), size);
  EXPECT_NEAR(direct.left(), PixelsToTwips(inFrame.x()) - 3000, 1.0);
  EXPECT_NEAR(direct.top(), PixelsToTwips(inFrame.y()) - 90, 1.0);

  // The button itself did not move.
  EXPECT_DOUBLE_EQ(TwipsRectOf(ui.cbSaveSld).left(), 9330);
}

TEST(Panels, GridToggleShowsAndHidesAllLinesAndRestoresTheCaption) {
  test::Window w;
  Controls& ui = w.ed().ui;
  ui.frMain->setEnabled(true);
  EXPECT_FALSE(ui.img->GridVisible());
  ui.cbGrid->click();
  EXPECT_EQ(ui.cbGrid->text(), QStringLiteral("グリッドを非表示"));
  EXPECT_TRUE(ui.img->GridVisible());
  ui.cbGrid->click();
  EXPECT_EQ(ui.cbGrid->text(), QStringLiteral("グリッドを表示"));
  EXPECT_FALSE(ui.img->GridVisible());
}

TEST(Panels, ADropOutsideTheWindowKeepsThePanelInsideTheFrame) {
  test::Window w;
  Controls& ui = w.ed().ui;
  ui.frMain->setEnabled(true);
  w.window->show();
  ui.fDialog[0]->show();
  QWidget* strip = ui.lbFrDrag0;
  const QSizeF size = TwipsRectOf(ui.fDialog[0]).size();
  const QRectF frame(QPointF(0, 0), TwipsRectOf(ui.frMain).size());
  // Dragged by its title strip and let go far outside the window, past each edge, and where the
  // panel would hang mostly out of the frame at the bottom right.
  const QPoint frameOrigin = ui.frMain->mapToGlobal(QPoint(0, 0));
  const QSize px = ui.frMain->size();
  for (const QPoint& drop : {QPoint(-2000, -1500), QPoint(px.width() + 3000, 40), QPoint(30, px.height() + 900),
                             QPoint(px.width() - 20, px.height() - 10)}) {
    SCOPED_TRACE(drop.x());
    const QPointF grab(40, 6);
    QMouseEvent press(QEvent::MouseButtonPress, grab, strip->mapToGlobal(grab), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(strip, &press);
    const QPointF global = frameOrigin + drop;
    const QPointF local = strip->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(strip, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(strip, &release);
    const QRectF placed = TwipsRectOf(ui.fDialog[0]);
    EXPECT_EQ(placed.size(), size);
    EXPECT_TRUE(frame.contains(placed)) << placed.left() << "," << placed.top();
    EXPECT_FALSE(ui.fDialog[0]->isHidden());
  }
  // A drop inside still lands where it was let go.
  OnPanelDragStart(w.ed(), 0, 0, 0);
  MovePanelOnDrop(w.ed(), 0, 500, 700, 1000, 2000);
  EXPECT_DOUBLE_EQ(TwipsRectOf(ui.fDialog[0]).left(), 1500);
  EXPECT_DOUBLE_EQ(TwipsRectOf(ui.fDialog[0]).top(), 2700);
}
