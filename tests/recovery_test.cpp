// The recovery journal and the guard against overwriting another program's content.xml, on real
// files: what an editor that stopped without ending leaves is restored by the next one (はい) or
// discarded (いいえ), never applied to a content.xml changed since, and gone after a save or a
// normal end. The journal is forced to the disk at most a few times a second.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "document/content_xml.h"
#include "document/folder_commands.h"
#include "document/history.h"
#include "document/journal.h"
#include "platform/append_file.h"
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
// in) is neither offered nor removed; いいえ discards the journal offered.
TEST(Recovery, AtStartTheWorkIsOfferedNamingItsFolderWhichOpensRestored) {
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
  QFile::copy(journal, journal + QStringLiteral(".keep"));

  test::HistoryWindow second;
  second.messages.Clear();
  second.messages.Answer(MsgResult::Yes);
  EXPECT_EQ(OfferRecoveryAtStart(second.ed), folder);
  ASSERT_EQ(second.messages.shown.size(), 1u) << "only the journal of a folder that is there is offered";
  EXPECT_TRUE(second.messages.shown[0].text.startsWith(QDir::toNativeSeparators(folder)));
  EXPECT_TRUE(second.messages.shown[0].text.contains(QStringLiteral("このフォルダを開いて復元しますか？")));
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
  third.messages.Clear();
  third.messages.Answer(MsgResult::No);
  EXPECT_EQ(OfferRecoveryAtStart(third.ed), QString());
  EXPECT_EQ(third.messages.shown.size(), 1u);
  EXPECT_FALSE(QFileInfo::exists(journal));
  EXPECT_TRUE(QFileInfo::exists(awayPath));
  // Nothing left to offer: no question.
  third.messages.Clear();
  EXPECT_EQ(OfferRecoveryAtStart(third.ed), QString());
  EXPECT_TRUE(third.messages.shown.empty());
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
