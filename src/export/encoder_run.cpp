#include "export/encoder_run.h"

#include "convert/convert.h"
#include "platform/process_runner.h"

namespace kemo {

namespace {
constexpr int kLineLimit = 1000;
}

EncoderRun::EncoderRun(ProcessRunner& runner, const QString& programFolder)
    : runner_(runner), programFolder_(programFolder) {}

void EncoderRun::EndLine() {
  const QString line = QString::fromUtf8(line_).trimmed();
  line_.clear();
  if (line.isEmpty()) return;
  if (duration_ < 0) duration_ = ParseFfmpegDuration(line);
  const double t = ParseFfmpegTime(line);
  if (t >= 0 && (line.startsWith(QStringLiteral("frame=")) || line.startsWith(QStringLiteral("size=")))) {
    seconds_ = t;
    return;
  }
  lastError_ = line;
}

void EncoderRun::Feed(const QByteArray& piece) {
  for (const char c : piece) {
    if (c == '\n' || c == '\r') {
      EndLine();
    } else if (line_.size() < kLineLimit) {
      line_ += c;
    }
  }
}

void EncoderRun::Run(const QStringList& args, const QString& workFolder,
                     const std::function<bool(double, double)>& onProgress) {
  const QString program = FindProgram(QStringLiteral("ffmpeg"), programFolder_);
  if (program.isEmpty()) {
    result_ = FailedToStart;
    return;
  }
  const ProcessResult r = runner_.Run(program, args, workFolder, [&](const QByteArray& piece) {
    Feed(piece);
    return !onProgress || onProgress(seconds_, duration_);
  });
  EndLine();
  switch (r.kind) {
    case ProcessResult::FailedToStart: result_ = FailedToStart; break;
    case ProcessResult::Cancelled: result_ = Cancelled; break;
    case ProcessResult::Crashed: result_ = Failed; break;
    case ProcessResult::Finished: result_ = r.exitCode == 0 ? Succeeded : Failed; break;
  }
}

}  // namespace kemo
