// What the user made is never lost by the folder commands: a content.xml that did not load is not
// replaced unseen, a save that did not happen stops the command that asked for it, a save-as that
// fails keeps the previous folder. The window runs offscreen with scripted dialogs and message boxes
// on real folders.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/folder_commands.h"
#include "document/tables.h"
#include "app/frm_main.h"
#include "convert/convert.h"
#include "platform/captions.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "points/points.h"
#include "slides/slide_edit.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

const QStringList kScenes = {QStringLiteral("0|表紙|000.jpg"), QStringLiteral("12.5|本題|001.jpg")};
const QStringList kPoints = {QStringLiteral("0.2|0.10|0.20"), QStringLiteral("13|0.75|0.30")};
// An unescaped "&": the parser refuses the whole file.
const QByteArray kBroken =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content><slide><scene pos=\"0\" caption=\"Q&A\" image=\"000.jpg\"/>"
    "</slide><cursor><p t=\"1\" x=\"0.5\" y=\"0.5\"/></cursor></content>\n";

QString MakeDataFolder(const QString& path, const QByteArray& content = test::ContentXml(kScenes, kPoints)) {
  QDir().mkpath(path);
  test::WriteFile(JoinPath(path, QStringLiteral("content.xml")), content);
  test::WriteFile(JoinPath(path, QStringLiteral("Video.flv")), test::kFlvHead + "FLV bytes");
  test::WriteFile(JoinPath(path, QStringLiteral("Video.avi")), test::kAviHead + "AVI bytes");
  test::WriteJpeg(JoinPath(path, QStringLiteral("000.jpg")));
  test::WriteJpeg(JoinPath(path, QStringLiteral("001.jpg")));
  return path;
}

QStringList Backups(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("content-backup-*.xml")}, QDir::Files, QDir::Name);
}

// True when some file of the folder (content.xml or a backup) holds exactly these bytes.
bool BytesKept(const QString& folder, const QByteArray& bytes) {
  for (const QString& name : QDir(folder).entryList(QDir::Files))
    if (test::ReadFile(JoinPath(folder, name)) == bytes) return true;
  return false;
}

bool Saw(const test::Window& w, const QString& start) {
  for (const auto& m : w.messages.shown)
    if (m.text.startsWith(start)) return true;
  return false;
}

struct Fixture {
  test::Window w;
  QTemporaryDir scratch;
  Editor& ed() { return w.ed(); }
  QString Path(const QString& name) const { return JoinPath(scratch.path(), name); }
  void Open(const QString& folder) {
    w.dialogs.folders.push_back(folder);
    ed().ui.mnuFileOpen->trigger();
  }
  QString Captions() const {
    QStringList c;
    for (int i = 0; i < w.window->ed().SldCnt; ++i) c << w.window->ed().Sld[i].caption;
    return c.join(QLatin1Char('|'));
  }
};

const QString kUnreadQuestionEnd = QStringLiteral("は読み込めなかったファイルです。\r上書きしてもよろしいですか？");

}  // namespace

TEST(NothingLost, AContentXmlThatDidNotLoadIsNotSavedOverUnasked) {
  Fixture f;
  Editor& ed = f.ed();
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("broken")), kBroken);
  const QString content = JoinPath(folder, QStringLiteral("content.xml"));
  f.Open(folder);
  ASSERT_EQ(ed.DataFolder, folder);
  ASSERT_FALSE(f.w.messages.shown.empty());
  const QString question = ShowPath(content) + kUnreadQuestionEnd;

  // 上書き保存, twice in one minute: each asks about the unread file; いいえ writes nothing.
  for (int round = 0; round < 2; ++round) {
    f.w.messages.Clear();
    f.w.messages.Answer(MsgResult::Yes);  // 上書き保存します。
    f.w.messages.Answer(MsgResult::No);   // the unread file
    ed.ui.mnuFileSave->trigger();
    ASSERT_EQ(f.w.messages.shown.size(), 2u);
    EXPECT_EQ(f.w.messages.shown[1].text, question);
    EXPECT_EQ(f.w.messages.shown[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(test::ReadFile(content), kBroken);
    EXPECT_TRUE(Backups(folder).isEmpty());
  }

  // The save question of Open and of New, and save-as into the same folder: the same question;
  // いいえ stops the command with nothing written and the folder still open.
  for (int route = 0; route < 3; ++route) {
    SCOPED_TRACE(route);
    SetContentChanged(ed, true);
    f.w.messages.Clear();
    f.w.dialogs.calls.clear();
    if (route < 2) f.w.messages.Answer(MsgResult::Yes);  // 保存しますか？
    f.w.messages.Answer(MsgResult::No);                  // the unread file
    if (route >= 1) f.w.dialogs.folders.push_back(folder);
    (route == 0 ? ed.ui.mnuFileOpen : route == 1 ? ed.ui.mnuFileNew : ed.ui.mnuFileSaveNew)->trigger();
    EXPECT_EQ(f.w.messages.LastText(), question);
    EXPECT_EQ(f.w.dialogs.calls.size(), route == 0 ? 0u : 1u);  // no further dialog
    EXPECT_EQ(test::ReadFile(content), kBroken);
    EXPECT_EQ(ed.DataFolder, folder);
    EXPECT_TRUE(ed.ContentChanged);
  }

  // はい: saved, and the original bytes are in the backup. From then on the file is the tables'.
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::Yes);
  f.w.messages.Answer(MsgResult::Yes);
  ed.ui.mnuFileSave->trigger();
  EXPECT_TRUE(Saw(f.w, QStringLiteral("保存しました。")));
  ASSERT_EQ(Backups(folder).size(), 1);
  EXPECT_EQ(test::ReadFile(JoinPath(folder, Backups(folder)[0])), kBroken);
  f.w.messages.Clear();
  ed.ui.mnuFileSave->trigger();
  EXPECT_EQ(f.w.messages.shown.size(), 2u);  // the save question and the report, nothing more
  EXPECT_TRUE(BytesKept(folder, kBroken));
}

TEST(NothingLost, AFailedReloadLeavesTheTablesAsTheyWere) {
  // A file that no longer parses, and a file that is gone.
  for (bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "missing" : "broken");
    Fixture f;
    Editor& ed = f.ed();
    const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
    f.Open(folder);
    ed.Sld[1].caption = QStringLiteral("直した題名");
    BuildSlideTable(ed);
    SetContentChanged(ed, true);
    if (remove)
      QFile::remove(JoinPath(folder, QStringLiteral("content.xml")));
    else
      test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), kBroken);
    f.w.messages.Clear();
    f.w.messages.Answer(MsgResult::Yes);
    ed.ui.mnuFileReset->trigger();
    EXPECT_EQ(f.w.messages.shown.size(), 2u);  // the question and the reason
    EXPECT_EQ(f.Captions(), QStringLiteral("表紙|直した題名"));
    EXPECT_EQ(ed.RS_SLD->RecordCount(), 2);
    EXPECT_TRUE(ed.ContentChanged);
    // The changes can still be saved over the file that could not be read, when the user says so.
    f.w.messages.Clear();
    f.w.messages.Answer(MsgResult::Yes);
    f.w.messages.Answer(MsgResult::No);
    ed.ui.mnuFileSave->trigger();
    if (!remove) EXPECT_EQ(test::ReadFile(JoinPath(folder, QStringLiteral("content.xml"))), kBroken);
  }
}

TEST(NothingLost, ASaveThatDidNotHappenStopsNewAndOpen) {
  enum Way { PickerCancelled, ProgramFolder, DeclinedDelete, WriteFailed };
  for (bool isNew : {true, false}) {
    for (Way way : {PickerCancelled, ProgramFolder, DeclinedDelete, WriteFailed}) {
      SCOPED_TRACE(std::string(isNew ? "new " : "open ") + std::to_string(way));
      Fixture f;
      Editor& ed = f.ed();
      // Open saves new content (in the working folder) where the user says; New always does.
      if (isNew) {
        f.Open(MakeDataFolder(f.Path(QStringLiteral("lecture"))));
      } else {
        test::WriteFile(f.Path(QStringLiteral("v.flv")), "FLV");
        f.w.dialogs.files.push_back(f.Path(QStringLiteral("v.flv")));
        ed.ui.mnuFileNew->trigger();
        ASSERT_EQ(ed.DataFolder, ed.NewWorkFolder());
      }
      const QString folder = ed.DataFolder;
      ed.Sld[0].caption = QStringLiteral("未保存の題名");
      SetContentChanged(ed, true);
      const QString target = f.Path(QStringLiteral("target"));
      test::WriteFile(JoinPath(target, QStringLiteral("notes.txt")), "mine");
      f.w.messages.Clear();
      f.w.dialogs.calls.clear();
      f.w.messages.Answer(MsgResult::Yes);  // 保存しますか？
      switch (way) {
        case PickerCancelled: f.w.dialogs.folders.push_back(QString()); break;
        case ProgramFolder: f.w.dialogs.folders.push_back(ed.ProgramFolder); break;
        case DeclinedDelete:
          f.w.dialogs.folders.push_back(target);
          f.w.messages.Answer(MsgResult::No);
          break;
        case WriteFailed:
          QFile::remove(ed.TemplatePath());
          f.w.dialogs.folders.push_back(f.Path(QStringLiteral("empty")));
          QDir().mkpath(f.Path(QStringLiteral("empty")));
          break;
      }
      f.w.dialogs.folders.push_back(MakeDataFolder(f.Path(QStringLiteral("next"))));  // must not be asked for
      f.w.dialogs.files.push_back(f.Path(QStringLiteral("v.flv")));
      (isNew ? ed.ui.mnuFileNew : ed.ui.mnuFileOpen)->trigger();

      EXPECT_EQ(f.w.dialogs.calls.size(), 1u);  // the save's folder picker only
      EXPECT_EQ(ed.DataFolder, folder);
      EXPECT_EQ(ed.Sld[0].caption, QStringLiteral("未保存の題名"));
      EXPECT_TRUE(ed.ContentChanged);
      EXPECT_TRUE(QFileInfo::exists(JoinPath(folder, QStringLiteral("Video.flv"))));
      EXPECT_EQ(test::ReadFile(JoinPath(target, QStringLiteral("notes.txt"))), QByteArray("mine"));
      EXPECT_TRUE(f.w.window->windowTitle().contains(ShowPath(folder)));
    }
  }
}

TEST(NothingLost, ASaveAsWhoseCopyFailsKeepsThePreviousFolder) {
  Fixture f;
  Editor& ed = f.ed();
  const QString source = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(source);
  ed.Sld[0].caption = QStringLiteral("変更");
  SetContentChanged(ed, true);
  // The slide's picture can't be copied: its name stands for a folder in the data folder.
  QFile::remove(JoinPath(source, QStringLiteral("001.jpg")));
  QDir().mkpath(JoinPath(source, QStringLiteral("001.jpg")));
  const QString target = f.Path(QStringLiteral("copy"));
  QDir().mkpath(target);
  f.w.messages.Clear();
  f.w.dialogs.folders.push_back(target);
  ed.ui.mnuFileSaveNew->trigger();

  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  const QString text = f.w.messages.shown[0].text;
  EXPECT_TRUE(text.startsWith(ShowPath(JoinPath(source, QStringLiteral("001.jpg"))))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("directory"))) << text.toStdString();
  EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(ed.DataFolder, source);
  EXPECT_TRUE(ed.ContentChanged);
  EXPECT_TRUE(f.w.window->windowTitle().contains(ShowPath(source)));
  // Nothing is left in the destination that looks like a data folder.
  EXPECT_TRUE(QDir(target).entryList(QDir::Files | QDir::Hidden).isEmpty())
      << QDir(target).entryList(QDir::Files | QDir::Hidden).join(QLatin1Char(' ')).toStdString();

  // A writer that fails after the copy keeps the previous folder too.
  QDir(JoinPath(source, QStringLiteral("001.jpg"))).removeRecursively();
  test::WriteJpeg(JoinPath(source, QStringLiteral("001.jpg")));
  QFile::remove(ed.TemplatePath());
  f.w.messages.Clear();
  f.w.dialogs.folders.push_back(target);
  ed.ui.mnuFileSaveNew->trigger();
  EXPECT_FALSE(Saw(f.w, QStringLiteral("保存しました。")));
  EXPECT_EQ(ed.DataFolder, source);
  EXPECT_TRUE(ed.ContentChanged);
}

namespace {

// Records n points over the slide with the video playing, then stops recording.
void RecordRun(Fixture& f, int n) {
  Editor& ed = f.ed();
  ed.EditorState = State::RecordPlaying;
  ed.ui.ckRecDisp->setChecked(true);
  Stage* img = ed.ui.img;
  for (int i = 0; i < n; ++i) {
    f.w.player.SetPositionNow(20.0 + i);
    f.w.pointer.position = img->mapToGlobal(QPoint(img->width() / 4 + 10 * i, img->height() / 2));
    OnStageMouseDown(ed);
    SampleRecordTick(ed);
    OnStageMouseUp(ed);
  }
  RefreshRecordPanel(ed);  // as the panel's timer does
  ed.EditorState = State::Idle;
}

int VisibleRecordedMarkers(const Editor& ed) {
  int visible = 0;
  for (int i = 0; i < ed.ui.img->MarkerCount(MarkerArray::RecPoint); ++i)
    if (ed.ui.img->Marker(MarkerArray::RecPoint, i).visible) ++visible;
  return visible;
}

const QString kRecordedLine = QStringLiteral("未登録のマウスポイント記録データがあります。\r");
const QString kSlideEditLine = QStringLiteral("未登録のスライド編集データがあります。\r");

}  // namespace

TEST(NothingLost, NewOpenAndReloadAskBeforeDroppingARecordedRun) {
  enum Command { New, Open, Reload };
  for (Command command : {New, Open, Reload}) {
    SCOPED_TRACE(command);
    Fixture f;
    Editor& ed = f.ed();
    const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
    f.Open(folder);
    RecordRun(f, 3);
    ASSERT_EQ(ed.recCurCnt, 3);
    ASSERT_EQ(VisibleRecordedMarkers(ed), 3);
    test::WriteFile(f.Path(QStringLiteral("v.flv")), "FLV");
    const QString other = MakeDataFolder(f.Path(QStringLiteral("other")));
    QAction* item = command == New ? ed.ui.mnuFileNew : command == Open ? ed.ui.mnuFileOpen : ed.ui.mnuFileReset;
    const QString question =
        kRecordedLine + (command == Reload ? QStringLiteral("登録していないマウスポイント記録やスライド編集はすべて削除されます。\rよろしいですか？")
                                           : QStringLiteral("登録していないデータは削除されます。よろしいですか？"));

    // いいえ keeps everything: nothing chosen, nothing read.
    f.w.messages.Clear();
    f.w.dialogs.calls.clear();
    f.w.messages.Answer(MsgResult::No);
    item->trigger();
    ASSERT_EQ(f.w.messages.shown.size(), 1u);
    EXPECT_EQ(f.w.messages.shown[0].text, question);
    EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(f.w.dialogs.calls.empty());
    EXPECT_EQ(ed.recCurCnt, 3);
    EXPECT_EQ(ed.RS_recCUR->RecordCount(), 3);
    EXPECT_EQ(VisibleRecordedMarkers(ed), 3);
    EXPECT_EQ(ed.DataFolder, folder);

    // はい: the run goes, with its rows, its status line and its markers.
    f.w.messages.Clear();
    f.w.dialogs.files.push_back(f.Path(QStringLiteral("v.flv")));
    f.w.dialogs.folders.push_back(other);
    item->trigger();
    EXPECT_EQ(f.w.messages.shown[0].text, question);
    EXPECT_EQ(ed.recCurCnt, 0);
    EXPECT_EQ(ed.RS_recCUR->RecordCount(), 0);
    EXPECT_EQ(ed.ui.lbRecTimer0->text(), QStringLiteral("最終記録No.-- 時間=--:--.--- X=-- Y=--"));
    EXPECT_EQ(VisibleRecordedMarkers(ed), 0);
    // Nothing left to ask about the next time.
    f.w.messages.Clear();
    f.w.messages.Answer(MsgResult::No);
    OnFileReset(ed);
    EXPECT_FALSE(f.w.messages.shown.empty() || f.w.messages.shown[0].text.contains(kRecordedLine));
  }
}

TEST(NothingLost, TheExitQuestionListsOnlySlideEditsNotYetRegistered) {
  Fixture f;
  Editor& ed = f.ed();
  f.Open(MakeDataFolder(f.Path(QStringLiteral("lecture"))));
  // The panel opened and closed without a change, then a slide inserted and one deleted in the
  // registered list with the panel closed: nothing waits to be registered.
  ed.ui.ppSldEdit->trigger();
  ed.ui.ppSldEdit->trigger();
  ASSERT_TRUE(ed.ui.fDialog[1]->isHidden());
  SetCaption(ed.ui.dispTime, QStringLiteral("00:05.000"));
  f.w.messages.Clear();
  ed.ui.ppSldInsert->trigger();
  ASSERT_EQ(ed.SldCnt, 3);
  ed.ui.ppSldDelete->trigger();
  ASSERT_EQ(ed.SldCnt, 2);
  EXPECT_FALSE(ExitQuestionText(ed).contains(kSlideEditLine)) << ExitQuestionText(ed).toStdString();

  // A change in the open panel is listed.
  ed.ui.ppSldEdit->trigger();
  ASSERT_FALSE(ed.ui.fDialog[1]->isHidden());
  ed.SldEdt[0].caption = QStringLiteral("編集中の題名");
  EXPECT_TRUE(ExitQuestionText(ed).contains(kSlideEditLine));
  // Closed with いいえ to the overwrite question: the change is given up, nothing is listed.
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::Yes);  // 変更を登録しますか？
  f.w.messages.Answer(MsgResult::No);   // 既存データに上書きします。
  ed.ui.cbFrSldClose->click();
  ASSERT_TRUE(ed.ui.fDialog[1]->isHidden());
  EXPECT_FALSE(ExitQuestionText(ed).contains(kSlideEditLine));
}

TEST(NothingLost, AProgramFolderIsNeitherOpenedNorConverted) {
  Fixture f;
  Editor& ed = f.ed();
  // The work folder holding a complete data folder, reached through a link.
  const QString work = ed.WorkFolder();
  MakeDataFolder(work);
  const QString link = f.Path(QStringLiteral("looks-like-data"));
  ASSERT_TRUE(QFile::link(work, link));
  for (const QString& spelling : {link, work + QStringLiteral("/../") + FileNameOfPath(work)}) {
    f.w.messages.Clear();
    f.Open(spelling);
    ASSERT_EQ(f.w.messages.shown.size(), 1u);
    EXPECT_EQ(f.w.messages.shown[0].text,
              ShowPath(spelling) + QStringLiteral("はプログラムのフォルダのため、データフォルダとして開くことはできません。\r") +
                  QStringLiteral("Kemo.Recorderのデータフォルダを指定してください。"));
    EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(ed.EditorState, State::NoFolder);
    EXPECT_TRUE(ed.DataFolder.isEmpty());
  }

  // Converting with the work folder as the data folder is refused before a file is touched.
  ed.DataFolder = link;
  ed.EditorState = State::NoVideo;
  f.w.messages.Clear();
  OnConvertCommand(ed);
  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text, ShowPath(link) + QStringLiteral("はプログラムのフォルダのため、変換できません。"));
  EXPECT_EQ(test::ReadFile(JoinPath(work, QStringLiteral("Video.flv"))), test::kFlvHead + "FLV bytes");
  EXPECT_EQ(test::ReadFile(JoinPath(work, QStringLiteral("Video.avi"))), test::kAviHead + "AVI bytes");
}
