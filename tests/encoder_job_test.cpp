// The encoder job: what it keeps of the encoder's output, what it reports, and that the encoder
// never outlives the editor.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/encoder_job.h"
#include "platform/paths.h"
#include "platform/process_runner.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

// A stand-in encoder: a shell script named ffmpeg in `folder`.
void WriteScript(const QString& path, const QByteArray& body) {
  test::WriteFile(path, "#!/bin/sh\n" + body);
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// True while the process exists and is not a zombie.
bool Alive(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  const QByteArray text = stat.readAll();
  const qsizetype close = text.lastIndexOf(')');
  return close > 0 && text.size() > close + 2 && text.at(close + 2) != 'Z' && text.at(close + 2) != 'X';
}

}  // namespace

TEST(EncoderJob, ReportsProgressAndTheLastErrorLineFromSplitPieces) {
  QtProcessRunner runner;
  EncoderJob job(runner);
  // Pieces cut anywhere, also inside a line and inside a UTF-8 character.
  const QByteArray out =
      "Input #0, flv, from 'Video.flv':\n  Duration: 00:00:10.00, start: 0.000000, bitrate: 300 kb/s\n"
      "frame=   75 fps=0.0 q=2.0 size=  100kB time=00:00:05.00 bitrate=1.0kbits/s speed=1x\r"
      "size=  120kB time=00:00:06.50 bitrate=1.0kbits/s\r"
      "[avi @ 0x1] 講義: No space left on device\nframe=  80 fps=0.0 q=2.0 size= 110kB time=00:00:07.00 bitrate=1\r";
  for (qsizetype i = 0; i < out.size(); i += 7) job.Feed(out.mid(i, 7));
  job.Flush();
  EXPECT_DOUBLE_EQ(job.Progress().duration, 10.0);
  EXPECT_DOUBLE_EQ(job.Progress().seconds, 7.0);
  EXPECT_EQ(job.LastErrorLine(), QStringLiteral("[avi @ 0x1] 講義: No space left on device"));
}

TEST(EncoderJob, AChattyEncoderWithoutADurationIsReadWithBoundedMemory) {
  QTemporaryDir dir;
  const QString encoder = JoinPath(dir.path(), QStringLiteral("ffmpeg"));
  // Some 8 MB of lines without a length, one line of 100 kB without an end, then its reason.
  WriteScript(encoder,
              "i=0\nline=$(head -c 2000 /dev/zero | tr '\\0' x)\n"
              "while [ $i -lt 4000 ]; do echo \"chatter $i $line\" >&2; i=$((i+1)); done\n"
              "head -c 100000 /dev/zero | tr '\\0' y >&2\necho >&2\n"
              "echo 'Video.flv: Invalid data found when processing input' >&2\nexit 1\n");
  QtProcessRunner runner;
  EncoderJob job(runner);
  int reports = 0;
  const EncoderJob::Outcome o =
      job.Run(QStringLiteral("ffmpeg"), {}, dir.path(), dir.path(), [&](const EncoderProgress& p) {
        ++reports;
        EXPECT_LT(p.duration, 0);
        return true;
      });
  EXPECT_EQ(o, EncoderJob::Outcome::Failed);
  EXPECT_GT(reports, 0);
  EXPECT_EQ(job.LastErrorLine(), QStringLiteral("Video.flv: Invalid data found when processing input"));
  const QStringList kept = job.LastLines();
  EXPECT_LE(kept.size(), EncoderJob::kKeptLines);
  qsizetype chars = 0;
  for (const QString& l : kept) chars += l.size();
  EXPECT_LE(chars, EncoderJob::kKeptLines * EncoderJob::kLineLimit);
}

TEST(EncoderJob, OutcomesOfStartFailureSignalAndCancel) {
  QTemporaryDir dir;
  QtProcessRunner runner;
  EncoderJob job(runner);
  // Neither in the program folder nor on the search path.
  EXPECT_EQ(job.Run(QStringLiteral("kemo-no-such-encoder"), {}, dir.path(), dir.path(), {}),
            EncoderJob::Outcome::FailedToStart);

  const QString encoder = JoinPath(dir.path(), QStringLiteral("ffmpeg"));
  WriteScript(encoder, "echo dying >&2\nkill -SEGV $$\n");
  EXPECT_EQ(job.Run(QStringLiteral("ffmpeg"), {}, dir.path(), dir.path(), {}), EncoderJob::Outcome::Failed);
  EXPECT_EQ(job.LastErrorLine(), QStringLiteral("dying"));

  WriteScript(encoder, "echo $$ > pid\nexec sleep 60\n");
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(job.Run(QStringLiteral("ffmpeg"), {}, dir.path(), dir.path(),
                    [&](const EncoderProgress&) { return !QFileInfo::exists(JoinPath(dir.path(), QStringLiteral("pid"))); }),
            EncoderJob::Outcome::Cancelled);
  EXPECT_LT(t.elapsed(), 20000);
  EXPECT_EQ(job.LastErrorLine(), QString());  // a new run forgets the last one's lines
}

TEST(EncoderJob, TheEncoderDiesWithTheEditorEvenOnKill9) {
  QTemporaryDir dir;
  const QString encoder = JoinPath(dir.path(), QStringLiteral("encoder"));
  WriteScript(encoder, "echo $$ > pid.part && mv pid.part pid\nexec sleep 120\n");
  QProcess editor;
  editor.setWorkingDirectory(dir.path());
  editor.start(QStringLiteral(KEMO_RUNNER_PROBE), {encoder});
  ASSERT_TRUE(editor.waitForStarted(10000));
  const QString pidFile = JoinPath(dir.path(), QStringLiteral("pid"));
  QElapsedTimer t;
  t.start();
  while (!QFileInfo::exists(pidFile) && t.elapsed() < 60000) QThread::msleep(20);
  const qint64 pid = test::ReadFile(pidFile).trimmed().toLongLong();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(Alive(pid));
  ::kill(static_cast<pid_t>(editor.processId()), SIGKILL);
  editor.waitForFinished(10000);
  t.restart();
  while (Alive(pid) && t.elapsed() < 30000) QThread::msleep(20);
  const bool survived = Alive(pid);
  if (survived) ::kill(static_cast<pid_t>(pid), SIGKILL);
  EXPECT_FALSE(survived) << "the encoder outlived the editor";
}
