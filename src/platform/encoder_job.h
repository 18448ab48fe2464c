#pragma once
// One run of the encoder (ffmpeg) as a job: the window stays alive while it runs, its progress is
// handed on as seconds done out of the input's length, the caller can end it early, and its error
// output is read with bounded memory: only the last lines are kept, so a chatty encoder that never
// says how long its input is costs nothing more after an hour than after a minute. The encoder is
// started by a ProcessRunner, which ties its life to the editor's (see QtProcessRunner).
//
// Use:
//   EncoderJob job(runner);                       // runner: ed.svc.process, or a QtProcessRunner
//   const EncoderJob::Outcome o = job.Run(QStringLiteral("ffmpeg"), args, workFolder, programFolder,
//       [&](const EncoderProgress& p) {           // on every progress report and at least every 100 ms
//         if (p.duration > 0 && p.seconds >= 0) dialog.setValue(int(p.seconds / p.duration * 1000));
//         return !dialog.wasCanceled();            // false ends the encoder: Outcome::Cancelled
//       });
//   if (o == EncoderJob::Outcome::Failed) reason = job.LastErrorLine();
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <deque>
#include <functional>

class QByteArray;

namespace kemo {

class ProcessRunner;

struct EncoderProgress {
  double seconds = -1;   // the last "time=" the encoder reported; -1 before the first
  double duration = -1;  // the input's length ("Duration:"); -1 while unknown or when it has none
};

class EncoderJob {
 public:
  enum class Outcome {
    Succeeded,      // the encoder ended by itself with status 0
    FailedToStart,  // not found in the program folder nor on the search path, or not startable
    Failed,         // it ended with another status or died from a signal
    Cancelled,      // onProgress returned false and the encoder was ended
  };

  explicit EncoderJob(ProcessRunner& runner);

  // Runs `program` (a name: looked up in programFolder first, then on the search path, as
  // FindProgram does) with `args` in workFolder to its end. onProgress may be empty.
  Outcome Run(const QString& program, const QStringList& args, const QString& workFolder,
              const QString& programFolder, const std::function<bool(const EncoderProgress&)>& onProgress);

  // The last line of the error output that is not a progress line ("frame=... time=..."), trimmed;
  // "" when there is none. After a failure this is the encoder's own reason.
  QString LastErrorLine() const;
  // The last lines of the error output (at most kKeptLines, each cut to kLineLimit characters).
  QStringList LastLines() const;
  const EncoderProgress& Progress() const { return progress_; }

  // Feeds a piece of error output as the runner hands it on (public for tests of the parsing).
  void Feed(const QByteArray& piece);
  // Ends the current unterminated line (at the end of the run).
  void Flush();

  static constexpr int kKeptLines = 20;
  static constexpr int kLineLimit = 1000;

 private:
  void EndLine();

  ProcessRunner& runner_;
  EncoderProgress progress_;
  QString partial_;  // the line being read (at most kLineLimit characters are kept)
  std::deque<QString> lines_;
  QString lastError_;
  QStringDecoder decoder_;  // the output is read in pieces that may split a character
};

// From ffmpeg's error output: the input's length ("Duration: 00:01:00.04") and the last progress
// time ("time=00:00:12.34"), in seconds; -1 when the text holds none.
double ParseFfmpegDuration(const QString& text);
double ParseFfmpegTime(const QString& text);

}  // namespace kemo
