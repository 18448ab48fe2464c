// Slide editing in the main window: opening and closing the panel, the working copy and its
// registration, the questions on closing, the grid's cell handling and the popup.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/record_set.h"
#include "platform/twips.h"
#include "slides/slide_edit.h"
#include "support/test_support.h"
#include "slides/slides_state.h"

using namespace kemo;

namespace {

class SlideEdit : public ::testing::Test {
 protected:
  test::Window w;
  QTemporaryDir data;
  Editor& ed() { return w.ed(); }

  // Opens the data folder through the folder command, with these scenes ("pos|caption|image").
  void Open(const QStringList& scenes) {
    w.OpenFolder(data.path(), scenes);
    ASSERT_EQ(ed().EditorState, State::Idle);
  }
  void OpenThree() { Open({"0|Intro|a.jpg", "10|Body|b.jpg", "20|End|c.jpg"}); }

  QString EditCaptionShown() {
    Q_EMIT ed().ui.ppSld->aboutToShow();
    return ed().ui.ppSldEdit->text();
  }

  QString Cell(int row, int col) { return ed().RS_SLDEDT->FieldAt(row, col).toString(); }

  // Opens the cell editor of (row, col) in the working grid and types text into it.
  QLineEdit* TypeInto(int row, int col, const QString& text) {
    DataGrid* g = ed().ui.dgSlideEdit;
    const QModelIndex idx = g->model()->index(row, col);
    g->setCurrentIndex(idx);
    g->edit(idx);
    // Editors of ended edits linger hidden until deleted; the open one is shown.
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : g->viewport()->findChildren<QLineEdit*>())
      if (!e->isHidden()) editor = e;
    if (editor) editor->setText(text);
    return editor;
  }
};

TEST_F(SlideEdit, OpeningCopiesTheSlidesAndClosingUnchangedAsksNothing) {
  OpenThree();
  w.window->show();
  EXPECT_EQ(EditCaptionShown(), QStringLiteral("スライド編集"));

  ed().ui.ppSldEdit->trigger();
  EXPECT_EQ(ed().EditorState, State::EditPaused);
  EXPECT_FALSE(ed().ui.fDialog[1]->isHidden());
  EXPECT_EQ(ed().SldEdtCnt, 3);
  EXPECT_EQ(ed().SldEdt[1].caption, QStringLiteral("Body"));
  EXPECT_EQ(ed().ui.lbSldCnt[0]->text(), QStringLiteral("3枚のスライドがあります"));
  EXPECT_EQ(ed().RS_SLDEDT->CurrentRow(), 0);
  EXPECT_EQ(EditCaptionShown(), QStringLiteral("スライド編集を閉じる"));
  // Opening the popup again does not stack the replacement.
  EXPECT_EQ(EditCaptionShown(), QStringLiteral("スライド編集を閉じる"));

  // The grid's layout; "ID" and "時間" can't be typed over.
  DataGrid* g = ed().ui.dgSlideEdit;
  EXPECT_NEAR(g->ColumnWidthTwips(2), 4500, 15);
  EXPECT_NEAR(g->ColumnWidthTwips(3), 2500, 15);
  EXPECT_NEAR(TwipsRectOf(g).width(), 9175, 15);
  EXPECT_NEAR(TwipsRectOf(g).height(), 1875, 15);
  EXPECT_FALSE(ed().RS_SLDEDT->flags(ed().RS_SLDEDT->index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_FALSE(ed().RS_SLDEDT->flags(ed().RS_SLDEDT->index(0, 1)) & Qt::ItemIsEditable);
  EXPECT_TRUE(ed().RS_SLDEDT->flags(ed().RS_SLDEDT->index(0, 2)) & Qt::ItemIsEditable);

  // Moving between rows is no change.
  ed().RS_SLDEDT->MoveTo(2);
  ed().RS_SLDEDT->MoveTo(1);
  EXPECT_TRUE(IsSlideEditUnchanged(ed()));
  ed().ui.ppSldEdit->trigger();  // while editing it ends the editing
  EXPECT_TRUE(w.messages.shown.empty());
  EXPECT_EQ(ed().EditorState, State::Idle);
  EXPECT_TRUE(ed().ui.fDialog[1]->isHidden());
  EXPECT_EQ(EditCaptionShown(), QStringLiteral("スライド編集"));
  EXPECT_FALSE(ed().ContentChanged);
}

TEST_F(SlideEdit, ClearedTitleStaysUntilEnterTakesTheRowOver) {
  OpenThree();
  w.window->show();
  ed().ui.ppSldEdit->trigger();
  DataGrid* g = ed().ui.dgSlideEdit;

  // A typed title is taken over when the edit ends by moving to another row.
  ASSERT_NE(TypeInto(0, 2, QStringLiteral("Opening")), nullptr);
  g->setCurrentIndex(g->model()->index(1, 2));
  test::Pump();  // the edit is taken once the move is over
  EXPECT_EQ(ed().SldEdt[0].caption, QStringLiteral("Opening"));

  // A cleared title is not: the working slide keeps its title and the cell shows it again.
  ASSERT_NE(TypeInto(1, 2, QString()), nullptr);
  g->setCurrentIndex(g->model()->index(2, 2));
  test::Pump();
  EXPECT_EQ(Cell(1, 2), QStringLiteral("Body"));
  EXPECT_EQ(ed().SldEdt[1].caption, QStringLiteral("Body"));

  // Enter on the row takes its cells over as they are shown.
  ed().RS_SLDEDT->SetFieldAt(1, 2, QString());
  g->setCurrentIndex(g->model()->index(1, 0));
  g->setFocus();
  QTest::keyClick(g, Qt::Key_Return);
  EXPECT_EQ(ed().SldEdt[1].caption, QString());
  EXPECT_EQ(ed().SldEdt[1].image, QStringLiteral("b.jpg"));

  // Enter that ends a cell edit does the same at once.
  QLineEdit* editor = TypeInto(2, 2, QString());
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Return);
  test::Pump(50);
  EXPECT_EQ(ed().SldEdt[2].caption, QString());
  EXPECT_FALSE(IsSlideEditUnchanged(ed()));
  // The registered slides are untouched until registration.
  EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("Body"));
}

TEST_F(SlideEdit, ClosingWithChangesOffersToRegister) {
  OpenThree();
  ed().ui.ppSldEdit->trigger();
  ed().SldEdt[0].caption = QStringLiteral("Changed");

  // Cancel keeps the panel open.
  w.messages.Answer(MsgResult::Cancel);
  ed().ui.cbFrSldClose->click();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("変更を登録しますか？"));
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::YesNoCancel);
  EXPECT_EQ(ed().EditorState, State::EditPaused);
  EXPECT_FALSE(ed().ui.fDialog[1]->isHidden());

  // Yes, then No to the overwrite: closed, nothing registered.
  w.messages.Clear();
  w.messages.Answer(MsgResult::Yes);
  w.messages.Answer(MsgResult::No);
  ed().ui.cbFrSldClose->click();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[1].text, QStringLiteral("既存データに上書きします。よろしいですか？"));
  EXPECT_EQ(w.messages.shown[1].buttons, MsgButtons::YesNo);
  EXPECT_EQ(ed().EditorState, State::Idle);
  EXPECT_TRUE(ed().ui.fDialog[1]->isHidden());
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("Intro"));
  EXPECT_FALSE(ed().ContentChanged);

  // The next opening starts again from the registered slides; No discards the change.
  ed().ui.ppSldEdit->trigger();
  EXPECT_EQ(ed().SldEdt[0].caption, QStringLiteral("Intro"));
  ed().SldEdt[0].caption = QStringLiteral("Changed again");
  w.messages.Clear();
  w.messages.Answer(MsgResult::No);
  ed().ui.cbFrSldClose->click();
  EXPECT_EQ(ed().EditorState, State::Idle);
  EXPECT_EQ(ed().SldEdt[0].caption, QStringLiteral("Intro"));
  EXPECT_TRUE(IsSlideEditUnchanged(ed()));
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("Intro"));
}

TEST_F(SlideEdit, RegisteringReplacesTheSlidesInGridOrder) {
  OpenThree();
  ed().ui.ppSldEdit->trigger();
  ed().RS_SLDEDT->setData(ed().RS_SLDEDT->index(1, 2), QStringLiteral("本論"));
  // A slide inserted at a time of three minute digits keeps that time.
  SetCaption(ed().ui.dispTime, QStringLiteral("100:00.000"));
  ed().ui.ppSldInsert->trigger();
  ASSERT_EQ(ed().RS_SLDEDT->RecordCount(), 4);

  w.messages.Clear();
  ed().ui.cbSaveSld->click();
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("既存データに上書きします。よろしいですか？"));
  EXPECT_EQ(ed().SldCnt, 4);
  EXPECT_EQ(ed().SldEdtCnt, 4);
  EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("本論"));
  EXPECT_EQ(ed().Sld[1].id, 2);
  EXPECT_DOUBLE_EQ(ed().Sld[2].pos, 20.0);
  EXPECT_DOUBLE_EQ(ed().Sld[3].pos, 6000.0);
  EXPECT_EQ(ed().Sld[3].timeText, QStringLiteral("100:00.000"));
  EXPECT_EQ(ed().Sld[4].id, 0);
  EXPECT_TRUE(ed().ContentChanged);
  EXPECT_EQ(ed().RS_SLD->RecordCount(), 4);
  EXPECT_EQ(ed().RS_SLD->FieldAt(1, 2).toString(), QStringLiteral("本論"));
  EXPECT_EQ(ed().ui.lbSldCnt[1]->text(), QStringLiteral("4枚のスライドがあります"));
  EXPECT_TRUE(IsSlideEditUnchanged(ed()));
  // Still editing; closing now asks nothing.
  EXPECT_EQ(ed().EditorState, State::EditPaused);
  w.messages.Clear();
  ed().ui.cbFrSldClose->click();
  EXPECT_TRUE(w.messages.shown.empty());
}

TEST_F(SlideEdit, DeleteAllLeavesOneEmptySlideAndRegistersAsOne) {
  OpenThree();
  ed().ui.ppSldEdit->trigger();
  w.messages.Answer(MsgResult::No);
  ed().ui.cbDeleteSld->click();
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("スライドを全て削除します。よろしいですか？"));
  EXPECT_EQ(ed().SldEdtCnt, 3);

  ed().ui.cbDeleteSld->click();  // the fallback answer is Yes
  EXPECT_EQ(ed().SldEdtCnt, 1);
  ASSERT_EQ(ed().RS_SLDEDT->RecordCount(), 1);
  EXPECT_EQ(Cell(0, 0), QStringLiteral("1"));
  EXPECT_EQ(Cell(0, 1), QStringLiteral("00:00.000"));
  EXPECT_EQ(Cell(0, 2), QString());
  EXPECT_EQ(Cell(0, 3), QString());
  EXPECT_EQ(ed().ui.lbSldCnt[0]->text(), QStringLiteral("1枚のスライドがあります"));
  // Rebuilt tables stay locked where they were.
  EXPECT_FALSE(ed().RS_SLDEDT->flags(ed().RS_SLDEDT->index(0, 1)) & Qt::ItemIsEditable);
  EXPECT_EQ(ed().SldCnt, 3);  // registered slides untouched

  ed().ui.cbSaveSld->click();
  EXPECT_EQ(ed().SldCnt, 1);
  EXPECT_DOUBLE_EQ(ed().Sld[0].pos, 0.0);
  EXPECT_EQ(ed().Sld[1].timeText, QString());
}

TEST_F(SlideEdit, RightButtonMovementOpensTheSlidesPopup) {
  OpenThree();
  w.window->show();
  ed().ui.ppSldEdit->trigger();
  int popups = 0;
  ed().slides->PopupHook = [&](QMenu* menu, const QPoint&) {
    EXPECT_EQ(menu, ed().ui.ppSld);
    ++popups;
  };
  QWidget* vp = ed().ui.dgSlideEdit->viewport();
  auto move = [&](Qt::MouseButtons buttons) {
    QMouseEvent e(QEvent::MouseMove, QPointF(20, 10), vp->mapToGlobal(QPointF(20, 10)), Qt::NoButton, buttons,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &e);
  };
  move(Qt::LeftButton);
  move(Qt::LeftButton | Qt::RightButton);
  EXPECT_EQ(popups, 0);
  move(Qt::RightButton);
  EXPECT_EQ(popups, 1);
}

}  // namespace
