// The daily workflow around the data folders: the recent folders kept between runs, where the
// pickers start, folders that come from outside the menus (a drop, the command line, a second
// start), and the shortcuts for saving and for play and pause.
#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "app/recent_folders.h"
#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

// A complete data folder (content.xml, Video.flv, Video.avi) at path; the path.
QString MakeFolder(const QString& path, const QString& caption = QStringLiteral("講義")) {
  test::WriteFile(path + QStringLiteral("/content.xml"),
                  test::ContentXml({QStringLiteral("0|") + caption + QStringLiteral("|000.jpg")},
                                   {QStringLiteral("0|0.5|0.5")}));
  test::WriteFile(path + QStringLiteral("/Video.flv"), test::kFlvHead);
  test::WriteFile(path + QStringLiteral("/Video.avi"), test::kAviHead);
  return path;
}

QMenu* RecentMenu(test::Window& w) { return w.window->findChild<QMenu*>(QStringLiteral("mnuFileRecent")); }

// The recent folders as the File menu lists them when it opens: text and enabled state.
QStringList RecentItems(test::Window& w) {
  Q_EMIT w.ed().ui.mnuFile->aboutToShow();
  // Whether each folder exists is answered off the window's thread.
  test::Pump(300);
  QStringList items;
  for (QAction* a : RecentMenu(w)->actions())
    items << a->data().toString() + (a->isEnabled() ? QString() : QStringLiteral(" (greyed)"));
  return items;
}

void Drop(QWidget* target, const QList<QUrl>& urls, bool* accepted = nullptr) {
  QMimeData mime;
  mime.setUrls(urls);
  const QPoint at(target->width() / 2, target->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (accepted) *accepted = enter.isAccepted();
  if (!enter.isAccepted()) return;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  test::Pump(30);
}

}  // namespace

TEST(RecentFolders, NewestFirstOnceEachAtMostTenAndKeptBetweenRuns) {
  RecentFolders::Forget();
  QTemporaryDir root;
  {
    RecentFolders recent;
    EXPECT_TRUE(recent.Folders().isEmpty());
    for (int i = 0; i < 12; ++i) recent.Add(root.path() + QStringLiteral("/f%1").arg(i));
    recent.Add(root.path() + QStringLiteral("/f5/"));  // another spelling of a listed folder
    recent.Add(QString());
  }
  RecentFolders again;  // a later run
  ASSERT_EQ(again.Folders().size(), 10);
  EXPECT_EQ(again.Last(), root.path() + QStringLiteral("/f5/"));
  EXPECT_EQ(again.Folders()[1], root.path() + QStringLiteral("/f11"));
  EXPECT_EQ(again.Folders().count(root.path() + QStringLiteral("/f5")), 0);
  EXPECT_FALSE(again.Folders().contains(root.path() + QStringLiteral("/f0")));
  RecentFolders::Forget();
  EXPECT_TRUE(RecentFolders().Folders().isEmpty());
}

TEST(RecentFolders, TheFileMenuListsOpenedFoldersGreysMissingOnesAndOpensThem) {
  test::Window w;
  QTemporaryDir root;
  EXPECT_TRUE(RecentItems(w).isEmpty());
  EXPECT_FALSE(RecentMenu(w)->menuAction()->isEnabled());
  const QString a = MakeFolder(root.path() + QStringLiteral("/a"), QStringLiteral("第1回"));
  const QString b = MakeFolder(root.path() + QStringLiteral("/b"), QStringLiteral("第2回"));
  const QString broken = root.path() + QStringLiteral("/broken");
  QDir().mkpath(broken);  // no content.xml: it does not open and is not listed
  for (const QString& f : {a, b, broken}) {
    w.dialogs.folders.push_back(f);
    w.ed().ui.mnuFileOpen->trigger();
  }
  EXPECT_EQ(RecentItems(w), QStringList({b, a}));
  w.messages.Clear();

  // Choosing an entry opens it as フォルダ指定 does; it moves to the top.
  w.dialogs.folders.push_back(b);
  w.ed().ui.mnuFileOpen->trigger();
  RecentItems(w);
  ASSERT_TRUE(RecentMenu(w)->menuAction()->isEnabled());
  RecentMenu(w)->actions().at(1)->trigger();
  EXPECT_EQ(w.ed().DataFolder, a);
  EXPECT_EQ(w.ed().Sld[0].caption, QStringLiteral("第1回"));
  EXPECT_TRUE(w.messages.shown.empty()) << w.messages.LastText().toStdString();

  // A folder that has gone is greyed; the list survives a restart.
  QDir(b).removeRecursively();
  EXPECT_EQ(RecentItems(w), QStringList({a, b + QStringLiteral(" (greyed)")}));
  EXPECT_EQ(RecentFolders().Folders(), QStringList({a, b}));
}

TEST(RecentFolders, PickersStartBesideTheLastDataFolderOrAtHome) {
  QTemporaryDir root;
  const QString lecture = MakeFolder(root.path() + QStringLiteral("/2026/lecture"));
  {
    test::Window w;
    w.dialogs.folders.push_back(QString());  // cancelled
    w.ed().ui.mnuFileOpen->trigger();
    ASSERT_EQ(w.dialogs.calls.size(), 1u);
    EXPECT_EQ(w.dialogs.calls[0].start, QDir::homePath());
    w.dialogs.folders.push_back(lecture);
    w.ed().ui.mnuFileOpen->trigger();
    w.dialogs.calls.clear();
    w.ed().ui.mnuFileSaveNew->trigger();  // cancelled: no answer left
    ASSERT_EQ(w.dialogs.calls.size(), 1u);
    EXPECT_EQ(w.dialogs.calls[0].start, root.path() + QStringLiteral("/2026"));
  }
  // The next run remembers it. (test::Window forgets the list, so this one is built by hand.)
  RecentFolders().Add(lecture);
  Editor ed;
  ed.document.LastDataFolder = RecentFolders().Last();
  EXPECT_EQ(FolderPickerStart(ed), root.path() + QStringLiteral("/2026"));
  // A last folder whose parent has gone: home.
  ed.document.LastDataFolder = root.path() + QStringLiteral("/gone/lecture");
  EXPECT_EQ(FolderPickerStart(ed), QDir::homePath());
  RecentFolders::Forget();
}

TEST(OpenFromOutside, ADroppedFolderOpensWithTheQuestionsOfFolderOpen) {
  test::Window w;
  QTemporaryDir root;
  const QString first = root.path() + QStringLiteral("/first");
  w.OpenFolder(first, {QStringLiteral("0|最初|000.jpg")});
  const QString second = MakeFolder(root.path() + QStringLiteral("/second"), QStringLiteral("二つ目"));

  // A file, or two folders, are not taken.
  bool accepted = true;
  Drop(w.window.get(), {QUrl::fromLocalFile(second + QStringLiteral("/content.xml"))}, &accepted);
  EXPECT_FALSE(accepted);
  Drop(w.window.get(), {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}, &accepted);
  EXPECT_FALSE(accepted);

  // Unsaved changes: the save question comes first; Cancel keeps everything.
  w.ed().Sld[0].caption = QStringLiteral("変更");
  SetContentChanged(w.ed(), true);
  w.messages.Answer(MsgResult::Cancel);
  Drop(w.window.get(), {QUrl::fromLocalFile(second)}, &accepted);
  EXPECT_TRUE(accepted);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, ShowPath(first + QStringLiteral("/content.xml")) +
                                          QStringLiteral("は変更されています。保存しますか？"));
  EXPECT_EQ(w.ed().DataFolder, first);
  EXPECT_TRUE(w.ed().ContentChanged);

  // Dropped on a control inside the window, answered No: the dropped folder opens unsaved.
  w.messages.Clear();
  w.messages.Answer(MsgResult::No);
  Drop(w.ed().ui.lbCursorTitle, {QUrl::fromLocalFile(second)});
  EXPECT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.ed().DataFolder, second);
  EXPECT_EQ(w.ed().Sld[0].caption, QStringLiteral("二つ目"));
  EXPECT_FALSE(w.ed().ContentChanged);
  EXPECT_FALSE(test::ReadFile(first + QStringLiteral("/content.xml")).contains("変更"));

  // A folder that is no data folder gets フォルダ指定's message.
  w.messages.Clear();
  const QString empty = root.path() + QStringLiteral("/empty");
  QDir().mkpath(empty);
  w.window->OpenFolderFromOutside(empty);
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("指定したフォルダには、content.xml Video.flv が存在しません\r"
                                                  "Kemo.Recorderのデータフォルダを指定してください。"));
  EXPECT_EQ(w.ed().EditorState, State::NoFolder);
}

TEST(OpenFromOutside, WhileTheVideoPlaysTheFolderIsRefusedWithAMessage) {
  test::Window w;
  QTemporaryDir root;
  w.OpenFolder(root.path() + QStringLiteral("/first"), {QStringLiteral("0|最初|000.jpg")});
  const QString second = MakeFolder(root.path() + QStringLiteral("/second"));
  w.player.SetStateNow(PlayState::Playing);
  ASSERT_EQ(w.ed().EditorState, State::Playing);
  w.window->OpenFolderFromOutside(second);
  EXPECT_EQ(w.messages.LastText(), ShowPath(second) + QStringLiteral("を開けません。\r"
                                                                     "再生・記録・スライド編集を終えてから開いてください。"));
  EXPECT_EQ(w.ed().DataFolder, root.path() + QStringLiteral("/first"));
}

TEST(Shortcuts, CtrlSSavesWithItsQuestionAndSpacePlaysAndPausesUnlessACellIsEdited) {
  test::Window w;
  QTemporaryDir root;
  w.window->show();
  QApplication::setActiveWindow(w.window.get());
  // Without a folder neither does anything.
  QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(w.window.get(), Qt::Key_Space);
  EXPECT_TRUE(w.messages.shown.empty());
  EXPECT_TRUE(w.player.log.filter(QStringLiteral("play")).isEmpty());

  w.OpenFolder(root.path() + QStringLiteral("/lecture"), {QStringLiteral("0|最初|000.jpg")});
  w.messages.Answer(MsgResult::No);
  QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("上書き保存します。\rよろしいですか？"));

  w.player.log.clear();
  w.ed().ui.dgCursor->setFocus();
  QTest::keyClick(w.ed().ui.dgCursor, Qt::Key_Space);
  test::Pump(20);
  // (The mode refresh of the playing state asks the player to play once more.)
  EXPECT_EQ(w.player.log.value(0), QStringLiteral("play"));
  EXPECT_FALSE(w.player.log.contains(QStringLiteral("pause")));
  EXPECT_EQ(w.ed().EditorState, State::Playing);
  QTest::keyClick(w.ed().ui.dgCursor, Qt::Key_Space);
  test::Pump(20);
  EXPECT_EQ(w.player.log.last(), QStringLiteral("pause"));
  EXPECT_EQ(w.ed().EditorState, State::Idle);

  // A cell being edited takes the space as text.
  w.player.log.clear();
  DataGrid* g = w.ed().ui.dgCursor;
  g->edit(g->model()->index(0, 2));
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_Space);
  EXPECT_EQ(editor->text(), QStringLiteral(" "));
  EXPECT_TRUE(w.player.log.isEmpty()) << w.player.log.join(QLatin1Char(',')).toStdString();
}
