// The recovery journal and the guard against overwriting another program's content.xml, on real
// files: what an editor that stopped without ending leaves is restored by the next one (はい) or
// discarded (いいえ), never applied to a content.xml changed since, and gone after a save or a
// normal end. The journal is forced to the disk at most a few times a second.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "document/content_xml.h"
#include "document/folder_commands.h"
#include "document/history.h"
#include "document/journal.h"
#include "platform/append_file.h"
#include "platform/work_folder.h"
#include "support/history_support.h"

using namespace kemo;
using test::Tables;

namespace {

// Some changes of every kind, and a recorded run that is not registered.
void MakeChanges(test::HistoryWindow& f) {
  f.SelectPoint(3);
  DeletePoint(f.ed);
  f.EditPoint(2, QStringLiteral("00:00.120"), 40, 60);
  f.RegisterRun(0.5, 4);
  f.MoveMarker(1);
  f.ed.RS_SLD->MoveTo(1);
  DeleteSlideRow(f.ed, RegisteredSlides(f.ed));
  f.undo()->trigger();  // the slide comes back
  for (int i = 0; i < 3; ++i) {
    PointRecord& p = f.ed.recCur[i];
    p.id = static_cast<int16_t>(i + 1);
    p.t = 2 + i * 0.05;
    p.timeText = FormatTimeText(p.t);
    p.x = QStringLiteral("0.5");
    p.y = QStringLiteral("0.25");
    p.mark = f.ed.SymOn();
    f.ed.recCurCnt = static_cast<int16_t>(i + 1);
    NoteRecordedRun(f.ed);
  }
}

// The registered tables a journal's replay gave.
std::unique_ptr<Tables> TablesOf(const RecoveredWork& work) {
  return Tables::Of(work.sld, work.sldCnt, work.cur, work.curCnt);
}

bool SameRun(const Editor& a, const Editor& b) {
  if (a.recCurCnt != b.recCurCnt) return false;
  for (int i = 0; i < kSlots; ++i)
    if (!test::SameRecord(a.recCur[i], b.recCur[i])) return false;
  return true;
}

// The journals earlier tests left behind (their windows gone as by a crash), which a start would offer.
void RemoveLeftJournals() {
  for (const QFileInfo& f : QDir(RecoveryFolder()).entryInfoList({QStringLiteral("*.journal")}, QDir::Files))
    if (!JournalInUse(f.filePath())) QFile::remove(f.filePath());
}

}  // namespace

TEST(Recovery, WorkLeftByAnEditorThatStoppedIsRestoredOnOpenOrDiscarded) {
  QTemporaryDir dir;
  const QString folder = dir.path() + QStringLiteral("/lecture");
  auto first = std::make_unique<test::HistoryWindow>();
  // Both windows work on the same folder.
  first->w.dialogs.folders.push_back(folder);
  first->w.OpenFolder(folder, first->scenes, first->pointTexts);
  MakeChanges(*first);
  const auto crashed = Tables::Of(first->ed);
  auto crashedRun = std::make_unique<Editor>(first->ed);
  crashedRun->recCur = first->ed.recCur;
  crashedRun->recCurCnt = first->ed.recCurCnt;
  const QString journal = JournalPathFor(folder);
  ASSERT_TRUE(QFileInfo::exists(journal));
  // The window goes away without its end: the journal stays, as after a crash.
  first.reset();
  ASSERT_TRUE(QFileInfo::exists(journal));

  // いいえ: the journal goes, the tables are the file's.
  {
    test::HistoryWindow second;
    second.messages.Answer(MsgResult::No);
    second.w.dialogs.folders.push_back(folder);
    QFile::copy(journal, journal + QStringLiteral(".keep"));
    OnFileOpen(second.ed);
    ASSERT_FALSE(second.messages.shown.empty());
    EXPECT_TRUE(second.messages.shown.back().text.contains(QStringLiteral("復元しますか？")));
    EXPECT_TRUE(second.messages.shown.back().text.contains(QDir::toNativeSeparators(folder)));
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_FALSE(second.ed.ContentChanged);
    EXPECT_FALSE(Tables::Of(second.ed)->Same(*crashed));
    QFile::rename(journal + QStringLiteral(".keep"), journal);
  }
  // はい: the tables and the recorded run as they were, marked changed, the journal going on.
  test::HistoryWindow third;
  third.messages.Answer(MsgResult::Yes);
  third.w.dialogs.folders.push_back(folder);
  OnFileOpen(third.ed);
  EXPECT_TRUE(Tables::Of(third.ed)->Same(*crashed)) << Tables::Of(third.ed)->FirstDifference(*crashed);
  EXPECT_TRUE(SameRun(third.ed, *crashedRun));
  EXPECT_TRUE(third.ed.ContentChanged);
  EXPECT_EQ(third.ed.RS_CUR->RecordCount(), third.ed.CurCnt);
  EXPECT_EQ(third.ed.ui.lbSldCnt[1]->text(), SlideCountText(third.ed.SldCnt));
  EXPECT_TRUE(QFileInfo::exists(journal));
  // A change after the restore reaches the journal too; replaying it gives the tables.
  third.SelectPoint(1);
  TogglePointShown(third.ed);
  auto replay = std::make_unique<RecoveredWork>();
  ASSERT_TRUE(ReadJournal(journal, nullptr, replay.get()));
  EXPECT_FALSE(replay->damaged);
  const auto replayed = TablesOf(*replay);
  EXPECT_TRUE(replayed->Same(*Tables::Of(third.ed))) << replayed->FirstDifference(*Tables::Of(third.ed));

  // A save ends the journal; so does the normal end of the program.
  OnFileSave(third.ed);
  EXPECT_FALSE(third.ed.ContentChanged);
  EXPECT_TRUE(QFileInfo::exists(journal)) << "the recorded run is not saved: its journal goes on";
  ClearRecordedPoints(third.ed);
  third.SelectPoint(1);
  DeletePoint(third.ed);
  EXPECT_TRUE(QFileInfo::exists(journal));
  EXPECT_TRUE(third.w.window->close());
  EXPECT_FALSE(QFileInfo::exists(journal));
}

// At a start without a folder the work is offered naming its folder; はい opens that folder with the
// work restored and no second question. A journal whose folder is not there (a stick not plugged
// in) is offered too, and キャンセル keeps it; いいえ discards the journal offered.
TEST(Recovery, AtStartTheWorkIsOfferedNamingItsFolderWhichOpensRestored) {
  RemoveLeftJournals();
  auto first = std::make_unique<test::HistoryWindow>();
  const QString folder = first->folder;
  MakeChanges(*first);
  const auto crashed = Tables::Of(first->ed);
  const QString journal = JournalPathFor(folder);
  first->ed.history->journal().Close();  // left behind, as by a crash
  QTemporaryDir gone;
  const QString missing = gone.path() + QStringLiteral("/on a stick");
  QDir().mkpath(missing);
  Journal away;
  ASSERT_TRUE(away.Begin(JournalHeader{missing, {}, 0}, first->ed.Sld, 1, first->ed.Cur, 1, first->ed.recCur, 0));
  away.Close();
  QDir(missing).removeRecursively();
  const QString awayPath = JournalPathFor(missing);
  ASSERT_TRUE(QFileInfo::exists(awayPath));
  {
    // The newest journal is offered first; two written within one tick of the file system's clock
    // would otherwise come in either order.
    QFile f(awayPath);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
  }
  QFile::copy(journal, journal + QStringLiteral(".keep"));

  test::HistoryWindow second;
  second.messages.Clear();
  second.messages.Answer(MsgResult::Cancel);  // the stick's work: later
  second.messages.Answer(MsgResult::Yes);
  EXPECT_EQ(OfferRecoveryAtStart(second.ed), folder);
  ASSERT_EQ(second.messages.shown.size(), 2u);
  EXPECT_TRUE(second.messages.shown[0].text.contains(QStringLiteral("このフォルダが見つかりません")));
  EXPECT_TRUE(second.messages.shown[1].text.startsWith(QDir::toNativeSeparators(folder)));
  EXPECT_TRUE(second.messages.shown[1].text.contains(QStringLiteral("このフォルダを開いて復元しますか？")));
  second.messages.Clear();
  OpenGivenFolder(second.ed, folder);
  for (const auto& m : second.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("復元"))) << "asked twice";
  EXPECT_TRUE(Tables::Of(second.ed)->Same(*crashed)) << Tables::Of(second.ed)->FirstDifference(*crashed);
  EXPECT_TRUE(second.ed.ContentChanged);
  EXPECT_TRUE(second.ed.history->AgreedJournal().isEmpty());
  EXPECT_TRUE(QFileInfo::exists(awayPath));
  second.ed.history->journal().Close();

  // いいえ: that journal goes; the one of the missing folder stays for when it is back.
  QFile::remove(journal);
  QFile::rename(journal + QStringLiteral(".keep"), journal);
  test::HistoryWindow third;
  {
    // The stick's journal is the newest: offered first.
    QFile away(awayPath);
    ASSERT_TRUE(away.open(QIODevice::Append));
    away.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
  }
  third.messages.Clear();
  third.messages.Answer(MsgResult::Cancel);
  third.messages.Answer(MsgResult::No);
  EXPECT_EQ(OfferRecoveryAtStart(third.ed), QString());
  EXPECT_EQ(third.messages.shown.size(), 2u);
  EXPECT_FALSE(QFileInfo::exists(journal));
  EXPECT_TRUE(QFileInfo::exists(awayPath));
  // Only the stick's work is left to offer.
  third.messages.Clear();
  third.messages.Answer(MsgResult::Cancel);
  EXPECT_EQ(OfferRecoveryAtStart(third.ed), QString());
  EXPECT_EQ(third.messages.shown.size(), 1u);
  QFile::remove(awayPath);
}

TEST(Recovery, AJournalIsNeverAppliedToAContentXmlChangedSinceItBegan) {
  test::HistoryWindow first;
  first.SelectPoint(2);
  DeletePoint(first.ed);
  const QString journal = JournalPathFor(first.folder);
  ASSERT_TRUE(QFileInfo::exists(journal));
  first.ed.history->journal().Close();  // left behind, as by a crash
  // Another program rewrites content.xml.
  const QString content = first.folder + QStringLiteral("/content.xml");
  QThread::msleep(20);
  test::WriteFile(content, test::ContentXml({QStringLiteral("0|別のスライド|a.jpg")}, {QStringLiteral("0|0.1|0.1")}));

  test::HistoryWindow second;
  second.messages.Answer(MsgResult::No);  // keep the journal
  second.w.dialogs.folders.push_back(first.folder);
  OnFileOpen(second.ed);
  ASSERT_FALSE(second.messages.shown.empty());
  const QString text = second.messages.shown.back().text;
  EXPECT_TRUE(text.contains(QDir::toNativeSeparators(content))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("復元できません"))) << text.toStdString();
  EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"))), 2)
      << "both times named: " << text.toStdString();
  EXPECT_EQ(second.ed.SldCnt, 1);
  EXPECT_EQ(second.ed.Sld[0].caption, QStringLiteral("別のスライド"));
  EXPECT_FALSE(second.ed.ContentChanged);
  EXPECT_TRUE(QFileInfo::exists(journal));
}

TEST(Recovery, TheGuardAsksBeforeOverwritingAContentXmlAnotherProgramChanged) {
  test::HistoryWindow f;
  f.SelectPoint(2);
  DeletePoint(f.ed);
  const QString content = f.folder + QStringLiteral("/content.xml");
  // Another process appends to the file.
  QProcess other;
  other.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("printf '<!-- other -->\\n' >> \"$0\""), content});
  ASSERT_TRUE(other.waitForFinished(10000));
  const QByteArray theirs = test::ReadFile(content);
  const auto tables = Tables::Of(f.ed);

  f.messages.Clear();
  f.messages.Answer(MsgResult::Yes);  // 上書き保存します
  f.messages.Answer(MsgResult::No);   // the file was changed: do not overwrite
  OnFileSave(f.ed);
  ASSERT_EQ(f.messages.shown.size(), 2u);
  EXPECT_TRUE(f.messages.shown[1].text.startsWith(QDir::toNativeSeparators(content)));
  EXPECT_TRUE(f.messages.shown[1].text.contains(QStringLiteral("他のプログラムで変更されています")));
  EXPECT_EQ(test::ReadFile(content), theirs);
  EXPECT_TRUE(Tables::Of(f.ed)->Same(*tables));
  EXPECT_TRUE(f.ed.ContentChanged);
  EXPECT_TRUE(QDir(f.folder).entryList({QStringLiteral("content-backup*")}).isEmpty()) << "nothing was written";

  // 名前を付けて保存 asks too.
  QTemporaryDir elsewhere;
  f.messages.Clear();
  f.w.dialogs.folders.push_back(elsewhere.path());
  f.messages.Answer(MsgResult::No);
  OnFileSaveAs(f.ed);
  EXPECT_EQ(f.ed.DataFolder, f.folder);
  EXPECT_FALSE(QFileInfo::exists(elsewhere.path() + QStringLiteral("/content.xml")));

  // はい overwrites, and the file saved is the one the next save expects.
  f.messages.Clear();
  f.messages.Answer(MsgResult::Yes);
  f.messages.Answer(MsgResult::Yes);
  OnFileSave(f.ed);
  EXPECT_FALSE(f.ed.ContentChanged);
  EXPECT_NE(test::ReadFile(content), theirs);
  f.messages.Clear();
  OnFileSave(f.ed);
  for (const auto& m : f.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("他のプログラム")));
}

TEST(Recovery, TheJournalIsForcedToTheDiskAtMostAFewTimesASecond) {
  QTemporaryDir dir;
  AppendFile file;
  const QString path = dir.path() + QStringLiteral("/j");
  ASSERT_TRUE(file.Open(path, true));
  EXPECT_FALSE(AppendFile().Open(path, true)) << "an existing journal was taken over";
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(file.Append(QByteArray(40, 'x')));
  // Everything is in the file at once (a killed process loses nothing)...
  EXPECT_EQ(QFileInfo(path).size(), 200 * 40);
  EXPECT_LE(file.SyncCount(), 1);
  // ...and forced to the disk shortly after the burst.
  test::Pump(AppendFile::kSyncGapMs + 200);
  EXPECT_EQ(file.SyncCount(), 1);
  file.Remove();
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(Recovery, ATornOrForeignJournalRestoresWhatItsGoodRecordsHold) {
  test::HistoryWindow f;
  f.SelectPoint(2);
  DeletePoint(f.ed);
  const auto afterFirst = Tables::Of(f.ed);
  f.SelectPoint(2);
  DeletePoint(f.ed);
  const QString journal = JournalPathFor(f.folder);
  f.ed.history->journal().Close();
  QByteArray bytes = test::ReadFile(journal);
  // The last record cut in the middle, as by a power cut.
  QFile out(journal);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
  out.write(bytes.left(bytes.size() - 3));
  out.close();
  auto work = std::make_unique<RecoveredWork>();
  ASSERT_TRUE(ReadJournal(journal, nullptr, work.get()));
  EXPECT_TRUE(work->damaged);
  const auto t = TablesOf(*work);
  EXPECT_TRUE(t->Same(*afterFirst)) << t->FirstDifference(*afterFirst);
  // Bytes that are no journal at all: nothing is read.
  test::WriteFile(journal, QByteArray("not a journal at all, just text"));
  EXPECT_FALSE(ReadJournal(journal, nullptr, work.get()));
}

// A journal kept from a crash (its content.xml changed since; the user kept it) is not in the way:
// the new work reaches a journal of its own, and the next start restores that work.
TEST(Recovery, NewWorkReachesAJournalBesideOneKeptFromACrash) {
  test::HistoryWindow first;
  first.SelectPoint(2);
  DeletePoint(first.ed);
  first.ed.history->journal().Close();  // left behind, as by a crash
  const QString kept = JournalPathFor(first.folder);
  const QString content = first.folder + QStringLiteral("/content.xml");
  test::WriteFile(content, test::ReadFile(content) + ' ');  // another program adds a byte

  test::HistoryWindow second;
  second.messages.Clear();
  second.messages.Answer(MsgResult::No);  // the work cannot be restored: keep it all the same
  second.w.dialogs.folders.push_back(first.folder);
  OnFileOpen(second.ed);
  ASSERT_TRUE(second.messages.LastText().contains(QStringLiteral("破棄しますか"))) << second.messages.LastText().toStdString();
  for (int i = 0; i < 3; ++i) {
    second.SelectPoint(1);
    DeletePoint(second.ed);
  }
  const auto crashed = Tables::Of(second.ed);
  ASSERT_TRUE(second.ed.history->journal().IsOpen()) << "the kept journal stood in the way";
  EXPECT_NE(second.ed.history->journal().Path(), kept);
  EXPECT_TRUE(QFileInfo::exists(kept));
  for (const auto& m : second.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("書き込めません")));
  second.ed.history->journal().Close();

  test::HistoryWindow third;
  third.messages.Clear();
  third.w.dialogs.folders.push_back(first.folder);
  OnFileOpen(third.ed);  // はい to everything: restore the new work, discard the old
  EXPECT_TRUE(Tables::Of(third.ed)->Same(*crashed)) << Tables::Of(third.ed)->FirstDifference(*crashed);
  EXPECT_EQ(JournalsFor(first.folder), QStringList{third.ed.history->journal().Path()});
}

// Where no journal can be written (a file where its folder should be, a disk that is full), the
// user is told once, naming the folder and the reason, and the caption says the work is
// unprotected until a save; once a journal works again nothing more is said.
TEST(Recovery, WhereNoJournalCanBeWrittenTheUserIsToldOnceAndTheCaptionSaysSo) {
  const QString folder = RecoveryFolder();
  const QString aside = folder + QStringLiteral(".aside");
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  struct Case {
    const char* name;
    const char* reason;
    bool beforeFirstChange;  // the journal cannot even begin
    std::function<void(test::HistoryWindow&)> spoil, mend;
  } cases[] = {
      {"a file where the folder is", "同じ名前のファイル", true,
       [&](test::HistoryWindow&) {
         QDir().mkpath(folder);
         ASSERT_TRUE(QDir().rename(folder, aside));
         test::WriteFile(folder, "x");
       },
       [&](test::HistoryWindow&) {
         QFile::remove(folder);
         QDir().rename(aside, folder);
       }},
      {"the disk fills", "空き容量", false,
       [&](test::HistoryWindow& f) {
         signal(SIGXFSZ, SIG_IGN);
         rlimit small = saved;
         small.rlim_cur = 64;  // less than any journal: no record fits
         setrlimit(RLIMIT_FSIZE, &small);
       },
       [&](test::HistoryWindow&) { setrlimit(RLIMIT_FSIZE, &saved); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::HistoryWindow f;
    if (!c.beforeFirstChange) {
      f.SelectPoint(1);
      DeletePoint(f.ed);
    }
    c.spoil(f);
    f.messages.Clear();
    for (int i = 0; i < 3; ++i) {
      f.SelectPoint(1);
      DeletePoint(f.ed);
    }
    c.mend(f);
    int told = 0;
    for (const auto& m : f.messages.shown) {
      if (!m.text.contains(QStringLiteral("書き込めません"))) continue;
      ++told;
      EXPECT_TRUE(m.text.startsWith(QDir::toNativeSeparators(folder))) << m.text.toStdString();
      EXPECT_TRUE(m.text.contains(QString::fromUtf8(c.reason))) << m.text.toStdString();
    }
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(UnprotectedCaption(f.ed).isEmpty());
    // A save protects the work; the next change reaches a journal again, without a word.
    f.messages.Clear();
    OnFileSave(f.ed);
    EXPECT_FALSE(f.ed.ContentChanged);
    EXPECT_TRUE(UnprotectedCaption(f.ed).isEmpty());
    f.SelectPoint(1);
    DeletePoint(f.ed);
    EXPECT_TRUE(f.ed.history->journal().IsOpen());
    EXPECT_EQ(JournalsFor(f.folder).size(), 1);
    for (const auto& m : f.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("書き込めません")));
  }
}

// Tables equal to the saved file leave no journal: not while the save's report is up (content.xml
// is already replaced), nor after an undo back to the saved state.
TEST(Recovery, NoJournalIsLeftOfTablesEqualToTheSavedFile) {
  test::HistoryWindow f;
  f.SelectPoint(2);
  DeletePoint(f.ed);
  ASSERT_EQ(JournalsFor(f.folder).size(), 1);
  QStringList during{QStringLiteral("not shown")};
  f.messages.onShow = [&](const ScriptedMessageBoxes::Shown& m) {
    if (m.text.startsWith(QStringLiteral("保存しました"))) during = JournalsFor(f.folder);
  };
  OnFileSave(f.ed);
  f.messages.onShow = nullptr;
  EXPECT_TRUE(during.isEmpty()) << during.join(QLatin1Char(' ')).toStdString();
  f.SelectPoint(1);
  DeletePoint(f.ed);
  EXPECT_EQ(JournalsFor(f.folder).size(), 1);
  f.undo()->trigger();
  EXPECT_FALSE(f.ed.ContentChanged);
  EXPECT_TRUE(JournalsFor(f.folder).isEmpty());
  // Redone: journaled again, and the replay is the tables.
  f.redo()->trigger();
  ASSERT_EQ(JournalsFor(f.folder).size(), 1);
  auto replay = std::make_unique<RecoveredWork>();
  ASSERT_TRUE(ReadJournal(JournalsFor(f.folder)[0], nullptr, replay.get()));
  EXPECT_TRUE(TablesOf(*replay)->Same(*Tables::Of(f.ed))) << TablesOf(*replay)->FirstDifference(*Tables::Of(f.ed));
}

// The journal of a running editor (its lock held) is never offered, replaced or removed by a second
// editor of the same folder; that one opens the folder only when the user agrees, with a journal of
// its own.
TEST(Recovery, AJournalOfARunningEditorIsNeitherOfferedNorRemoved) {
  RemoveLeftJournals();
  test::HistoryWindow first;
  first.SelectPoint(2);
  DeletePoint(first.ed);
  const QString journal = first.ed.history->journal().Path();

  test::HistoryWindow second;
  second.messages.Clear();
  EXPECT_EQ(OfferRecoveryAtStart(second.ed), QString());
  EXPECT_TRUE(second.messages.shown.empty());
  second.messages.Answer(MsgResult::No);
  second.w.dialogs.folders.push_back(first.folder);
  OnFileOpen(second.ed);
  ASSERT_EQ(second.messages.shown.size(), 1u);
  EXPECT_TRUE(second.messages.LastText().contains(QStringLiteral("実行中の別のKemo.Editorで開かれています")));
  EXPECT_NE(second.ed.DataFolder, first.folder);
  second.messages.Clear();
  second.messages.Answer(MsgResult::Yes);
  second.w.dialogs.folders.push_back(first.folder);
  OnFileOpen(second.ed);
  EXPECT_EQ(second.ed.DataFolder, first.folder);
  for (const auto& m : second.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("復元")));
  second.SelectPoint(1);
  DeletePoint(second.ed);
  EXPECT_NE(second.ed.history->journal().Path(), journal);
  EXPECT_EQ(JournalsFor(first.folder).size(), 2);
  // The first editor writes on into its journal, which replays to its tables.
  first.SelectPoint(1);
  DeletePoint(first.ed);
  auto replay = std::make_unique<RecoveredWork>();
  ASSERT_TRUE(ReadJournal(journal, nullptr, replay.get()));
  EXPECT_TRUE(TablesOf(*replay)->Same(*Tables::Of(first.ed)));
}

// New content (新規作成 from an FLV, converted, slides inserted) whose editor ended keeping its
// journal: the work folder stays with the journal, even past the grace of ended editors' folders,
// and the next editor brings the session back in its own work folder, still new content.
TEST(Recovery, NewContentComesBackWithItsWorkFolder) {
  RemoveLeftJournals();
  QTemporaryDir base, outside;
  const QString flv = outside.path() + QStringLiteral("/talk.flv");
  test::WriteFile(flv, test::kFlvHead + "flv");
  auto first = std::make_unique<test::Window>();
  auto work = std::make_unique<EditorWorkFolder>(base.path());
  Editor& ed = first->ed();
  ed.UserWorkFolder = work->path();
  ed.UserWorkBase = base.path();
  first->dialogs.files.push_back(flv);
  OnFileNew(ed);
  ASSERT_EQ(ed.DataFolder, ed.NewWorkFolder());
  const QString oldNew = ed.DataFolder;
  test::WriteFile(oldNew + QStringLiteral("/Video.avi"), test::kAviHead + "converted");  // the conversion's result
  for (int i = 0; i < 3; ++i) {
    ed.Sld[i].id = static_cast<int16_t>(i + 1);
    ed.Sld[i].pos = i * 2.0;
    ed.Sld[i].timeText = FormatTimeText(i * 2.0);
    ed.Sld[i].caption = QStringLiteral("挿入%1").arg(i);
    ed.SldCnt = static_cast<int16_t>(i + 1);
    RecordChange(ed, ChangeName::SlideInsert);
  }
  const auto crashed = Tables::Of(ed);
  ed.history->journal().Close();  // the end keeps the journal (a crash, or a signal's end)
  work.reset();
  first.reset();
  ASSERT_TRUE(QFileInfo(oldNew + QStringLiteral("/Video.avi")).isFile()) << "the work folder went at the end";
  EditorWorkFolder::RemoveAbandoned(base.path(), 0);
  ASSERT_TRUE(QFileInfo(oldNew + QStringLiteral("/Video.flv")).isFile()) << "the work folder went at a start";

  test::Window second;
  EditorWorkFolder work2(base.path());
  Editor& ed2 = second.ed();
  ed2.UserWorkFolder = work2.path();
  ed2.UserWorkBase = base.path();
  const QString folder = OfferRecoveryAtStart(ed2);
  ASSERT_EQ(folder, ed2.NewWorkFolder()) << second.messages.LastText().toStdString();
  EXPECT_TRUE(second.messages.LastText().contains(QStringLiteral("新規作成")));
  second.messages.Clear();
  OpenGivenFolder(ed2, folder);
  for (const auto& m : second.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("プログラムのフォルダ")));
  EXPECT_EQ(ed2.DataFolder, ed2.NewWorkFolder());
  EXPECT_EQ(ed2.EditorState, State::Idle);
  EXPECT_TRUE(Tables::Of(ed2)->Same(*crashed)) << Tables::Of(ed2)->FirstDifference(*crashed);
  EXPECT_TRUE(ed2.ContentChanged);
  EXPECT_FALSE(ed2.ui.mnuFileSave->isEnabled()) << "new content is saved with 名前を付けて保存";
  EXPECT_EQ(test::ReadFile(folder + QStringLiteral("/Video.avi")), test::kAviHead + "converted");
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(oldNew).path())) << "the ended editor's work folder stays";
  EXPECT_TRUE(ed2.history->journal().IsOpen());
  ed2.history->journal().Discard();
}

// One byte flipped in the 2nd of 4 change records: the 1st, 3rd and 4th are restored, the user is
// told that one could not be read, and the journal is kept as it was.
TEST(Recovery, ADamagedRecordIsPassedOverAndEveryIntactOneRestored) {
  const auto edit = [](test::HistoryWindow& w, int id) {
    w.EditPoint(id, FormatTimeText((id - 1) * 0.1), 10 * id, 20 + id);
  };
  test::HistoryWindow f, intact;
  for (int id : {1, 2, 3, 4}) edit(f, id);
  for (int id : {1, 3, 4}) edit(intact, id);
  const QString journal = f.ed.history->journal().Path();
  f.ed.history->journal().Close();
  QByteArray bytes = test::ReadFile(journal);
  // The records: the header, the tables and the recorded run it began with, then the 4 changes.
  QList<qsizetype> starts;
  for (qsizetype at = 0; at + 4 <= bytes.size();) {
    starts << at;
    uint32_t len = 0;
    std::memcpy(&len, bytes.constData() + at, 4);
    at += 8 + len;
  }
  ASSERT_EQ(starts.size(), 7);
  const qsizetype flip = (starts[4] + starts[5]) / 2;
  bytes[flip] = static_cast<char>(bytes[flip] ^ 0x20);
  test::WriteFile(journal, bytes);

  test::HistoryWindow second;
  second.messages.Clear();
  second.w.dialogs.folders.push_back(f.folder);
  OnFileOpen(second.ed);  // はい
  const auto expected = Tables::Of(intact.ed);
  EXPECT_TRUE(Tables::Of(second.ed)->Same(*expected)) << Tables::Of(second.ed)->FirstDifference(*expected);
  EXPECT_TRUE(second.messages.LastText().contains(QStringLiteral("1件は読めなかった")))
      << second.messages.LastText().toStdString();
  bool kept = false;
  for (const QFileInfo& file : QDir(RecoveryFolder() + QStringLiteral("/damaged")).entryInfoList(QDir::Files))
    kept = kept || test::ReadFile(file.filePath()) == bytes;
  EXPECT_TRUE(kept) << "the journal was rewritten without the record it could not read";
}

// A folder renamed between the crash and the restart: its work is offered naming the old place; the
// new place is taken only when it holds the content.xml the journal began on. Files no editor can
// use are listed and removed when the user agrees.
TEST(Recovery, TheWorkOfAMovedFolderFollowsItToItsNewPlace) {
  RemoveLeftJournals();
  auto first = std::make_unique<test::HistoryWindow>();
  first->SelectPoint(2);
  DeletePoint(first->ed);
  const auto crashed = Tables::Of(first->ed);
  const QString journal = first->ed.history->journal().Path();
  first->ed.history->journal().Close();
  const QString old = first->folder;
  const QString moved = first->dir.path() + QStringLiteral("/renamed");
  ASSERT_TRUE(QDir().rename(old, moved));
  const QString garbage = RecoveryFolder() + QStringLiteral("/0000.journal");
  test::WriteFile(garbage, "not a journal");

  const QString other = first->dir.path() + QStringLiteral("/other");
  test::WriteFile(other + QStringLiteral("/content.xml"), test::ContentXml({QStringLiteral("0|別の講義|a.jpg")}, {}));
  test::HistoryWindow second;
  second.messages.Clear();
  second.w.dialogs.folders.push_back(other);  // a folder with another content.xml
  EXPECT_EQ(OfferRecoveryAtStart(second.ed), QString());  // はい to both questions
  ASSERT_EQ(second.messages.shown.size(), 3u);
  EXPECT_TRUE(second.messages.shown[0].text.contains(QDir::toNativeSeparators(garbage)));
  EXPECT_FALSE(QFileInfo::exists(garbage));
  EXPECT_TRUE(second.messages.shown[1].text.startsWith(QDir::toNativeSeparators(old)));
  EXPECT_TRUE(second.messages.shown[2].text.contains(QStringLiteral("ではありません")));
  EXPECT_TRUE(QFileInfo::exists(journal));

  second.messages.Clear();
  second.w.dialogs.folders.push_back(moved);
  ASSERT_EQ(OfferRecoveryAtStart(second.ed), moved);
  OpenGivenFolder(second.ed, moved);
  for (const auto& m : second.messages.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("復元しますか")));
  EXPECT_TRUE(Tables::Of(second.ed)->Same(*crashed)) << Tables::Of(second.ed)->FirstDifference(*crashed);
  EXPECT_FALSE(QFileInfo::exists(journal));
  EXPECT_EQ(JournalsFor(moved), QStringList{second.ed.history->journal().Path()});
}
