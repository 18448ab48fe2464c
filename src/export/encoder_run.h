#pragma once
// One run of ffmpeg for the export, with its progress and its last error line.
#include <QString>
#include <QStringList>
#include <functional>

namespace kemo {

class ProcessRunner;

class EncoderRun {
 public:
  enum Result { Succeeded, FailedToStart, Failed, Cancelled };

  EncoderRun(ProcessRunner& runner, const QString& programFolder);
  // Runs ffmpeg with args in workFolder; onProgress gets the seconds done and the input's length
  // (-1 while unknown) and ends the run by returning false.
  void Run(const QStringList& args, const QString& workFolder,
           const std::function<bool(double seconds, double duration)>& onProgress);

  Result Outcome() const { return result_; }
  // The first input's length ("Duration:"); -1 when the encoder did not say.
  double Duration() const { return duration_; }
  // The last line of the error output that is not a progress line.
  QString LastErrorLine() const { return lastError_; }

 private:
  void Feed(const QByteArray& piece);
  void EndLine();

  ProcessRunner& runner_;
  QString programFolder_;
  Result result_ = FailedToStart;
  double duration_ = -1;
  double seconds_ = -1;
  QByteArray line_;
  QString lastError_;
};

}  // namespace kemo
