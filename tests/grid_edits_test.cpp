// Cell edits in the real window's grids, with real cell editors, clicks, shortcuts and focus
// changes: whatever ends an edit, the text the grid shows is the text the tables hold.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "document/time_text.h"
#include "points/points.h"
#include "slides/slide_edit.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

class GridEdits : public ::testing::Test {
 protected:
  test::Window w;
  QTemporaryDir data;
  Editor& ed() { return w.ed(); }

  void SetUp() override {
    w.OpenFolder(data.path(), {"0|Intro|a.jpg", "10|Body|b.jpg", "20|End|c.jpg"},
                 {"1|0.12|0.5", "2|0.2|0.5", "3|0.3|0.5", "4|0.4|0.5"});
    ASSERT_EQ(ed().EditorState, State::Idle);
    w.window->show();
    w.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  }

  // Opens the editor of a cell by a double click, as the user does, and types text over it.
  QLineEdit* Type(DataGrid* g, int row, int col, const QString& text) {
    const QModelIndex idx = g->model()->index(row, col);
    g->scrollTo(idx);
    const QPoint at = g->visualRect(idx).center();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
    test::Pump(30);  // a click in the point grid seeks the player, which answers on the next turns
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
    // Editors of ended edits linger hidden until deleted; the open one is shown.
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : g->viewport()->findChildren<QLineEdit*>())
      if (!e->isHidden()) editor = e;
    EXPECT_NE(editor, nullptr) << "no cell editor opened; focus on "
                               << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
    if (!editor) return nullptr;
    editor->selectAll();
    editor->del();
    // Typed key by key where the test keyboard has the keys.
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii)
      QTest::keyClicks(editor, text);
    else
      editor->insert(text);
    EXPECT_TRUE(g->IsEditing());
    return editor;
  }
  void ClickRow(DataGrid* g, int row, int col = 0) {
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, col)).center());
  }
  QString SavedContent() {
    w.messages.Clear();
    OnFileSave(ed());
    return QString::fromUtf8(test::ReadFile(data.filePath("content.xml")));
  }
};

TEST_F(GridEdits, PointCellTypedThenAnotherRowClickedIsStoredAndSaved) {
  DataGrid* g = ed().ui.dgCursor;
  ASSERT_NE(Type(g, 0, 2, QStringLiteral("77")), nullptr);
  ClickRow(g, 2);
  EXPECT_FALSE(g->IsEditing());
  EXPECT_EQ(ed().RS_CUR->FieldAt(0, 2).toString(), QStringLiteral("77"));
  EXPECT_EQ(ed().Cur[0].x, QStringLiteral("0.77"));
  EXPECT_TRUE(ed().ContentChanged);
  const QString saved = SavedContent();
  EXPECT_TRUE(saved.contains(QStringLiteral("x=\"0.77\""))) << saved.toStdString();
  EXPECT_FALSE(saved.contains(QStringLiteral("x=\"0.12\"")));
}

TEST_F(GridEdits, PointCellStoredByTabButtonShortcutMenuAndFocusLoss) {
  DataGrid* g = ed().ui.dgCursor;
  // Tab moves on to the next cell; the edited one is stored.
  QLineEdit* e = Type(g, 1, 2, QStringLiteral("21"));
  ASSERT_NE(e, nullptr);
  QTest::keyClick(e, Qt::Key_Tab);
  EXPECT_EQ(ed().Cur[1].x, QStringLiteral("0.21"));

  // A button that takes no focus: the delete-all button asks first (answered No).
  e = Type(g, 1, 3, QStringLiteral("33"));
  ASSERT_NE(e, nullptr);
  w.messages.Answer(MsgResult::No);
  QTest::mouseClick(ed().ui.cbDelete, Qt::LeftButton);
  EXPECT_EQ(ed().Cur[1].y, QStringLiteral("0.33"));
  EXPECT_EQ(ed().CurCnt, 4);

  // A shortcut runs its command on the stored row: F9 shows the point whose X was just typed.
  e = Type(g, 2, 2, QStringLiteral("44"));
  ASSERT_NE(e, nullptr);
  QTest::keyClick(e, Qt::Key_F9);
  EXPECT_EQ(ed().Cur[2].x, QStringLiteral("0.44"));
  EXPECT_EQ(ed().Cur[2].mark, ed().SymOn());
  EXPECT_FALSE(g->IsEditing());

  // Opening a menu of the menu bar.
  e = Type(g, 3, 2, QStringLiteral("55"));
  ASSERT_NE(e, nullptr);
  QMenuBar* bar = w.window->menuBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(ed().ui.mnuFile->menuAction()).center());
  EXPECT_EQ(ed().Cur[3].x, QStringLiteral("0.55"));
  ed().ui.mnuFile->hide();

  // The window losing the focus to another window.
  w.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  e = Type(g, 0, 3, QStringLiteral("66"));
  ASSERT_NE(e, nullptr);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(ed().Cur[0].y, QStringLiteral("0.66"));
  EXPECT_FALSE(g->IsEditing());
}

TEST_F(GridEdits, RegisteredSlidesAreNotTypedOverInTheirGrid) {
  DataGrid* g = ed().ui.dgSlide;
  const QPoint at = g->visualRect(g->model()->index(1, 2)).center();
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
  EXPECT_FALSE(g->IsEditing());
  for (int c = 0; c < 4; ++c) EXPECT_FALSE(ed().RS_SLD->flags(ed().RS_SLD->index(1, c)) & Qt::ItemIsEditable);
}

TEST_F(GridEdits, TitleTypedThenEndEditingAsksToRegister) {
  for (bool byShortcut : {false, true}) {
    SCOPED_TRACE(byShortcut ? "F4" : "編集終了");
    ed().ui.ppSldEdit->trigger();
    ASSERT_EQ(ed().EditorState, State::EditPaused);
    QLineEdit* e = Type(ed().ui.dgSlideEdit, 1, 2, QStringLiteral("本論"));
    ASSERT_NE(e, nullptr);
    w.messages.Clear();
    w.messages.Answer(MsgResult::Yes);  // register
    w.messages.Answer(MsgResult::Yes);  // overwrite
    if (byShortcut)
      QTest::keyClick(e, Qt::Key_F4);
    else
      QTest::mouseClick(ed().ui.cbFrSldClose, Qt::LeftButton);
    ASSERT_GE(w.messages.shown.size(), 1u);
    EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("変更を登録しますか？"));
    EXPECT_EQ(ed().EditorState, State::Idle);
    EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("本論"));
    ed().Sld[1].caption = QStringLiteral("Body");
  }
}

TEST_F(GridEdits, EmptiedTitleShowsTheKeptTitleAndEnterEmptiesIt) {
  ed().ui.ppSldEdit->trigger();
  DataGrid* g = ed().ui.dgSlideEdit;
  ASSERT_NE(Type(g, 1, 2, QString()), nullptr);
  ClickRow(g, 2, 2);
  // Not taken over, and not shown as if it were.
  EXPECT_EQ(ed().SldEdt[1].caption, QStringLiteral("Body"));
  EXPECT_EQ(ed().RS_SLDEDT->FieldAt(1, 2).toString(), QStringLiteral("Body"));
  QLineEdit* e = Type(g, 1, 2, QString());
  ASSERT_NE(e, nullptr);
  QTest::keyClick(e, Qt::Key_Return);
  test::Pump();  // the delegate ends an edit by Enter on the next turn of the loop
  EXPECT_EQ(ed().SldEdt[1].caption, QString());
  EXPECT_EQ(ed().RS_SLDEDT->FieldAt(1, 2).toString(), QString());
}

TEST_F(GridEdits, TypedImageNameMustBeAPlainFileName) {
  test::WriteJpeg(QFileInfo(data.path()).dir().filePath("ext/slide5.jpg"));
  ed().ui.ppSldEdit->trigger();
  DataGrid* g = ed().ui.dgSlideEdit;
  for (const QString& name : {QStringLiteral("../ext/slide5.jpg"), QStringLiteral(".."), QStringLiteral("sub/x.jpg")}) {
    SCOPED_TRACE(name.toStdString());
    w.messages.Clear();
    QLineEdit* e = Type(g, 1, 3, name);
    ASSERT_NE(e, nullptr);
    QTest::keyClick(e, Qt::Key_Return);
    test::Pump();
    ASSERT_EQ(w.messages.shown.size(), 1u);
    EXPECT_EQ(w.messages.shown[0].text, ShowPath(JoinPath(data.path(), name)) + QStringLiteral("は存在しません。"));
    EXPECT_EQ(ed().SldEdt[1].image, QStringLiteral("b.jpg"));
    EXPECT_EQ(ed().RS_SLDEDT->FieldAt(1, 3).toString(), QStringLiteral("b.jpg"));
  }
  // Registered and saved, the slide keeps its own picture.
  ed().ui.cbSaveSld->click();
  EXPECT_EQ(ed().Sld[1].image, QStringLiteral("b.jpg"));
  // A plain name is taken as typed.
  QLineEdit* e = Type(g, 1, 3, QStringLiteral("c.jpg"));
  ASSERT_NE(e, nullptr);
  ClickRow(g, 0, 2);
  EXPECT_EQ(ed().SldEdt[1].image, QStringLiteral("c.jpg"));
}

TEST_F(GridEdits, RecordedCellTypedThenRegisteredIsTheRegisteredValue) {
  // Three recorded points at 5, 6 and 7 s; the grid lists them newest first.
  for (int i = 0; i < 3; ++i) {
    PointRecord& p = ed().recCur[i];
    p.id = static_cast<int16_t>(i + 1);
    p.t = 5 + i;
    p.timeText = FormatTimeText(p.t);
    p.x = p.y = QStringLiteral("0.5");
    p.mark = ed().SymOff();
  }
  ed().recCurCnt = 3;
  ed().points->recCurPos = 3;
  ed().ui.ppCurRecDisp->trigger();
  ASSERT_FALSE(ed().ui.fDialog[0]->isHidden());
  DataGrid* g = ed().ui.dgRecCursor;
  ASSERT_EQ(ed().RS_recCUR->FieldAt(0, 0).toInt(), 3);
  EXPECT_FALSE(ed().RS_recCUR->flags(ed().RS_recCUR->index(0, 0)) & Qt::ItemIsEditable);

  // The X of record 2 (row 1), ended by a click on the register button.
  ASSERT_NE(Type(g, 1, 2, QStringLiteral("90")), nullptr);
  // The panel's refresh does not throw the open edit away.
  ++ed().points->RecRevision;
  RecordPanelTick(ed());
  EXPECT_TRUE(g->IsEditing());
  w.messages.Clear();
  QTest::mouseClick(ed().ui.cbSave, Qt::LeftButton);
  EXPECT_EQ(ed().recCurCnt, 0);
  ASSERT_EQ(ed().CurCnt, 7);
  EXPECT_DOUBLE_EQ(ed().Cur[5].t, 6.0);
  EXPECT_EQ(ed().Cur[5].x, QStringLiteral("0.9"));
}

}  // namespace
