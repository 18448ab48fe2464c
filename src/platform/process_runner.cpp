#include "platform/process_runner.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "platform/paths.h"

#if defined(__linux__)
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace kemo {

ProcessResult QtProcessRunner::Run(const QString& program, const QStringList& args, const QString& workFolder,
                                   const std::function<bool(const QByteArray&)>& onOutput) {
  ProcessResult result;
  QProcess process;
  process.setProgram(program);
  process.setArguments(args);
  process.setWorkingDirectory(workFolder);
  // ffmpeg reads its standard input for interactive keys; give it nothing to read.
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
#if defined(__linux__)
  // The program dies with the editor, however the editor ends (even kill -9): otherwise an encoder
  // would go on writing into a work folder that nobody reads any more.
  const pid_t editor = ::getpid();
  process.setChildProcessModifier([editor] {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A group of its own: Ctrl+C at a terminal reaches the editor, which ends the program itself
    // (ffmpeg would otherwise finish the file it was writing as if it were complete).
    ::setpgid(0, 0);
    if (::getppid() != editor) ::_exit(127);  // the editor ended before the line above
  });
#endif

  QEventLoop loop;
  bool cancelled = false;
  auto ask = [&](const QByteArray& piece) {
    if (cancelled || !onOutput) return;
    if (!onOutput(piece)) {
      cancelled = true;
      process.kill();
    }
  };
  QObject::connect(&process, &QProcess::readyReadStandardError, &loop,
                   [&] { ask(process.readAllStandardError()); });
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QTimer tick;
  tick.setInterval(100);
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] { ask(QByteArray()); });

  process.start();
  if (!process.waitForStarted(10000)) {
    result.kind = ProcessResult::FailedToStart;
    return result;
  }
  tick.start();
  if (process.state() != QProcess::NotRunning) loop.exec();
  tick.stop();
  if (process.state() != QProcess::NotRunning) process.waitForFinished(-1);
  // Hand on what is left of the output (the last progress line, the final summary).
  const QByteArray rest = process.readAllStandardError();
  if (!rest.isEmpty() && !cancelled && onOutput) onOutput(rest);

  if (cancelled) {
    result.kind = ProcessResult::Cancelled;
  } else if (process.exitStatus() == QProcess::CrashExit) {
    result.kind = ProcessResult::Crashed;
  } else {
    result.kind = ProcessResult::Finished;
    result.exitCode = process.exitCode();
  }
  return result;
}

QString FindProgram(const QString& name, const QString& programFolder) {
  if (!programFolder.isEmpty()) {
    const QFileInfo own(JoinPath(programFolder, name));
    if (own.isFile() && own.isExecutable()) return own.absoluteFilePath();
  }
  return QStandardPaths::findExecutable(name);
}

}  // namespace kemo
