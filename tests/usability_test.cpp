// What users expect of a desktop program beside the editor's own commands: the usual keys and
// mnemonics, a numbered recent list, the manual and version windows, and a whole edit from the
// keyboard with the focus always visible.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "app/recent_folders.h"
#include "platform/data_grid.h"
#include "platform/record_set.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

QAction* ActionNamed(FrmMain& w, const char* name) { return w.findChild<QAction*>(QLatin1String(name)); }

// The letter after the single "&" of a menu text, or 0.
QChar Mnemonic(const QString& text) {
  const int at = QString(text).replace(QStringLiteral("&&"), QStringLiteral("__")).indexOf(QLatin1Char('&'));
  return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toUpper() : QChar();
}

}  // namespace

TEST(Usability, TheMenusCarryTheUsualKeysMnemonicsAndHelp) {
  test::Window w;
  FrmMain& window = *w.window;
  const struct {
    const char* action;
    QKeySequence key;
  } keys[] = {
      {"mnuFileSaveNew", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {"mnuFileSave", QKeySequence(Qt::CTRL | Qt::Key_S)},
      {"mnuFileOpen", QKeySequence(Qt::CTRL | Qt::Key_O)},
      {"mnuFileEnd", QKeySequence(Qt::CTRL | Qt::Key_X)},
      {"mnuFileConv", QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {"mnuHelpManual", QKeySequence(Qt::Key_F1)},
      {"actPlayPause", QKeySequence(Qt::Key_Space)},
  };
  for (const auto& k : keys) {
    QAction* a = ActionNamed(window, k.action);
    ASSERT_NE(a, nullptr) << k.action;
    EXPECT_EQ(a->shortcut(), k.key) << k.action;
  }
  // Every item of the File menu and of the bar has a mnemonic of its own within its menu.
  for (QMenu* menu : {w.ed().ui.mnuFile, static_cast<QMenu*>(nullptr)}) {
    const QList<QAction*> items = menu ? menu->actions() : window.menuBar()->actions();
    QSet<QChar> seen;
    for (QAction* a : items) {
      if (a->isSeparator()) continue;
      const QChar m = Mnemonic(a->text());
      EXPECT_FALSE(m.isNull()) << a->text().toStdString();
      EXPECT_FALSE(seen.contains(m)) << a->text().toStdString();
      seen.insert(m);
    }
  }
  // ヘルプ stands last on the bar with 操作説明 and バージョン情報.
  const QList<QAction*> bar = window.menuBar()->actions();
  ASSERT_FALSE(bar.isEmpty());
  EXPECT_EQ(bar.last()->text(), QStringLiteral("ヘルプ(&H)"));

  // F1: the installed manual in a window of the editor; asked again, the same window.
  ActionNamed(window, "mnuHelpManual")->trigger();
  test::Pump();
  auto manuals = window.findChildren<QDialog*>(QStringLiteral("frmManual"));
  ASSERT_EQ(manuals.size(), 1);
  EXPECT_TRUE(manuals[0]->isVisible());
  const QString text = manuals[0]->findChild<QTextBrowser*>()->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("キーボードだけで操作する"))) << text.left(200).toStdString();
  ActionNamed(window, "mnuHelpManual")->trigger();
  EXPECT_EQ(window.findChildren<QDialog*>(QStringLiteral("frmManual")).size(), 1);
  manuals[0]->close();
  test::Pump();
  // A manual that was not installed is told, naming the file.
  QFile::remove(w.program.path() + QStringLiteral("/manual.html"));
  ActionNamed(window, "mnuHelpManual")->trigger();
  EXPECT_TRUE(w.messages.LastText().contains(QStringLiteral("manual.html"))) << w.messages.LastText().toStdString();
}

TEST(Usability, RecentFoldersAreNumberedAndShownAsLastKnown) {
  QMenu menu;
  QStringList folders;
  for (int i = 0; i < 10; ++i) folders << QStringLiteral("/data/講義&%1").arg(i);
  const auto known = [](const QString& f) {
    if (f.endsWith(QLatin1Char('1'))) return FolderProbe::Known::Absent;
    if (f.endsWith(QLatin1Char('2'))) return FolderProbe::Known::NotAnswering;
    if (f.endsWith(QLatin1Char('3'))) return FolderProbe::Known::Unknown;
    return FolderProbe::Known::Present;
  };
  FillRecentMenu(&menu, folders, [](const QString&) {}, known);
  const QList<QAction*> items = menu.actions();
  ASSERT_EQ(items.size(), 10);
  const struct {
    int row;
    QString text;
    bool enabled;
  } expected[] = {
      {0, QStringLiteral("&1 /data/講義&&0"), true},
      {1, QStringLiteral("&2 /data/講義&&1"), false},
      {2, QStringLiteral("&3 /data/講義&&2（応答なし）"), false},
      {3, QStringLiteral("&4 /data/講義&&3"), true},
      {8, QStringLiteral("&9 /data/講義&&8"), true},
      {9, QStringLiteral("10 /data/講義&&9"), true},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(items[e.row]->text(), e.text) << e.row;
    EXPECT_EQ(items[e.row]->isEnabled(), e.enabled) << e.row;
  }
}

// Tab from the player's bar to the last control: every stop has the focus frame around it, the
// order reads down the left column and then the right one, and Tab never moves a grid's row.
TEST(Usability, TabWalksTheControlsInReadingOrderWithAVisibleFrame) {
  test::Window w;
  QTemporaryDir data;
  w.OpenFolder(data.path(), {QStringLiteral("0|a"), QStringLiteral("5|b")},
               {QStringLiteral("0|0.1|0.1"), QStringLiteral("1|0.2|0.2"), QStringLiteral("2|0.3|0.3")});
  w.window->show();
  w.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  Controls& ui = w.ed().ui;
  QWidget* frame = w.window->findChild<QWidget*>(QStringLiteral("focusFrame"));
  ASSERT_NE(frame, nullptr);

  ui.dgCursor->setFocus();
  test::Pump();
  const int row = w.ed().RS_CUR->CurrentRow();
  QStringList order;
  QWidget* start = QApplication::focusWidget();
  for (int i = 0; i < 40; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    test::Pump();
    QWidget* now = QApplication::focusWidget();
    ASSERT_NE(now, nullptr);
    if (now == start) break;
    order << now->objectName();
    // The frame stands around the control with the focus.
    const QRect at(now->mapTo(frame->parentWidget(), QPoint(0, 0)), now->size());
    EXPECT_TRUE(frame->isVisible()) << now->objectName().toStdString();
    EXPECT_TRUE(frame->geometry().contains(at)) << now->objectName().toStdString();
  }
  EXPECT_EQ(w.ed().RS_CUR->CurrentRow(), row);
  // Once round: the buttons, the grids and the seek buttons, in reading order (the real player's
  // bar, before the seek buttons, is walked in the keyboard session on the real editor).
  for (const char* name : {"cbDelete", "cbChkOff", "cbGrid", "dgSlide", "cbPlay_0", "cbPlay_5", "cbRec_0"})
    EXPECT_TRUE(order.contains(QLatin1String(name))) << name << " not in " << order.join(QLatin1Char(' ')).toStdString();
  const auto before = [&order](const char* a, const char* b) {
    return order.indexOf(QLatin1String(a)) < order.indexOf(QLatin1String(b));
  };
  EXPECT_TRUE(before("cbDelete", "cbChkOff"));
  EXPECT_TRUE(before("cbChkOff", "cbGrid"));
  EXPECT_TRUE(before("cbGrid", "dgSlide"));
  EXPECT_TRUE(before("cbPlay_5", "cbRec_0"));
}
