// FLV to AVI conversion in the window: the real ffmpeg on an FLV made here, and stand-in encoders in
// the program folder for the failures (they are found before the one on the search path).
#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "convert/convert.h"
#include "document/state_machine.h"
#include "platform/paths.h"
#include "platform/process_runner.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

const QString kQuestion =
    QStringLiteral("FLS⇒AVI変換を実行します。変換には時間がかかる場合があります。\r実行しますか？");
const QString kError = QStringLiteral("変換処理中にエラーが発生しました。");
const QString kCancelled = QStringLiteral("変換処理をキャンセルしました。");
const QString kDone = QStringLiteral("FLV⇒AVI変換が完了しました。");

bool RunFfmpeg(const QString& folder, const QStringList& args) {
  QProcess p;
  p.setWorkingDirectory(folder);
  p.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                                                QStringLiteral("error"), QStringLiteral("-y")} + args);
  return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A test pattern with a tone, as the recorder's FLV.
bool MakeFlv(const QString& path, int seconds) {
  const QString d = QString::number(seconds);
  return RunFfmpeg(QFileInfo(path).path(),
                   {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("testsrc=duration=%1:size=320x240:rate=15").arg(d), QStringLiteral("-f"),
                    QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("sine=frequency=440:duration=%1").arg(d), QStringLiteral("-shortest"), path});
}

// codec_name,width,height of every stream, as ffprobe reports them.
QString Probe(const QString& path) {
  QProcess p;
  p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                      QStringLiteral("stream=codec_type,codec_name,width,height"),
                                      QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A stand-in encoder: a shell script named ffmpeg in the program folder.
void WriteEncoder(const QString& programFolder, const QByteArray& body) {
  const QString path = JoinPath(programFolder, QStringLiteral("ffmpeg"));
  test::WriteFile(path, "#!/bin/sh\n" + body);
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The window in state 8 (folder chosen, no playable video) on a data folder whose path holds
// Japanese and a blank.
struct ConvertWindow : test::Window {
  ConvertWindow() {
    data = JoinPath(root.path(), QStringLiteral("講義 データ"));
    QDir().mkpath(data);
    ed().DataFolder = data;
    ed().EditorState = State::NoVideo;
    RefreshModeDisplay(ed());
    work = ed().WorkFolder();
  }
  QString Data(const QString& name) const { return JoinPath(data, name); }
  QString Work(const QString& name) const { return JoinPath(work, name); }
  void Convert() {
    messages.shown.clear();  // answers queued by the test stay
    player.log.clear();
    ASSERT_TRUE(ed().ui.mnuFileConv->isEnabled());
    ed().ui.mnuFileConv->trigger();
  }
  // Nothing beside the files the test put there (no temporary part of Video.avi).
  QStringList DataFiles() const {
    return QDir(data).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }
  // Every file left in the work folder, below it too.
  QStringList WorkFiles() const {
    QStringList files;
    QDirIterator it(work, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    return files;
  }
  QTemporaryDir root;
  QString data;
  QString work;
};

bool HaveFfmpeg() {
  return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty();
}

}  // namespace

TEST(Convert, CommandLineAndProgressParsing) {
  EXPECT_EQ(ConvertCommandLine(QStringLiteral("\\Video.flv"), QStringLiteral("\\Video.avi")),
            QStringLiteral("ffmpeg -y -i Video.flv  -acodec wmav2 -vcodec msmpeg4v2 -ab 64k -b 512k -ac 2 -s 240x160 "
                           "Video.avi"));
  EXPECT_DOUBLE_EQ(ParseFfmpegDuration(QStringLiteral("Input #0, flv\n  Duration: 00:01:00.04, start: 0.0")), 60.04);
  EXPECT_DOUBLE_EQ(ParseFfmpegDuration(QStringLiteral("  Duration: 01:02:03.50, bitrate")), 3723.5);
  EXPECT_EQ(ParseFfmpegDuration(QStringLiteral("  Duration: N/A, bitrate: N/A")), -1.0);
  EXPECT_DOUBLE_EQ(ParseFfmpegTime(QStringLiteral("frame= 10 time=00:00:01.00 bitrate\rframe= 20 time=00:00:12.34 ")),
                   12.34);
  EXPECT_EQ(ParseFfmpegTime(QStringLiteral("frame=    0 size=0kB time=N/A bitrate=N/A")), -1.0);
}

TEST(Convert, RealFfmpegConvertsTheFlvAndLoadsTheAvi) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  ConvertWindow w;
  ASSERT_TRUE(MakeFlv(w.Data(QStringLiteral("Video.flv")), 3));
  // An older Video.avi is replaced.
  test::WriteFile(w.Data(QStringLiteral("Video.avi")), "old");
  w.Convert();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[0].text, kQuestion);
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(w.messages.shown[1].text, kDone);
  EXPECT_EQ(w.messages.shown[1].icon, MsgIcon::None);
  EXPECT_EQ(Probe(w.Data(QStringLiteral("Video.avi"))), QStringLiteral("msmpeg4v2,video,240,160\nwmav2,audio"));
  EXPECT_EQ(w.WorkFiles(), QStringList());  // nothing of the video stays in the work folder
  EXPECT_EQ(w.DataFiles(), (QStringList{QStringLiteral("Video.avi"), QStringLiteral("Video.flv")}));
  EXPECT_EQ(w.ed().EditorState, State::Idle);
  EXPECT_EQ(w.player.URL(), w.Data(QStringLiteral("Video.avi")));
  EXPECT_TRUE(w.ed().ui.frMain->isEnabled());
  EXPECT_FALSE(w.pointer.waiting);
  EXPECT_EQ(w.window->findChild<QProgressDialog*>(kConvertProgressName), nullptr);  // gone with its run
}

TEST(Convert, NoEncoderNoSourceOrNoGiveAnErrorAndChangeNothing) {
  ConvertWindow w;
  // Video.flv missing: the full expected path.
  w.Convert();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text,
            ShowPath(w.Data(QStringLiteral("Video.flv"))) +
                QStringLiteral("が見つかりません。\rKemo.Recorderのデータフォルダを指定してください。"));
  EXPECT_EQ(w.messages.shown[0].icon, MsgIcon::Critical);

  test::WriteFile(w.Data(QStringLiteral("Video.flv")), QByteArray("FLV\x01"));
  // Answering No: the cancel message; nothing was copied (the copy comes after yes), and what an
  // earlier run left in the work folder is gone.
  test::WriteFile(w.Work(QStringLiteral("Video.avi")), "stale");
  QStringList workAtQuestion{QStringLiteral("unseen")};
  w.messages.onShow = [&](const ScriptedMessageBoxes::Shown& box) {
    if (box.text == kQuestion) workAtQuestion = w.WorkFiles();
  };
  w.messages.Answer(MsgResult::No);
  w.Convert();
  w.messages.onShow = nullptr;
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[0].text, kQuestion);
  EXPECT_EQ(w.messages.shown[1].text, kCancelled);
  EXPECT_EQ(w.messages.shown[1].icon, MsgIcon::Critical);
  EXPECT_EQ(workAtQuestion, QStringList());
  EXPECT_EQ(w.WorkFiles(), QStringList());
  EXPECT_EQ(w.ed().EditorState, State::NoVideo);

  // No ffmpeg in the program folder nor on the search path.
  const QByteArray path = qgetenv("PATH");
  QTemporaryDir empty;
  qputenv("PATH", empty.path().toLocal8Bit());
  w.Convert();
  qputenv("PATH", path);
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[1].text, kError + QStringLiteral("\rffmpeg が見つかりません。"));
  EXPECT_EQ(w.messages.shown[1].icon, MsgIcon::Critical);
  EXPECT_EQ(w.ed().EditorState, State::NoVideo);
  EXPECT_TRUE(w.player.log.isEmpty());
  EXPECT_EQ(w.DataFiles(), QStringList{QStringLiteral("Video.flv")});
  EXPECT_EQ(w.WorkFiles(), QStringList());
  EXPECT_FALSE(w.pointer.waiting);
}

TEST(Convert, TheEncoderRunsInTheWorkFolderWithTheFixedArguments) {
  ConvertWindow w;
  test::WriteFile(w.Data(QStringLiteral("Video.flv")), QByteArray("FLV\x01"));
  // Found in the program folder before any ffmpeg on the search path.
  WriteEncoder(w.program.path(),
               "pwd > \"$0.pwd\"\necho \"$@\" > \"$0.args\"\ncat Video.flv > Video.avi\necho AVI >> Video.avi\n");
  w.Convert();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[1].text, kDone);
  const QString encoder = JoinPath(w.program.path(), QStringLiteral("ffmpeg"));
  EXPECT_EQ(QFileInfo(QString::fromLocal8Bit(test::ReadFile(encoder + QStringLiteral(".pwd"))).trimmed())
                .canonicalFilePath(),
            QFileInfo(w.work).canonicalFilePath());
  EXPECT_EQ(test::ReadFile(encoder + QStringLiteral(".args")),
            QByteArray("-y -i Video.flv -acodec wmav2 -vcodec msmpeg4v2 -ab 64k -b 512k -ac 2 -s 240x160 Video.avi\n"));
  EXPECT_EQ(test::ReadFile(w.Data(QStringLiteral("Video.avi"))), QByteArray("FLV\x01" "AVI\n"));
  EXPECT_FALSE(QFileInfo::exists(w.Work(QStringLiteral("Video.avi"))));
  EXPECT_EQ(w.ed().EditorState, State::Idle);
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("url:") + w.Data(QStringLiteral("Video.avi"))));

  // Converting again reloads the same path anew and replaces the file.
  test::WriteFile(w.Data(QStringLiteral("Video.flv")), QByteArray("FLV\x01" "2"));
  w.Convert();
  EXPECT_EQ(test::ReadFile(w.Data(QStringLiteral("Video.avi"))), QByteArray("FLV\x01" "2AVI\n"));
  EXPECT_EQ(w.messages.LastText(), kDone);
}

TEST(Convert, TheVideoStaysLoadedWhileTheCompletionMessageIsUp) {
  // The player reports its loading while the report is on screen (a real box runs its own event
  // loop): the refresh that follows must not find the window still without a video and unload it.
  ConvertWindow w;
  test::WriteFile(w.Data(QStringLiteral("Video.flv")), QByteArray("FLV\x01"));
  WriteEncoder(w.program.path(), "cat Video.flv > Video.avi\n");
  w.messages.pumpMs = 50;
  w.Convert();
  test::Pump(50);
  EXPECT_EQ(w.messages.LastText(), kDone);
  EXPECT_EQ(w.ed().EditorState, State::Idle);
  EXPECT_EQ(w.player.URL(), w.Data(QStringLiteral("Video.avi")));
  EXPECT_EQ(w.player.PlayState(), PlayState::Ready);
  EXPECT_TRUE(w.ed().ui.cbPlay[4]->isEnabled());
}

TEST(Convert, AFailingEncoderIsReportedAndLeavesTheDataFolderAsItWas) {
  ConvertWindow w;
  test::WriteFile(w.Data(QStringLiteral("Video.flv")), QByteArray("FLV\x01"));
  test::WriteFile(w.Data(QStringLiteral("Video.avi")), "previous");
  const struct {
    const char* what;
    QByteArray script;
    QString reason;  // shown on the line after the error text
  } cases[] = {
      {"non-zero exit after a partial output",
       "echo 'Input #0, flv' >&2\necho partial > Video.avi\n"
       "printf 'frame=  1 time=00:00:01.00 bitrate=1\\r[avi @ 0x5] 講義.avi: No space left on device\\n' >&2\n"
       "printf 'frame=  2 time=00:00:02.00 bitrate=1\\r' >&2\nexit 1\n",
       QStringLiteral("[avi @ 0x5] 講義.avi: No space left on device")},
      {"killed by a signal", "echo partial > Video.avi\necho 'Killed here' >&2\nkill -SEGV $$\n",
       QStringLiteral("Killed here")},
      {"success without output", "exit 0\n", ShowPath(w.Work(QStringLiteral("Video.avi"))) + QStringLiteral("が作られませんでした。")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteEncoder(w.program.path(), c.script);
    w.Convert();
    ASSERT_EQ(w.messages.shown.size(), 2u);
    EXPECT_EQ(w.messages.shown[1].text, kError + QLatin1Char('\r') + c.reason);
    EXPECT_EQ(w.WorkFiles(), QStringList());
    EXPECT_EQ(w.messages.shown[1].icon, MsgIcon::Critical);
    EXPECT_EQ(w.ed().EditorState, State::NoVideo);
    EXPECT_TRUE(w.player.log.isEmpty());
    EXPECT_EQ(test::ReadFile(w.Data(QStringLiteral("Video.avi"))), QByteArray("previous"));
    EXPECT_EQ(w.DataFiles(), (QStringList{QStringLiteral("Video.avi"), QStringLiteral("Video.flv")}));
    EXPECT_FALSE(QFileInfo::exists(w.Work(QStringLiteral("Video.avi"))));
  }
}

TEST(Convert, TheProgressDialogFollowsTheEncoderAndCancelEndsIt) {
  ConvertWindow w;
  test::WriteFile(w.Data(QStringLiteral("Video.flv")), QByteArray("FLV\x01"));
  // Ten seconds of input, half of it done, then an encoder that would run on for a minute.
  WriteEncoder(w.program.path(),
               "echo '  Duration: 00:00:10.00, start: 0.000000, bitrate: 300 kb/s' >&2\n"
               "printf 'frame=   75 fps=0.0 q=2.0 size=  100kB time=00:00:05.00 bitrate=1.0kbits/s\\r' >&2\n"
               "echo partial > Video.avi\nexec sleep 60\n");
  int valueSeen = -1;
  QString labelSeen;
  QTimer poll;
  poll.setInterval(50);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = w.window->findChild<QProgressDialog*>(kConvertProgressName);
    if (!dialog || dialog->value() <= 0 || !dialog->labelText().startsWith(QStringLiteral("FLV⇒AVI変換中です…")))
      return;
    valueSeen = dialog->value();
    labelSeen = dialog->labelText();
    dialog->cancel();
    poll.stop();
  });
  poll.start();
  QElapsedTimer t;
  t.start();
  w.Convert();
  EXPECT_LT(t.elapsed(), 10000);
  EXPECT_EQ(valueSeen, 500);
  EXPECT_TRUE(labelSeen.contains(QStringLiteral("00:05.000"))) << labelSeen.toStdString();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[1].text, kCancelled);
  EXPECT_EQ(w.messages.shown[1].icon, MsgIcon::Critical);
  EXPECT_EQ(w.DataFiles(), QStringList{QStringLiteral("Video.flv")});
  EXPECT_EQ(w.WorkFiles(), QStringList());
  EXPECT_EQ(w.ed().EditorState, State::NoVideo);
  EXPECT_FALSE(w.pointer.waiting);
}

TEST(Convert, TheCopyOfALargeVideoShowsItsProgressAndCanBeCancelled) {
  ConvertWindow w;
  // 256 MB (a sparse file: quick to make, read at full speed).
  {
    QFile big(w.Data(QStringLiteral("Video.flv")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_EQ(big.write(test::kFlvHead), test::kFlvHead.size());
    ASSERT_TRUE(big.resize(qint64(256) << 20));
  }
  WriteEncoder(w.program.path(), "touch \"$0.ran\"\n");
  QString labelSeen;
  bool windowAlive = false;
  QTimer poll;
  poll.setInterval(0);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = w.window->findChild<QProgressDialog*>(kConvertProgressName);
    if (!dialog || dialog->value() <= 0) return;
    labelSeen = dialog->labelText();
    windowAlive = dialog->isVisible();
    dialog->cancel();
    poll.stop();
  });
  poll.start();
  w.Convert();
  EXPECT_EQ(labelSeen, QStringLiteral("Video.flvを作業フォルダにコピーしています…"));
  EXPECT_TRUE(windowAlive);
  EXPECT_EQ(w.messages.LastText(), kCancelled);
  EXPECT_FALSE(QFileInfo::exists(JoinPath(w.program.path(), QStringLiteral("ffmpeg.ran"))));
  EXPECT_EQ(w.WorkFiles(), QStringList());
  EXPECT_EQ(w.DataFiles(), QStringList{QStringLiteral("Video.flv")});
  EXPECT_EQ(w.ed().EditorState, State::NoVideo);
}

// The conversion reads only what the command would have let through, whoever calls it: a link out
// of the folder, a FIFO in Video.flv's place or a file that is no FLV is refused after はい, by
// name, without blocking and without anything reaching the work folder or the encoder.
TEST(Convert, TheConversionItselfRefusesWhatIsNoFlvOfTheFolder) {
  ConvertWindow w;
  WriteEncoder(w.program.path(), "touch \"$0.ran\"\n");
  const QString flv = w.Data(QStringLiteral("Video.flv"));
  QTemporaryDir outside;
  const QString elsewhere = JoinPath(outside.path(), QStringLiteral("other.flv"));
  test::WriteFile(elsewhere, test::kFlvHead + QByteArray(1000, 'x'));
  const auto refused = [&](const QString& expected) {
    w.messages.Clear();
    w.messages.Answer(MsgResult::Yes);
    QString reason;
    const int r = ConvertFlvToAvi(w.ed(), w.data, QStringLiteral("\\Video.flv"), w.work,
                                  QStringLiteral("\\Video.avi"), &reason);
    EXPECT_EQ(r, ConvertResult::Failed);
    EXPECT_TRUE(reason.startsWith(ShowPath(flv)) && reason.contains(expected)) << reason.toStdString();
    EXPECT_EQ(w.WorkFiles(), QStringList());
    EXPECT_FALSE(QFileInfo::exists(JoinPath(w.program.path(), QStringLiteral("ffmpeg.ran"))));
  };
  ASSERT_TRUE(QFile::link(elsewhere, flv));
  refused(QStringLiteral("データフォルダの外を指すリンク"));
  QFile::remove(flv);
  ASSERT_EQ(::mkfifo(QFile::encodeName(flv).constData(), 0600), 0);
  refused(QStringLiteral("通常のファイルではありません"));
  QFile::remove(flv);
  test::WriteFile(flv, "#EXTM3U\nhttp://127.0.0.1:9/x.flv\n");
  refused(QStringLiteral("FLV形式の動画ファイルではありません"));
}
