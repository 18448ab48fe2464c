// Work on a whole archive: the real executable's --batch over a tree of folders made here (good
// ones, a broken content.xml, a missing picture, a read-only one, a link out of the tree), with the
// real ffmpeg; kill -9 and --resume; and the README's GNU parallel run of the single-folder command.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

#include "batch/batch_folders.h"
#include "batch/batch_report.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

QString EditorProgram() { return JoinPath(QCoreApplication::applicationDirPath(), QStringLiteral("kemo-editor")); }

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

// A data folder: `seconds` of video, two slides; the second picture missing when asked.
void MakeFolder(const QString& folder, int seconds, bool missingPicture = false, const QByteArray& content = {}) {
  QDir().mkpath(folder);
  ASSERT_TRUE(test::MakeRecordingFlv(JoinPath(folder, QStringLiteral("Video.flv")), seconds));
  test::NumberPicture(1, 320, 240).save(JoinPath(folder, QStringLiteral("001.jpg")), "JPG", 80);
  if (!missingPicture) test::NumberPicture(2, 320, 240).save(JoinPath(folder, QStringLiteral("002.jpg")), "JPG", 80);
  test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")),
                  content.isEmpty() ? test::ContentXml({QStringLiteral("0|表紙|001.jpg"), QStringLiteral("1|本題|002.jpg")},
                                                       {QStringLiteral("0|0.5|0.5")})
                                    : content);
}

// The archive: ROOT with good folders (one nested), a broken one, one with a missing picture, a
// read-only one, and a link to a data folder outside.
struct Archive {
  Archive() {
    root = JoinPath(base.path(), QStringLiteral("アーカイブ"));
    out = JoinPath(base.path(), QStringLiteral("出力"));
    MakeFolder(JoinPath(root, QStringLiteral("2009/第1回")), 2);
    MakeFolder(JoinPath(root, QStringLiteral("2009/第2回")), 3);
    MakeFolder(JoinPath(root, QStringLiteral("壊れた")), 2, false, "<Content><Scene");
    MakeFolder(JoinPath(root, QStringLiteral("画像なし")), 2, true);
    MakeFolder(JoinPath(root, QStringLiteral("読み取り専用")), 2);
    MakeFolder(JoinPath(base.path(), QStringLiteral("外/講義")), 2);
    QFile::link(JoinPath(base.path(), QStringLiteral("外")), JoinPath(root, QStringLiteral("外へのリンク")));
    readOnly = JoinPath(root, QStringLiteral("読み取り専用"));
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  }
  ~Archive() { QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner); }
  QTemporaryDir base, state;
  QString root, out, readOnly;
};

struct BatchRun {
  int exit = -1;
  QString errors;
};

BatchRun RunBatch(const QStringList& args, const QString& stateHome, QProcess* keep = nullptr) {
  QProcess own;
  QProcess& p = keep ? *keep : own;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
  p.setProcessEnvironment(env);
  p.start(EditorProgram(), args);
  if (keep) {
    keep->waitForStarted();
    return {};
  }
  if (!p.waitForFinished(600000)) return {};
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError())};
}

// The report's rows as "folder action status [warnings]", the message left out.
std::map<QString, QString> Rows(const QString& report) {
  std::map<QString, QString> rows;
  for (const QJsonValue& v : QJsonDocument::fromJson(test::ReadFile(report)).object()[QStringLiteral("rows")].toArray()) {
    const QJsonObject o = v.toObject();
    QStringList warnings;
    for (const QJsonValue& w : o[QStringLiteral("warnings")].toArray()) warnings << w.toString();
    // (The timing check's own findings are its tests' business.)
    if (o[QStringLiteral("action")].toString() == QStringLiteral("check")) warnings.clear();
    rows[o[QStringLiteral("folder")].toString() + QLatin1Char(' ') + o[QStringLiteral("action")].toString()] =
        o[QStringLiteral("status")].toString() + (warnings.isEmpty() ? QString() : QLatin1Char(' ') + warnings.join(QLatin1Char('|')));
  }
  return rows;
}

}  // namespace

TEST(BatchFolders, EveryDataFolderUnderTheRootAndNothingThroughALink) {
  Archive a;
  EXPECT_EQ(FindDataFolders(a.root),
            (QStringList{QStringLiteral("2009/第1回"), QStringLiteral("2009/第2回"), QStringLiteral("壊れた"),
                         QStringLiteral("画像なし"), QStringLiteral("読み取り専用")}));
  // The fingerprint follows content.xml and the video, not the products beside them.
  const QString folder = JoinPath(a.root, QStringLiteral("2009/第1回"));
  const QString before = FolderFingerprint(folder);
  test::WriteFile(JoinPath(folder, QStringLiteral("Video.avi")), test::kAviHead);
  EXPECT_EQ(FolderFingerprint(folder), before);
  test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), test::ContentXml({QStringLiteral("0|表紙|001.jpg")}, {}));
  EXPECT_NE(FolderFingerprint(folder), before);
}

TEST(BatchCommand, ExportsTheArchiveKeepsWhatItDidNotWriteAndResumesAfterAKill) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  Archive a;
  const QString report = JoinPath(a.base.path(), QStringLiteral("報告.json"));
  // An output of the user's own where the batch would write one.
  const QString mine = JoinPath(a.out, QStringLiteral("2009/第2回.mp4"));
  QDir().mkpath(QFileInfo(mine).absolutePath());
  test::WriteFile(mine, "mine");

  // The timing check and the export together: the checks go first.
  const QStringList both = {QStringLiteral("--batch"), QStringLiteral("check,export"), a.root, QStringLiteral("--out"), a.out,
                            QStringLiteral("--report"), report, QStringLiteral("--jobs"), QStringLiteral("2")};
  const BatchRun first = RunBatch(both, a.state.path());
  EXPECT_EQ(first.exit, 1) << first.errors.toStdString();
  std::map<QString, QString> checks = {
      // Problems found (the slides of these short recordings are short) are the rows' warnings.
      {QStringLiteral("2009/第1回 check"), QStringLiteral("warning")},
      {QStringLiteral("2009/第2回 check"), QStringLiteral("warning")},
      {QStringLiteral("壊れた check"), QStringLiteral("failed")},
      {QStringLiteral("画像なし check"), QStringLiteral("warning")},
      {QStringLiteral("読み取り専用 check"), QStringLiteral("warning")},
  };
  const std::map<QString, QString> expected = {
      {QStringLiteral("2009/第1回 export"), QStringLiteral("ok")},
      {QStringLiteral("2009/第2回 export"), QStringLiteral("skipped")},
      {QStringLiteral("壊れた export"), QStringLiteral("failed")},
      {QStringLiteral("画像なし export"), QStringLiteral("warning スライド 2（002.jpg）の画像が見つからないか読めないため、代わりの画像で書き出しました。")},
      {QStringLiteral("読み取り専用 export"), QStringLiteral("ok")},
  };
  checks.insert(expected.begin(), expected.end());
  EXPECT_EQ(Rows(report), checks) << first.errors.toStdString();
  EXPECT_EQ(test::ReadFile(mine), QByteArray("mine"));
  EXPECT_TRUE(QFileInfo(JoinPath(a.out, QStringLiteral("読み取り専用.mp4"))).size() > 0);
  EXPECT_TRUE(first.errors.contains(QStringLiteral("[10/10]"))) << first.errors.toStdString();
  EXPECT_LT(first.errors.indexOf(QStringLiteral(" check 読み取り専用 ")), first.errors.indexOf(QStringLiteral(" export ")))
      << first.errors.toStdString();

  // Again, killed once two jobs are done, then resumed: the same report, the finished jobs not redone.
  QFile::remove(mine);
  QProcess batch;
  const QStringList oneAtATime = {QStringLiteral("--batch"), QStringLiteral("export"), a.root, QStringLiteral("--out"), a.out,
                                  QStringLiteral("--report"), report, QStringLiteral("--jobs"), QStringLiteral("1")};
  RunBatch(oneAtATime, a.state.path(), &batch);
  QByteArray said;
  QElapsedTimer waited;
  waited.start();
  while (!said.contains("[2/") && waited.elapsed() < 300000 && batch.state() == QProcess::Running) {
    batch.waitForReadyRead(100);
    said += batch.readAllStandardError();
  }
  ASSERT_EQ(batch.state(), QProcess::Running) << said.toStdString();
  ::kill(static_cast<pid_t>(batch.processId()), SIGKILL);
  batch.waitForFinished();
  // The products of the two finished jobs, as they stand.
  std::map<QString, QString> finished;
  const QRegularExpression line(QStringLiteral(R"(\[\d/5\] \w+ export (\S+) )"));
  for (auto it = line.globalMatch(QString::fromLocal8Bit(said)); it.hasNext();) {
    const QString output = JoinPath(a.out, it.next().captured(1) + QStringLiteral(".mp4"));
    finished[output] = FileStamp(output);
  }
  ASSERT_EQ(finished.size(), 2u) << said.toStdString();

  const BatchRun resumed = RunBatch(QStringList(oneAtATime) << QStringLiteral("--resume"), a.state.path());
  EXPECT_EQ(resumed.exit, 1) << resumed.errors.toStdString();
  EXPECT_TRUE(resumed.errors.contains(QStringLiteral("再開で済み 2 件"))) << resumed.errors.toStdString();
  std::map<QString, QString> again = expected;
  again[QStringLiteral("2009/第2回 export")] = QStringLiteral("ok");  // the user's file was taken away
  EXPECT_EQ(Rows(report), again) << resumed.errors.toStdString();
  for (const auto& [output, stamp] : finished) EXPECT_EQ(FileStamp(output), stamp) << output.toStdString();
  // Nothing half-written anywhere under the output.
  QStringList left;
  for (const QString& sub : {QString(), QStringLiteral("2009")})
    left << QDir(JoinPath(a.out, sub)).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
  EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

// The web action: a package per folder under --out, mirroring ROOT; a missing picture is a warning.
TEST(BatchCommand, WebWritesAPackagePerFolder) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  Archive a;
  QDir(JoinPath(a.root, QStringLiteral("読み取り専用"))).removeRecursively();
  QFile::remove(JoinPath(a.root, QStringLiteral("外へのリンク")));
  const QString report = JoinPath(a.base.path(), QStringLiteral("報告.json"));
  const BatchRun r = RunBatch({QStringLiteral("--batch"), QStringLiteral("web"), a.root, QStringLiteral("--out"), a.out,
                               QStringLiteral("--report"), report},
                              a.state.path());
  EXPECT_EQ(r.exit, 1) << r.errors.toStdString();  // the broken folder
  const std::map<QString, QString> expected = {
      {QStringLiteral("2009/第1回 web"), QStringLiteral("ok")},
      {QStringLiteral("2009/第2回 web"), QStringLiteral("ok")},
      {QStringLiteral("壊れた web"), QStringLiteral("failed")},
      {QStringLiteral("画像なし web"), QStringLiteral("warning スライド 2（002.jpg）の画像が見つからないか読めないため、代わりの画像で書き出しました。")},
  };
  EXPECT_EQ(Rows(report), expected) << r.errors.toStdString();
  for (const char* package : {"2009/第1回_web", "2009/第2回_web", "画像なし_web"})
    EXPECT_TRUE(QFileInfo(JoinPath(a.out, QString::fromUtf8(package) + QStringLiteral("/index.html"))).isFile()) << package;
  EXPECT_FALSE(QFileInfo::exists(JoinPath(a.out, QStringLiteral("壊れた_web"))));
}

TEST(BatchCommand, ConvertReportsAReadOnlyFolderAndAWrongCommandLine) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  Archive a;
  QDir(JoinPath(a.root, QStringLiteral("2009"))).removeRecursively();
  QDir(JoinPath(a.root, QStringLiteral("画像なし"))).removeRecursively();
  const QString report = JoinPath(a.base.path(), QStringLiteral("報告.csv"));
  const BatchRun r = RunBatch({QStringLiteral("--batch"), QStringLiteral("convert"), a.root, QStringLiteral("--report"), report},
                         a.state.path());
  // (Permissions do not hold back the superuser.)
  const bool superuser = ::geteuid() == 0;
  EXPECT_EQ(r.exit, superuser ? 0 : 1) << r.errors.toStdString();
  const QStringList lines = QString::fromUtf8(test::ReadFile(report)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("folder,action,status,seconds,warnings,message"));
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("壊れた,convert,ok,"))) << lines[1].toStdString();
  if (!superuser) {
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("読み取り専用,convert,failed,"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("書き込めません"))) << lines[2].toStdString();
  }
  EXPECT_TRUE(QFileInfo(JoinPath(a.root, QStringLiteral("壊れた/Video.avi"))).size() > 0);

  for (const QStringList& wrong : {QStringList{QStringLiteral("--batch"), QStringLiteral("burn"), a.root},
                                   QStringList{QStringLiteral("--batch"), QStringLiteral("export"), a.root, QStringLiteral("--jobs"), QStringLiteral("0")},
                                   QStringList{QStringLiteral("--batch"), QStringLiteral("export"), a.root, QStringLiteral("--quality"), QStringLiteral("最高")},
                                   QStringList{QStringLiteral("--batch"), QStringLiteral("export")}})
    EXPECT_EQ(RunBatch(wrong, a.state.path()).exit, 2) << wrong.join(' ').toStdString();
}

// --quality reaches every export (the encoder writes its settings into the video), and an export
// made at another quality is done again on --resume.
TEST(BatchCommand, TheQualityGoesToTheExportsAndCountsOnResume) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  QTemporaryDir base, state;
  const QString root = JoinPath(base.path(), QStringLiteral("root"));
  MakeFolder(JoinPath(root, QStringLiteral("第1回")), 2);
  const QString mp4 = JoinPath(base.path(), QStringLiteral("out/第1回.mp4"));
  const auto run = [&](const QStringList& more) {
    return RunBatch(QStringList{QStringLiteral("--batch"), QStringLiteral("export"), root, QStringLiteral("--out"),
                                JoinPath(base.path(), QStringLiteral("out"))} + more,
                    state.path());
  };
  // The fastest settings use one reference frame and no B-frames; the default more of both.
  const auto fastest = [&] { return test::ReadFile(mp4).contains(" ref=1 ") && test::ReadFile(mp4).contains(" bframes=0 "); };
  BatchRun r = run({QStringLiteral("--quality"), QStringLiteral("速い")});
  EXPECT_EQ(r.exit, 0) << r.errors.toStdString();
  EXPECT_TRUE(fastest());
  r = run({QStringLiteral("--quality"), QStringLiteral("fast"), QStringLiteral("--resume")});
  EXPECT_TRUE(r.errors.contains(QStringLiteral("再開で済み 1 件"))) << r.errors.toStdString();
  r = run({QStringLiteral("--resume")});
  EXPECT_EQ(r.exit, 0) << r.errors.toStdString();
  EXPECT_TRUE(r.errors.contains(QStringLiteral("再開で済み 0 件"))) << r.errors.toStdString();
  EXPECT_FALSE(fastest());
  EXPECT_TRUE(test::ReadFile(mp4).contains(" ref=2 "));
}

// The README's way to share an archive among machines: GNU parallel over a list of folders, each
// job the single-folder command; --resume with the job log runs only what did not finish.
TEST(BatchCommand, AGnuParallelRunOfTheSingleFolderCommandResumes) {
  if (!HaveFfmpeg() || QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
    GTEST_SKIP() << "ffmpeg or GNU parallel not installed";
  Archive a;
  const QString list = JoinPath(a.base.path(), QStringLiteral("folders.txt"));
  const QString log = JoinPath(a.base.path(), QStringLiteral("jobs.log"));
  test::WriteFile(list, (JoinPath(a.root, QStringLiteral("2009/第1回")) + QLatin1Char('\n') +
                         JoinPath(a.root, QStringLiteral("画像なし")) + QLatin1Char('\n')).toUtf8());
  QDir().mkpath(a.out);
  const QString command = QStringLiteral("parallel --joblog '%1' --resume -j 2 '%2' --export {} '%3'/{/}.mp4 :::: '%4'")
                              .arg(log, EditorProgram(), a.out, list);
  const auto run = [&] {
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    shell.waitForFinished(300000);
    return shell.exitCode();
  };
  EXPECT_EQ(run(), 1);  // one job ended with 3: its missing picture
  const QString first = FileStamp(JoinPath(a.out, QStringLiteral("第1回.mp4")));
  EXPECT_FALSE(first.isEmpty());
  EXPECT_TRUE(QFileInfo::exists(JoinPath(a.out, QStringLiteral("画像なし.mp4"))));
  const QStringList logged = QString::fromUtf8(test::ReadFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(logged.size(), 3);  // the header and two jobs
  run();
  EXPECT_EQ(FileStamp(JoinPath(a.out, QStringLiteral("第1回.mp4"))), first);  // done: not run again
}
