// Choosing a slide's picture in the working grid: the drop-down over the image cell, names that are
// and are not files of the data folder, and the import of a picture from another folder, with real
// files on disk.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "document/folder_commands.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/twips.h"
#include "slides/slide_edit.h"
#include "slides/slide_image.h"
#include "support/test_support.h"
#include "slides/slides_state.h"

using namespace kemo;

namespace {

class SlideImage : public ::testing::Test {
 protected:
  test::Window w;
  QTemporaryDir root;  // holds the data folder and folders outside it
  QString data = root.filePath("lecture");
  QString pics = root.filePath("pics");
  Editor& ed() { return w.ed(); }
  QComboBox* combo() { return ed().ui.dataCombo1; }

  void SetUp() override {
    test::WriteFile(data + "/content.xml", test::ContentXml({"0|a|a.jpg", "10|b|b.jpg"}, {"0|0.5|0.5"}));
    test::WriteFile(data + "/Video.flv", test::kFlvHead);
    test::WriteFile(data + "/Video.avi", test::kAviHead);
    test::WriteJpeg(data + "/a.jpg");
    test::WriteJpeg(data + "/b.jpg");
    w.dialogs.folders.push_back(data);
    OnFileOpen(ed());
    ASSERT_EQ(ed().EditorState, State::Idle);
    w.window->show();
    ed().ui.ppSldEdit->trigger();
    ed().RS_SLDEDT->MoveTo(1);
    w.messages.Clear();
  }

  QString Cell() { return ed().RS_SLDEDT->FieldAt(1, 3).toString(); }
  // The open-file dialogs asked for so far (the folder picker of the opening is not one).
  std::vector<ScriptedFileDialogs::Call> FileCalls() {
    std::vector<ScriptedFileDialogs::Call> calls;
    for (const auto& c : w.dialogs.calls)
      if (c.kind == QStringLiteral("file")) calls.push_back(c);
    return calls;
  }
  QStringList Items() {
    QStringList items;
    for (int i = 0; i < combo()->count(); ++i) items << combo()->itemText(i);
    return items;
  }
  void Choose(const QString& item) {
    ed().ui.dgSlideEdit->onButtonClick(3);
    const int i = combo()->findText(item);
    ASSERT_GE(i, 0) << item.toStdString();
    combo()->setCurrentIndex(i);
    Q_EMIT combo()->activated(i);
  }
  void Type(const QString& text, Qt::Key key) {
    ed().ui.dgSlideEdit->onButtonClick(3);
    combo()->setEditText(text);
    QTest::keyClick(combo(), key);
  }
};

TEST_F(SlideImage, DropDownOffersTheCopyEntryAndThePicturesOverTheCell) {
  test::WriteJpeg(data + "/C.JPEG");
  test::WriteFile(data + "/d.bmp", "BM");
  test::WriteFile(data + "/notes.txt", "x");
  QDir().mkpath(data + "/folder.jpg");

  DataGrid* g = ed().ui.dgSlideEdit;
  g->onButtonClick(3);
  EXPECT_FALSE(combo()->isHidden());
  EXPECT_EQ(Items(), (QStringList{kCopyFromElsewhere, "a.jpg", "b.jpg", "C.JPEG", "d.bmp"}));
  EXPECT_EQ(combo()->currentText(), QStringLiteral("b.jpg"));  // the cell's text
  // Laid over the image cell of the current row.
  const QRect cell = g->visualRect(g->model()->index(1, 3));
  const QPoint cellInPanel = g->viewport()->mapTo(ed().ui.fDialog[1], cell.topLeft());
  EXPECT_NEAR(combo()->x(), cellInPanel.x(), 3);
  EXPECT_NEAR(combo()->y(), cellInPanel.y(), 3);
  EXPECT_NEAR(combo()->width(), cell.width(), 2);

  // Without pictures only the copy entry is offered.
  QTemporaryDir empty;
  ed().slides->File1Folder = empty.path();
  g->onButtonClick(3);
  EXPECT_EQ(Items(), QStringList{kCopyFromElsewhere});
}

TEST_F(SlideImage, OnlyFilesOfTheDataFolderEnterTheCell) {
  Choose("a.jpg");
  EXPECT_EQ(Cell(), QStringLiteral("a.jpg"));
  EXPECT_EQ(ed().SldEdt[1].image, QStringLiteral("a.jpg"));
  EXPECT_TRUE(combo()->isHidden());
  EXPECT_TRUE(w.messages.shown.empty());

  // Enter takes a typed name that is a file of the folder.
  Type("b.jpg", Qt::Key_Return);
  EXPECT_EQ(Cell(), QStringLiteral("b.jpg"));

  // A missing name, and names that reach outside the folder, are refused with the full path.
  test::WriteJpeg(root.filePath("outside.jpg"));
  for (const QString& name : {QStringLiteral("missing.jpg"), QStringLiteral("../outside.jpg"), QStringLiteral("."),
                              QStringLiteral("..")}) {
    w.messages.Clear();
    Type(name, Qt::Key_Return);
    ASSERT_EQ(w.messages.shown.size(), 1u) << name.toStdString();
    EXPECT_EQ(w.messages.shown[0].text, ShowPath(JoinPath(data, name)) + QStringLiteral("は存在しません。"));
    EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(Cell(), QStringLiteral("b.jpg"));
    EXPECT_EQ(ed().SldEdt[1].image, QStringLiteral("b.jpg"));
    EXPECT_TRUE(combo()->isHidden());
  }

  // Any other key closes the drop-down and leaves the cell.
  w.messages.Clear();
  Type("a.jpg", Qt::Key_Down);
  EXPECT_TRUE(combo()->isHidden());
  Type("a.jpg", Qt::Key_X);
  EXPECT_EQ(Cell(), QStringLiteral("b.jpg"));
  EXPECT_TRUE(w.messages.shown.empty());
}

TEST_F(SlideImage, CopiesAPictureFromAnotherFolder) {
  test::WriteJpeg(pics + "/slide5.jpg", 64, 48, Qt::red);
  w.dialogs.files.push_back(pics + "/slide5.jpg");
  Choose(kCopyFromElsewhere);

  ASSERT_EQ(FileCalls().size(), 1u);
  EXPECT_EQ(FileCalls()[0].title, QStringLiteral("画像ファイルを指定してください"));
  EXPECT_EQ(FileCalls()[0].start, DriveRootOf(ed().ProgramFolder));
  EXPECT_TRUE(FileCalls()[0].filter.startsWith(QStringLiteral("*.jpeg;*.jpg;*.bmp")));
  EXPECT_EQ(Cell(), QStringLiteral("slide5.jpg"));
  EXPECT_EQ(ed().SldEdt[1].image, QStringLiteral("slide5.jpg"));
  EXPECT_EQ(test::ReadFile(data + "/slide5.jpg"), test::ReadFile(pics + "/slide5.jpg"));
  EXPECT_EQ(ed().slides->LastImageFolder, pics);
  EXPECT_TRUE(combo()->isHidden());

  // The next drop-down lists it; the next dialog opens in its folder. Cancelling changes nothing.
  ed().ui.dgSlideEdit->onButtonClick(3);
  EXPECT_TRUE(Items().contains(QStringLiteral("slide5.jpg")));
  Choose(kCopyFromElsewhere);  // no answer scripted: cancelled
  ASSERT_EQ(FileCalls().size(), 2u);
  EXPECT_EQ(FileCalls()[1].start, pics);
  EXPECT_EQ(Cell(), QStringLiteral("slide5.jpg"));
  EXPECT_TRUE(w.messages.shown.empty());

  // Pressing any key while the copy entry is the text starts the copy too.
  test::WriteJpeg(pics + "/slide6.jpg");
  w.dialogs.files.push_back(pics + "/slide6.jpg");
  Type(kCopyFromElsewhere, Qt::Key_Down);
  EXPECT_EQ(Cell(), QStringLiteral("slide6.jpg"));
}

TEST_F(SlideImage, OverwriteQuestionAndCopyErrorsKeepTheCell) {
  // The data folder's own picture, copied onto itself.
  w.dialogs.files.push_back(data + "/a.jpg");
  Choose(kCopyFromElsewhere);
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("同名のファイルが存在します。上書きしてもよろしいですか？"));
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::YesNo);
  const QString error = w.messages.shown[1].text;
  EXPECT_TRUE(error.endsWith(QStringLiteral("\r　ファイルが開いているか、同じファイルをコピーしようとしています。")))
      << error.toStdString();
  EXPECT_FALSE(error.startsWith(QLatin1Char('\r')));  // the platform's description comes first
  EXPECT_EQ(w.messages.shown[1].buttons, MsgButtons::Ok);
  EXPECT_EQ(Cell(), QStringLiteral("b.jpg"));
  EXPECT_FALSE(test::ReadFile(data + "/a.jpg").isEmpty());

  // No to the overwrite: nothing copied.
  test::WriteJpeg(pics + "/b.jpg", 10, 10, Qt::green);
  const QByteArray before = test::ReadFile(data + "/b.jpg");
  w.messages.Clear();
  w.messages.Answer(MsgResult::No);
  w.dialogs.files.push_back(pics + "/b.jpg");
  ed().RS_SLDEDT->MoveTo(0);
  Choose(kCopyFromElsewhere);
  EXPECT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(test::ReadFile(data + "/b.jpg"), before);
  EXPECT_EQ(ed().RS_SLDEDT->FieldAt(0, 3).toString(), QStringLiteral("a.jpg"));

  // A read-only picture of the same name is not replaced.
  QFile::setPermissions(data + "/b.jpg", QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
  w.messages.Clear();
  w.dialogs.files.push_back(pics + "/b.jpg");
  Choose(kCopyFromElsewhere);
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_TRUE(w.messages.shown[1].text.endsWith(QStringLiteral("\r　ファイルが読み取り専用になっています。")))
      << w.messages.shown[1].text.toStdString();
  EXPECT_EQ(test::ReadFile(data + "/b.jpg"), before);
  EXPECT_EQ(ed().RS_SLDEDT->FieldAt(0, 3).toString(), QStringLiteral("a.jpg"));
}

TEST_F(SlideImage, LeavingTheDropDownHidesIt) {
  QApplication::setActiveWindow(w.window.get());
  ed().ui.dgSlideEdit->onButtonClick(3);
  ASSERT_FALSE(combo()->isHidden());
  if (QApplication::focusWidget() != combo()) GTEST_SKIP() << "no keyboard focus on this platform";
  ed().ui.dgSlideEdit->setFocus(Qt::MouseFocusReason);
  EXPECT_TRUE(combo()->isHidden());
  EXPECT_EQ(Cell(), QStringLiteral("b.jpg"));
}

}  // namespace

// The drop-down used with the mouse, as the user does: opened over a cell that already holds a
// listed name, its list opens and another picture can be chosen, every time.
TEST_F(SlideImage, DropDownOverAListedNameOpensAndTakesAnotherPicture) {
  w.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  DataGrid* g = ed().ui.dgSlideEdit;
  for (const QString& pick : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("a.jpg")}) {
    SCOPED_TRACE(pick.toStdString());
    const QRect cell = g->visualRect(g->model()->index(1, 3));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, QPoint(cell.right() - cell.height() / 2, cell.center().y()));
    test::Pump(30);
    ASSERT_FALSE(combo()->isHidden());
    // The arrow at the combo's right end opens the list.
    QTest::mouseClick(combo(), Qt::LeftButton, {}, QPoint(combo()->width() - 6, combo()->height() / 2));
    test::Pump(30);
    QAbstractItemView* list = combo()->view();
    ASSERT_TRUE(list->isVisible()) << "the list closed at once; combo hidden " << combo()->isHidden() << " cell "
                                   << Cell().toStdString() << " msgs " << w.messages.shown.size();
    EXPECT_FALSE(combo()->isHidden());
    EXPECT_EQ(Cell(), pick == QStringLiteral("b.jpg") ? QStringLiteral("a.jpg") : QStringLiteral("b.jpg"));
    const int row = combo()->findText(pick);
    ASSERT_GE(row, 0);
    const QRect item = list->visualRect(list->model()->index(row, 0));
    test::Pump(QApplication::doubleClickInterval() + 50);  // the list ignores a release right after it opened
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    test::Pump(30);
    EXPECT_EQ(Cell(), pick);
    EXPECT_EQ(ed().SldEdt[1].image, pick);
    EXPECT_TRUE(combo()->isHidden());
    EXPECT_TRUE(w.messages.shown.empty());
  }
}
