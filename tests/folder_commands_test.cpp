// The File-menu commands on real folders: open, new, save, save as, reload, and the file copy with
// its error reports. The window runs offscreen with scripted dialogs, message boxes and player.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "document/editor.h"
#include "document/file_copy.h"
#include "document/folder_commands.h"
#include "document/tables.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "slides/slide_edit.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

const QString kConvertHint = QStringLiteral("ファイルメニューより、FSL⇒AVI変換を実行してください。");
const QString kPickFolder = QStringLiteral("Kemo.Recorderのデータフォルダを指定してください。");

const QStringList kScenes = {QStringLiteral("0|第1回 情報リテラシー|000.jpg"),
                             QStringLiteral("12.5|講義の目的 & 概要|001.jpg"),
                             QStringLiteral("30|まとめ|002.jpg")};
const QStringList kPoints = {QStringLiteral("0.2|0.10|0.20"), QStringLiteral("1.4|0.5|0.55"),
                             QStringLiteral("13|0.75|0.30")};

// A data folder on disk: content.xml, Video.flv, optionally Video.avi, the slide images and some
// files a save must not carry over.
QString MakeDataFolder(const QString& path, bool withAvi = true, const QStringList& scenes = kScenes,
                       const QStringList& points = kPoints) {
  QDir().mkpath(path);
  test::WriteFile(JoinPath(path, QStringLiteral("content.xml")), test::ContentXml(scenes, points));
  test::WriteFile(JoinPath(path, QStringLiteral("Video.flv")), QByteArray("FLV\x01 flv bytes"));
  if (withAvi) test::WriteFile(JoinPath(path, QStringLiteral("Video.avi")), test::kAviHead + " avi bytes");
  for (const QString& s : scenes) {
    const QString image = s.section(QLatin1Char('|'), 2);
    if (IsPlainFileName(image)) test::WriteJpeg(JoinPath(path, image));
  }
  test::WriteJpeg(JoinPath(path, QStringLiteral("unused.jpg")));
  test::WriteFile(JoinPath(path, QStringLiteral("content-backup--261201-1000.xml")), QByteArray("<content/>"));
  return path;
}

QStringList FileNames(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList Backups(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("content-backup-*.xml")}, QDir::Files, QDir::Name);
}

void Click(QAction* action) {
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(action->isEnabled()) << action->objectName().toStdString();
  action->trigger();
}

struct SlideRow {
  QString time, caption, image;
  bool operator==(const SlideRow&) const = default;
};

std::vector<SlideRow> Slides(const Editor& ed) {
  std::vector<SlideRow> rows;
  for (int i = 0; i < ed.SldCnt; ++i) rows.push_back({ed.Sld[i].timeText, ed.Sld[i].caption, ed.Sld[i].image});
  return rows;
}

std::vector<QString> Points(const Editor& ed) {
  std::vector<QString> rows;
  for (int i = 0; i < ed.CurCnt; ++i)
    rows.push_back(QString::number(ed.Cur[i].t) + QLatin1Char('|') + ed.Cur[i].x + QLatin1Char('|') + ed.Cur[i].y);
  return rows;
}

// The window with a scratch folder for data folders.
struct Fixture {
  test::Window w;
  QTemporaryDir scratch;
  Editor& ed() { return w.ed(); }
  QString Path(const QString& name) const { return JoinPath(scratch.path(), name); }

  // Opens folder through the menu, answering the picker with it.
  void Open(const QString& folder) {
    w.dialogs.folders.push_back(folder);
    Click(ed().ui.mnuFileOpen);
  }
};

}  // namespace

TEST(FolderCommands, OpenCompleteFolderLoadsTablesAndVideo) {
  Fixture f;
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(folder);

  Editor& ed = f.ed();
  ASSERT_EQ(f.w.dialogs.calls.size(), 1u);
  EXPECT_EQ(f.w.dialogs.calls[0].kind, QStringLiteral("folder"));
  // No data folder has been opened before: the picker starts at home.
  EXPECT_EQ(f.w.dialogs.calls[0].start, QDir::homePath());
  EXPECT_EQ(f.w.dialogs.calls[0].title, QStringLiteral("KemoRecorderのデータフォルダを指定してください"));
  EXPECT_TRUE(f.w.messages.shown.empty()) << f.w.messages.LastText().toStdString();
  EXPECT_EQ(ed.DataFolder, folder);
  EXPECT_EQ(ed.EditorState, State::Idle);
  EXPECT_FALSE(ed.ContentChanged);
  EXPECT_EQ(f.w.player.URL(), JoinPath(folder, QStringLiteral("Video.avi")));
  EXPECT_EQ(ed.points->FocusGrid, QStringLiteral("dgCursor"));
  EXPECT_EQ(Slides(ed), (std::vector<SlideRow>{{QStringLiteral("00:00.000"), QStringLiteral("第1回 情報リテラシー"), QStringLiteral("000.jpg")},
                                                {QStringLiteral("00:12.500"), QStringLiteral("講義の目的 & 概要"), QStringLiteral("001.jpg")},
                                                {QStringLiteral("00:30.000"), QStringLiteral("まとめ"), QStringLiteral("002.jpg")}}));
  EXPECT_EQ(ed.CurCnt, 3);
  ASSERT_NE(ed.RS_SLD, nullptr);
  EXPECT_EQ(ed.RS_SLD->RecordCount(), 3);
  EXPECT_TRUE(f.w.window->windowTitle().contains(QStringLiteral(" ［") + ShowPath(folder) + QStringLiteral("] ")));
  EXPECT_TRUE(ed.ui.mnuFileSave->isEnabled());
}

TEST(FolderCommands, OpenFolderWithFlvOnlyAsksForConversion) {
  // From a folder with video, and from no folder at all: both end in state 8.
  for (bool fromOpenFolder : {true, false}) {
    Fixture f;
    Editor& ed = f.ed();
    if (fromOpenFolder) f.Open(MakeDataFolder(f.Path(QStringLiteral("first"))));
    f.w.messages.Clear();
    const QString folder = MakeDataFolder(f.Path(QStringLiteral("flvonly")), false);
    f.Open(folder);

    ASSERT_EQ(f.w.messages.shown.size(), 1u);
    EXPECT_EQ(f.w.messages.shown[0].text, kConvertHint);
    EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ed.EditorState, State::NoVideo);
    EXPECT_EQ(ed.DataFolder, folder);
    EXPECT_TRUE(f.w.player.URL().isEmpty());
    EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("再生データ未設定"));
    EXPECT_TRUE(ed.ui.mnuFileConv->isEnabled());
    EXPECT_FALSE(ed.ui.mnuFileSave->isEnabled());
    EXPECT_FALSE(ed.ContentChanged);
    EXPECT_EQ(ed.SldCnt, 3);
  }
}

TEST(FolderCommands, OpenFolderWithFilesMissingNamesThemAndClearsTables) {
  struct Case {
    bool content, flv;
    QString missing;
  };
  for (const Case& c : {Case{true, false, QStringLiteral("Video.flv ")}, Case{false, true, QStringLiteral("content.xml ")},
                        Case{false, false, QStringLiteral("content.xml Video.flv ")}}) {
    Fixture f;
    Editor& ed = f.ed();
    f.Open(MakeDataFolder(f.Path(QStringLiteral("good"))));
    ASSERT_EQ(ed.EditorState, State::Idle);
    f.w.messages.Clear();
    const QString broken = MakeDataFolder(f.Path(QStringLiteral("broken")));
    if (!c.content) QFile::remove(JoinPath(broken, QStringLiteral("content.xml")));
    if (!c.flv) QFile::remove(JoinPath(broken, QStringLiteral("Video.flv")));
    f.Open(broken);

    SCOPED_TRACE(c.missing.toStdString());
    ASSERT_EQ(f.w.messages.shown.size(), 1u);
    EXPECT_EQ(f.w.messages.shown[0].text,
              QStringLiteral("指定したフォルダには、") + c.missing + QStringLiteral("が存在しません\r") + kPickFolder);
    EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ed.EditorState, State::NoFolder);
    EXPECT_TRUE(ed.DataFolder.isEmpty());
    EXPECT_FALSE(ed.ContentChanged);
    // Cleared: the slide table keeps only its one empty slide.
    EXPECT_EQ(ed.SldCnt, 1);
    EXPECT_TRUE(ed.Sld[0].caption.isEmpty());
    EXPECT_TRUE(f.w.player.URL().isEmpty());
  }
}

TEST(FolderCommands, OpenCancelledKeepsFolderButClearsTables) {
  Fixture f;
  Editor& ed = f.ed();
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(folder);
  f.w.messages.Clear();
  f.Open(QString());

  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text, kPickFolder);
  EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(ed.EditorState, State::NoFolder);
  EXPECT_EQ(ed.DataFolder, folder);
  EXPECT_FALSE(ed.ContentChanged);
  EXPECT_EQ(ed.SldCnt, 1);
  EXPECT_TRUE(ed.Sld[0].caption.isEmpty());
  EXPECT_TRUE(f.w.window->windowTitle().contains(QStringLiteral("[Kemo.Recorderのデータフォルダが指定されていません]")));
}

TEST(FolderCommands, CancelInTheSaveQuestionOfNewAndOpenChangesNothing) {
  for (bool isNew : {true, false}) {
    Fixture f;
    Editor& ed = f.ed();
    const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
    f.Open(folder);
    ed.Sld[1].caption = QStringLiteral("編集済み");
    SetContentChanged(ed, true);
    const QStringList files = FileNames(folder);
    const QString workMarker = JoinPath(ed.NewWorkFolder(), QStringLiteral("keep.txt"));
    test::WriteFile(workMarker, "x");
    f.w.messages.Clear();
    f.w.dialogs.calls.clear();
    f.w.messages.Answer(MsgResult::Cancel);
    Click(isNew ? ed.ui.mnuFileNew : ed.ui.mnuFileOpen);

    SCOPED_TRACE(isNew ? "new" : "open");
    ASSERT_EQ(f.w.messages.shown.size(), 1u);
    EXPECT_EQ(f.w.messages.shown[0].text,
              ShowPath(JoinPath(folder, QStringLiteral("content.xml"))) + QStringLiteral("は変更されています。保存しますか？"));
    EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::None);
    EXPECT_TRUE(f.w.dialogs.calls.empty());
    EXPECT_EQ(ed.DataFolder, folder);
    EXPECT_EQ(ed.EditorState, State::Idle);
    EXPECT_TRUE(ed.ContentChanged);
    EXPECT_EQ(ed.Sld[1].caption, QStringLiteral("編集済み"));
    EXPECT_EQ(ed.SldCnt, 3);
    EXPECT_EQ(FileNames(folder), files);
    EXPECT_TRUE(QFileInfo::exists(workMarker));
  }
}

TEST(FolderCommands, NewContentFromAnFlvFile) {
  Fixture f;
  Editor& ed = f.ed();
  const QString flv = f.Path(QStringLiteral("recordings/lecture 1.flv"));
  test::WriteFile(flv, QByteArray("FLV\x01 the new video"));
  // Left-overs of an earlier new content, and a folder that is not the working folder's to delete.
  test::WriteFile(JoinPath(ed.NewWorkFolder(), QStringLiteral("old.jpg")), "old");
  QDir().mkpath(JoinPath(ed.NewWorkFolder(), QStringLiteral("sub")));
  f.w.dialogs.files.push_back(flv);
  Click(ed.ui.mnuFileNew);

  ASSERT_EQ(f.w.dialogs.calls.size(), 1u);
  EXPECT_EQ(f.w.dialogs.calls[0].kind, QStringLiteral("file"));
  EXPECT_EQ(f.w.dialogs.calls[0].filter, QStringLiteral("*.flv (*.flv)"));
  EXPECT_EQ(f.w.dialogs.calls[0].start, DriveRootOf(ed.ProgramFolder));
  EXPECT_EQ(f.w.dialogs.calls[0].title, QStringLiteral("FLVファイルを指定してください"));
  EXPECT_EQ(ed.document.LastFlvFolder, DriveRootOf(ed.ProgramFolder));
  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text, kConvertHint);
  EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Information);

  EXPECT_EQ(ed.DataFolder, ed.NewWorkFolder());
  EXPECT_EQ(ed.EditorState, State::NoVideo);
  EXPECT_TRUE(ed.ContentChanged);
  EXPECT_EQ(FileNames(ed.DataFolder), (QStringList{QStringLiteral("Video.flv"), QStringLiteral("content.xml")}));
  EXPECT_TRUE(QFileInfo(JoinPath(ed.NewWorkFolder(), QStringLiteral("sub"))).isDir());
  EXPECT_EQ(test::ReadFile(JoinPath(ed.DataFolder, QStringLiteral("Video.flv"))), QByteArray("FLV\x01 the new video"));
  EXPECT_EQ(test::ReadFile(ed.ContentPath()), test::ReadFile(ed.TemplatePath()));
  EXPECT_TRUE(QFileInfo::exists(flv));
  // One empty slide and one point at 0.
  EXPECT_EQ(ed.SldCnt, 1);
  EXPECT_TRUE(ed.Sld[0].image.isEmpty());
  EXPECT_EQ(ed.CurCnt, 1);
  EXPECT_EQ(ed.Cur[0].t, 0.0);
  EXPECT_FALSE(ed.ui.mnuFileSave->isEnabled());
  EXPECT_TRUE(f.w.window->windowTitle().contains(ShowPath(ed.NewWorkFolder())));

  // The start folder is fixed on first use.
  f.w.dialogs.calls.clear();
  SetContentChanged(ed, false);
  Click(ed.ui.mnuFileNew);  // cancelled
  ASSERT_EQ(f.w.dialogs.calls.size(), 1u);
  EXPECT_EQ(f.w.dialogs.calls[0].start, DriveRootOf(ed.ProgramFolder));
}

TEST(FolderCommands, NewWithoutAnFlvLeavesEverythingAsItWas) {
  // From an open folder, and from new content living in the working folder: a cancelled choice of
  // video keeps the open content and the files it lives on.
  for (bool fromNewContent : {false, true}) {
    Fixture f;
    Editor& ed = f.ed();
    QString folder;
    if (fromNewContent) {
      const QString flv = f.Path(QStringLiteral("v.flv"));
      test::WriteFile(flv, "FLV");
      f.w.dialogs.files.push_back(flv);
      Click(ed.ui.mnuFileNew);
      folder = ed.NewWorkFolder();
      f.w.messages.Answer(MsgResult::No);  // do not save the new content
    } else {
      folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
      f.Open(folder);
      test::WriteFile(JoinPath(ed.NewWorkFolder(), QStringLiteral("old.jpg")), "old");
    }
    const uint8_t state = ed.EditorState;
    const bool changed = ed.ContentChanged;
    const auto slides = Slides(ed);
    const QStringList workFiles = FileNames(ed.NewWorkFolder());
    f.w.messages.shown.clear();
    Click(ed.ui.mnuFileNew);  // the file dialog answers "" (cancel)

    SCOPED_TRACE(fromNewContent ? "from new content" : "from a folder");
    EXPECT_EQ(ed.DataFolder, folder);
    EXPECT_EQ(ed.EditorState, state);
    EXPECT_EQ(ed.ContentChanged, changed);
    EXPECT_EQ(Slides(ed), slides);
    EXPECT_EQ(FileNames(ed.NewWorkFolder()), workFiles);
    EXPECT_TRUE(f.w.window->windowTitle().contains(ShowPath(folder)));
  }
}

TEST(FolderCommands, NewAfterChangesSavesIntoTheChosenFolderFirst) {
  Fixture f;
  Editor& ed = f.ed();
  const QString source = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(source);
  ed.Sld[0].caption = QStringLiteral("変更した題名");
  SetContentChanged(ed, true);
  const QString target = f.Path(QStringLiteral("saved"));
  QDir().mkpath(target);
  const QString flv = f.Path(QStringLiteral("next.flv"));
  test::WriteFile(flv, "FLV next");
  f.w.messages.Clear();
  f.w.dialogs.calls.clear();
  f.w.messages.Answer(MsgResult::Yes);
  f.w.dialogs.folders.push_back(target);
  f.w.dialogs.files.push_back(flv);
  Click(ed.ui.mnuFileNew);

  ASSERT_GE(f.w.dialogs.calls.size(), 2u);
  EXPECT_EQ(f.w.dialogs.calls[0].title, QStringLiteral("保存するフォルダを指定してください"));
  // The picker starts beside the data folder opened last.
  EXPECT_EQ(f.w.dialogs.calls[0].start, QFileInfo(source).absolutePath());
  // The saved folder holds the changed content; the new content is in the working folder.
  EXPECT_TRUE(QFileInfo::exists(JoinPath(target, QStringLiteral("Video.flv"))));
  EXPECT_TRUE(test::ReadFile(JoinPath(target, QStringLiteral("content.xml"))).contains("変更した題名"));
  EXPECT_EQ(ed.DataFolder, ed.NewWorkFolder());
  EXPECT_EQ(ed.EditorState, State::NoVideo);
  EXPECT_TRUE(ed.ContentChanged);
}

TEST(FolderCommands, SaveInPlaceKeepsOneBackupAndLoadsBack) {
  Fixture f;
  Editor& ed = f.ed();
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  QFile::remove(JoinPath(folder, QStringLiteral("content-backup--261201-1000.xml")));
  f.Open(folder);
  ed.Sld[1].caption = QStringLiteral("新しい題名 <改>");
  ed.Cur[2].x = QStringLiteral("0.80");
  BuildSlideTable(ed);
  SetContentChanged(ed, true);
  const QStringList before = FileNames(folder);

  // No: nothing is written.
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::No);
  Click(ed.ui.mnuFileSave);
  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text, QStringLiteral("上書き保存します。\rよろしいですか？"));
  EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::None);
  EXPECT_TRUE(Backups(folder).isEmpty());
  EXPECT_TRUE(ed.ContentChanged);

  // Yes: one backup, the folder's other files untouched, and the file loads back to the tables.
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::Yes);
  Click(ed.ui.mnuFileSave);
  EXPECT_EQ(Backups(folder).size(), 1);
  EXPECT_FALSE(ed.ContentChanged);
  QStringList after = FileNames(folder);
  after.removeAll(Backups(folder).value(0));
  EXPECT_EQ(after, before);
  const auto slides = Slides(ed);
  const auto points = Points(ed);
  f.Open(folder);
  EXPECT_EQ(Slides(ed), slides);
  EXPECT_EQ(Points(ed), points);
  EXPECT_EQ(ed.Sld[1].caption, QStringLiteral("新しい題名 <改>"));
  EXPECT_EQ(ed.Cur[2].x, QStringLiteral("0.80"));
}

TEST(FolderCommands, SaveAsIntoAFolderWithOtherFilesAsksFirst) {
  Fixture f;
  Editor& ed = f.ed();
  const QString source = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(source);
  SetContentChanged(ed, true);
  const QString target = f.Path(QStringLiteral("copy"));
  test::WriteFile(JoinPath(target, QStringLiteral("notes.txt")), "mine");
  test::WriteFile(JoinPath(target, QStringLiteral("000.jpg")), "older picture");
  test::WriteFile(JoinPath(target, QStringLiteral("sub/keep.txt")), "in a folder");

  // No: nothing deleted, copied or saved.
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::No);
  f.w.dialogs.folders.push_back(target + QStringLiteral("/"));
  Click(ed.ui.mnuFileSaveNew);
  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text,
            ShowPath(target) + QStringLiteral("内の2個のファイルを削除します。よろしいですか？"));
  EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(FileNames(target), (QStringList{QStringLiteral("000.jpg"), QStringLiteral("notes.txt")}));
  EXPECT_EQ(ed.DataFolder, source);
  EXPECT_TRUE(ed.ContentChanged);

  // Yes: the destination holds exactly the data folder's files; its sub-folder stays.
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::Yes);
  f.w.dialogs.folders.push_back(target);
  Click(ed.ui.mnuFileSaveNew);
  QStringList files = FileNames(target);
  const QStringList backups = Backups(target);
  EXPECT_EQ(backups.size(), 1);
  for (const QString& b : backups) files.removeAll(b);
  EXPECT_EQ(files, (QStringList{QStringLiteral("000.jpg"), QStringLiteral("001.jpg"), QStringLiteral("002.jpg"),
                                QStringLiteral("Video.avi"), QStringLiteral("Video.flv"), QStringLiteral("content.xml")}));
  EXPECT_EQ(test::ReadFile(JoinPath(target, QStringLiteral("000.jpg"))), test::ReadFile(JoinPath(source, QStringLiteral("000.jpg"))));
  EXPECT_EQ(test::ReadFile(JoinPath(target, QStringLiteral("sub/keep.txt"))), QByteArray("in a folder"));
  EXPECT_EQ(ed.DataFolder, target);
  EXPECT_FALSE(ed.ContentChanged);
  EXPECT_TRUE(f.w.window->windowTitle().contains(ShowPath(target)));
  // The source is untouched.
  EXPECT_TRUE(Backups(source).contains(QStringLiteral("content-backup--261201-1000.xml")));
  EXPECT_TRUE(QFileInfo::exists(JoinPath(source, QStringLiteral("unused.jpg"))));

  // Without Video.avi, none is made; into an empty folder nothing is asked. (The menu is off while
  // the video is missing; the command itself still copies what there is.)
  Fixture g;
  const QString flvOnly = MakeDataFolder(g.Path(QStringLiteral("flv")), false);
  g.Open(flvOnly);
  EXPECT_FALSE(g.ed().ui.mnuFileSaveNew->isEnabled());
  const QString empty = g.Path(QStringLiteral("empty"));
  QDir().mkpath(empty);
  g.w.messages.Clear();
  g.w.dialogs.folders.push_back(empty);
  OnFileSaveAs(g.ed());
  for (const auto& m : g.w.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("削除します")));
  EXPECT_TRUE(QFileInfo::exists(JoinPath(empty, QStringLiteral("Video.flv"))));
  EXPECT_FALSE(QFileInfo::exists(JoinPath(empty, QStringLiteral("Video.avi"))));
  EXPECT_EQ(g.ed().DataFolder, empty);
}

TEST(FolderCommands, SaveAsIntoTheCurrentFolderCopiesNothing) {
  Fixture f;
  Editor& ed = f.ed();
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  QFile::link(folder, f.Path(QStringLiteral("link")));
  f.Open(folder);
  const QStringList files = FileNames(folder);
  // The same folder under three spellings: as is, with a trailing separator, through a link and "..".
  for (const QString& spelling : {folder, folder + QStringLiteral("/"), f.Path(QStringLiteral("link")),
                                  folder + QStringLiteral("/../lecture")}) {
    SCOPED_TRACE(spelling.toStdString());
    f.w.messages.Clear();
    SetContentChanged(ed, true);
    f.w.dialogs.folders.push_back(spelling);
    Click(ed.ui.mnuFileSaveNew);
    for (const auto& m : f.w.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("削除します")));
    QStringList now = FileNames(folder);
    for (const QString& b : Backups(folder)) now.removeAll(b);
    QStringList expected = files;
    for (const QString& b : Backups(folder)) expected.removeAll(b);
    EXPECT_EQ(now, expected);
    EXPECT_FALSE(ed.ContentChanged);
  }
  EXPECT_TRUE(QFileInfo::exists(JoinPath(folder, QStringLiteral("unused.jpg"))));
}

TEST(FolderCommands, SaveAsRefusesTheProgramsOwnFolders) {
  Fixture f;
  Editor& ed = f.ed();
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(folder);
  SetContentChanged(ed, true);
  // The base of every editor's work folder, and another editor's work folder in it.
  ed.UserWorkBase = f.Path(QStringLiteral("cache/kemo-editor"));
  const QString otherEditor = JoinPath(ed.UserWorkBase, QStringLiteral("run-other"));
  QDir().mkpath(otherEditor);
  for (const QString& own : {ed.NewWorkFolder(), ed.WorkFolder(), ed.ProgramFolder, ed.UserWorkBase, otherEditor}) {
    const QStringList files = FileNames(own);
    f.w.messages.Clear();
    f.w.dialogs.folders.push_back(own);
    Click(ed.ui.mnuFileSaveNew);
    ASSERT_EQ(f.w.messages.shown.size(), 1u);
    EXPECT_EQ(f.w.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(FileNames(own), files);
    EXPECT_EQ(ed.DataFolder, folder);
    EXPECT_TRUE(ed.ContentChanged);
  }
}

// A destination holding links to the open folder's files (symbolic ones, a hard one): after Save-as
// each file there is a regular file of its own, and the new folder opens complete once the old one
// is gone.
TEST(FolderCommands, SaveAsIntoAFolderOfLinksCopiesTheFiles) {
  Fixture f;
  Editor& ed = f.ed();
  const QString source = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(source);
  SetContentChanged(ed, true);
  const QString target = f.Path(QStringLiteral("copy"));
  QDir().mkpath(target);
  for (const QString& name : {QStringLiteral("Video.flv"), QStringLiteral("Video.avi"), QStringLiteral("000.jpg")})
    ASSERT_TRUE(QFile::link(JoinPath(source, name), JoinPath(target, name)));
  ASSERT_EQ(::link(QFile::encodeName(JoinPath(source, QStringLiteral("001.jpg"))).constData(),
                   QFile::encodeName(JoinPath(target, QStringLiteral("001.jpg"))).constData()), 0);
  QMap<QString, QByteArray> before;
  for (const QString& name : FileNames(source)) before[name] = test::ReadFile(JoinPath(source, name));
  f.w.messages.Clear();
  f.w.dialogs.folders.push_back(target);
  Click(ed.ui.mnuFileSaveNew);  // はい: the 4 files there go
  ASSERT_EQ(ed.DataFolder, target) << f.w.messages.LastText().toStdString();
  for (const QString& name : FileNames(target)) {
    SCOPED_TRACE(name.toStdString());
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(JoinPath(target, name)).constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_nlink, 1u);
    if (name != QStringLiteral("content.xml") && before.contains(name))
      EXPECT_EQ(test::ReadFile(JoinPath(target, name)), before[name]);
  }
  ASSERT_TRUE(QDir(source).removeRecursively());
  f.w.messages.Clear();
  f.Open(target);
  EXPECT_EQ(ed.DataFolder, target) << f.w.messages.LastText().toStdString();
  EXPECT_EQ(ed.EditorState, State::Idle);
  EXPECT_EQ(ed.SldCnt, 3);
}

TEST(FolderCommands, SaveAsSkipsImageNamesThatAreNotPlainFileNames) {
  Fixture f;
  Editor& ed = f.ed();
  const QString source = MakeDataFolder(f.Path(QStringLiteral("a/lecture")), true,
                                        {QStringLiteral("0|表紙|000.jpg"), QStringLiteral("5|外|../outside.jpg"),
                                         QStringLiteral("9|上|..")});
  test::WriteJpeg(f.Path(QStringLiteral("a/outside.jpg")));
  f.Open(source);
  const QString target = f.Path(QStringLiteral("b/copy"));
  QDir().mkpath(target);
  f.w.dialogs.folders.push_back(target);
  Click(ed.ui.mnuFileSaveNew);
  EXPECT_TRUE(QFileInfo::exists(JoinPath(target, QStringLiteral("000.jpg"))));
  EXPECT_FALSE(QFileInfo::exists(f.Path(QStringLiteral("b/outside.jpg"))));
  EXPECT_EQ(ed.DataFolder, target);
}

TEST(FolderCommands, ReloadAsksAndReadsTheFileAgain) {
  Fixture f;
  Editor& ed = f.ed();
  const QString folder = MakeDataFolder(f.Path(QStringLiteral("lecture")));
  f.Open(folder);
  ed.Sld[0].caption = QStringLiteral("登録済みの変更");
  BuildSlideTable(ed);
  SetContentChanged(ed, true);
  ed.recCurCnt = 2;
  ed.recCur[0].t = 1;
  ed.recCur[1].t = 2;

  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::No);
  Click(ed.ui.mnuFileReset);
  ASSERT_EQ(f.w.messages.shown.size(), 1u);
  EXPECT_EQ(f.w.messages.shown[0].text,
            QStringLiteral("未登録のマウスポイント記録データがあります。\r"
                           "登録していないマウスポイント記録やスライド編集はすべて削除されます。\rよろしいですか？"));
  EXPECT_EQ(f.w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(ed.Sld[0].caption, QStringLiteral("登録済みの変更"));
  EXPECT_EQ(ed.recCurCnt, 2);

  // The file changed on disk meanwhile: Yes reads it.
  test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")),
                  test::ContentXml({QStringLiteral("0|読み直した題名|000.jpg")}, {QStringLiteral("0.5|0.1|0.1")}));
  f.w.messages.Clear();
  f.w.messages.Answer(MsgResult::Yes);
  Click(ed.ui.mnuFileReset);
  EXPECT_EQ(ed.SldCnt, 1);
  EXPECT_EQ(ed.Sld[0].caption, QStringLiteral("読み直した題名"));
  EXPECT_EQ(ed.RS_SLD->RecordCount(), 1);
  EXPECT_EQ(ed.CurCnt, 1);
  EXPECT_TRUE(ed.Sld[1].caption.isEmpty());
  EXPECT_TRUE(ed.Cur[2].x.isEmpty());
  EXPECT_EQ(ed.DataFolder, folder);
  EXPECT_EQ(ed.EditorState, State::Idle);
  // What the question announced is gone.
  EXPECT_EQ(ed.recCurCnt, 0);
  EXPECT_TRUE(IsSlideEditUnchanged(ed));
}

TEST(FolderCommands, FileCopyReportsTheFailures) {
  QTemporaryDir dir;
  const QString src = JoinPath(dir.path(), QStringLiteral("src.bin"));
  const QString dst = JoinPath(dir.path(), QStringLiteral("dst.bin"));
  test::WriteFile(src, "new content");

  EXPECT_EQ(CopyOneFile(JoinPath(dir.path(), QStringLiteral("none")), dst, true).number, FileErr::NotFound);
  EXPECT_TRUE(CopyOneFile(src, dst, false).ok());
  EXPECT_EQ(test::ReadFile(dst), QByteArray("new content"));
  test::WriteFile(dst, "old");
  EXPECT_EQ(CopyOneFile(src, dst, false).number, FileErr::Exists);
  EXPECT_EQ(test::ReadFile(dst), QByteArray("old"));
  EXPECT_TRUE(CopyOneFile(src, dst, true).ok());
  EXPECT_EQ(test::ReadFile(dst), QByteArray("new content"));
  EXPECT_TRUE(CopyOneFile(src, src, true).ok());
  EXPECT_EQ(test::ReadFile(src), QByteArray("new content"));
  EXPECT_EQ(CopyOneFile(src, JoinPath(dir.path(), QStringLiteral("no/such/dst")), true).number, FileErr::PathAccess);

  // A read-only destination is refused and kept, also for a user the permissions do not stop.
  test::WriteFile(dst, "read-only");
  QFile::setPermissions(dst, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
  const FileError ro = CopyOneFile(src, dst, true);
  EXPECT_EQ(ro.number, FileErr::PathAccess);
  EXPECT_FALSE(ro.description.isEmpty());
  EXPECT_EQ(test::ReadFile(dst), QByteArray("read-only"));
  // No temporary file is left behind.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

  // CopyFileChecked shows the description and the number; a missing source shows nothing.
  test::Window w;
  EXPECT_FALSE(CopyFileChecked(w.ed(), src, dst, true));
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, ro.description + QStringLiteral("\r　エラーコード：75"));
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::Ok);
  w.messages.Clear();
  EXPECT_FALSE(CopyFileChecked(w.ed(), JoinPath(dir.path(), QStringLiteral("none")), dst, true));
  EXPECT_TRUE(w.messages.shown.empty());
  const QString fresh = JoinPath(dir.path(), QStringLiteral("fresh.bin"));
  EXPECT_TRUE(CopyFileChecked(w.ed(), src, fresh, false));
  EXPECT_FALSE(CopyFileChecked(w.ed(), src, fresh, false));
  EXPECT_TRUE(w.messages.LastText().endsWith(QStringLiteral("\r　エラーコード：58")));
  // Permission denied: the read-only wording (sysfs refuses new files even to root).
  if (QFileInfo(QStringLiteral("/sys")).isDir()) {
    w.messages.Clear();
    EXPECT_FALSE(CopyFileChecked(w.ed(), src, QStringLiteral("/sys/kemo-copy-test"), true));
    ASSERT_EQ(w.messages.shown.size(), 1u);
    EXPECT_TRUE(w.messages.shown[0].text.endsWith(QStringLiteral("\r読み取り専用になっています。")))
        << w.messages.shown[0].text.toStdString();
  }
}

TEST(FolderCommands, ImportFlvFileAsksBeforeOverwritingAndReportsFailures) {
  test::Window w;
  Editor& ed = w.ed();
  QTemporaryDir dir;
  ed.DataFolder = JoinPath(dir.path(), QStringLiteral("data"));
  const QString flv = JoinPath(dir.path(), QStringLiteral("in/講義.flv"));
  test::WriteFile(flv, "FLV new");
  const QString target = JoinPath(ed.DataFolder, QStringLiteral("Video.flv"));
  test::WriteFile(target, "FLV old");

  // No to the overwrite question: "" and the old video stays.
  w.dialogs.files.push_back(flv);
  w.messages.Answer(MsgResult::No);
  EXPECT_EQ(ImportFlvFile(ed), QString());
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("同名のファイルが存在します。上書きしてもよろしいですか？"));
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(test::ReadFile(target), QByteArray("FLV old"));

  // Yes: the name of the chosen file (not its folder) and the new video.
  w.messages.Clear();
  w.dialogs.files.push_back(flv);
  w.messages.Answer(MsgResult::Yes);
  EXPECT_EQ(ImportFlvFile(ed), QStringLiteral("講義.flv"));
  EXPECT_EQ(test::ReadFile(target), QByteArray("FLV new"));

  // A read-only video: the error's description and the read-only line.
  QFile::setPermissions(target, QFileDevice::ReadOwner);
  w.messages.Clear();
  w.dialogs.files.push_back(flv);
  w.messages.Answer(MsgResult::Yes);
  EXPECT_EQ(ImportFlvFile(ed), QString());
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_TRUE(w.messages.shown[1].text.endsWith(QStringLiteral("\r　ファイルが読み取り専用になっています。")));
  EXPECT_FALSE(w.messages.shown[1].text.startsWith(QLatin1Char('\r')));

  // Cancelled dialog: "" and nothing asked.
  w.messages.Clear();
  EXPECT_EQ(ImportFlvFile(ed), QString());
  EXPECT_TRUE(w.messages.shown.empty());
}

TEST(FolderCommands, TheSampleFolderOpensWithItsSlidesAndPoints) {
  if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
    GTEST_SKIP() << "ffmpeg or ImageMagick missing";
  QTemporaryDir dir;
  const QString sample = JoinPath(dir.path(), QStringLiteral("sample"));
  QProcess make;
  make.start(QStringLiteral("bash"), {QStringLiteral(KEMO_SOURCE_DIR "/scripts/make-sample"), sample});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();

  Fixture f;
  Editor& ed = f.ed();
  f.Open(sample);
  EXPECT_EQ(ed.EditorState, State::NoVideo);  // the sample has only its FLV until it is converted
  EXPECT_EQ(ed.SldCnt, 5);
  EXPECT_EQ(ed.Sld[0].caption, QStringLiteral("第1回 情報リテラシー"));
  EXPECT_EQ(ed.Sld[4].timeText, QStringLiteral("00:48.000"));
  for (int i = 0; i < ed.SldCnt; ++i) {
    QImage image(JoinPath(sample, ed.Sld[i].image));
    EXPECT_EQ(image.size(), QSize(640, 480)) << ed.Sld[i].image.toStdString();
  }
  EXPECT_GE(ed.CurCnt, 200);
  for (int i = 1; i < ed.CurCnt; ++i) ASSERT_GT(ed.Cur[i].t, ed.Cur[i - 1].t);
  for (int i = 0; i < ed.CurCnt; ++i) {
    const double x = ed.Cur[i].x.toDouble(), y = ed.Cur[i].y.toDouble();
    ASSERT_TRUE(x >= 0 && x <= 1 && y >= 0 && y <= 1) << i;
  }
}
