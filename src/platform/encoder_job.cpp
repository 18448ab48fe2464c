#include "platform/encoder_job.h"

#include <QByteArray>
#include <QRegularExpression>

#include "platform/process_runner.h"

namespace kemo {

namespace {

double SecondsOf(const QRegularExpressionMatch& m) {
  return m.captured(1).toDouble() * 3600.0 + m.captured(2).toDouble() * 60.0 + m.captured(3).toDouble();
}

// "frame=  75 fps=0.0 q=2.0 size= 100kB time=00:00:05.00 bitrate=..." (or "size=" first without video).
bool IsProgressLine(const QString& line) {
  return line.startsWith(QLatin1String("frame=")) ||
         (line.contains(QLatin1String("time=")) && line.contains(QLatin1String("bitrate=")));
}

}  // namespace

double ParseFfmpegDuration(const QString& text) {
  static const QRegularExpression re(QStringLiteral(R"(Duration:\s*(\d+):(\d+):(\d+(?:\.\d+)?))"));
  const QRegularExpressionMatch m = re.match(text);
  return m.hasMatch() ? SecondsOf(m) : -1.0;
}

double ParseFfmpegTime(const QString& text) {
  static const QRegularExpression re(QStringLiteral(R"(time=\s*(\d+):(\d+):(\d+(?:\.\d+)?))"));
  double last = -1.0;
  for (auto it = re.globalMatch(text); it.hasNext();) last = SecondsOf(it.next());
  return last;
}

EncoderJob::EncoderJob(ProcessRunner& runner)
    : runner_(runner), decoder_(QStringDecoder::System) {}

void EncoderJob::EndLine() {
  const QString line = partial_.trimmed();
  partial_.clear();
  if (line.isEmpty()) return;
  if (IsProgressLine(line)) {
    const double t = ParseFfmpegTime(line);
    if (t >= 0) progress_.seconds = t;
  } else {
    if (progress_.duration < 0 && line.contains(QLatin1String("Duration:"))) {
      progress_.duration = ParseFfmpegDuration(line);
    }
    lastError_ = line;
  }
  lines_.push_back(line);
  while (lines_.size() > static_cast<size_t>(kKeptLines)) lines_.pop_front();
}

void EncoderJob::Feed(const QByteArray& piece) {
  if (piece.isEmpty()) return;
  const QString text = decoder_.decode(piece);
  for (QChar c : text) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
      EndLine();
    } else if (partial_.size() < kLineLimit) {
      partial_ += c;
    }
  }
}

void EncoderJob::Flush() { EndLine(); }

QString EncoderJob::LastErrorLine() const { return lastError_; }

QStringList EncoderJob::LastLines() const { return QStringList(lines_.begin(), lines_.end()); }

EncoderJob::Outcome EncoderJob::Run(const QString& program, const QStringList& args, const QString& workFolder,
                                    const QString& programFolder,
                                    const std::function<bool(const EncoderProgress&)>& onProgress) {
  progress_ = EncoderProgress();
  partial_.clear();
  lines_.clear();
  lastError_.clear();
  const QString path = FindProgram(program, programFolder);
  if (path.isEmpty()) return Outcome::FailedToStart;

  const ProcessResult r = runner_.Run(path, args, workFolder, [&](const QByteArray& piece) {
    Feed(piece);
    return onProgress ? onProgress(progress_) : true;
  });
  Flush();
  switch (r.kind) {
    case ProcessResult::FailedToStart: return Outcome::FailedToStart;
    case ProcessResult::Cancelled: return Outcome::Cancelled;
    case ProcessResult::Crashed: return Outcome::Failed;
    case ProcessResult::Finished: break;
  }
  return r.exitCode == 0 ? Outcome::Succeeded : Outcome::Failed;
}

}  // namespace kemo
