#pragma once
// Running an external program (the encoder) to its end while the window stays alive. The runner
// processes window events while the program runs and hands its error output (where ffmpeg writes
// its progress) to the caller piece by piece; the caller can end the program early.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace kemo {

struct ProcessResult {
  enum Kind {
    Finished,       // the program ended by itself; exitCode holds its status
    FailedToStart,  // the program could not be started (not found, not executable)
    Crashed,        // the program died from a signal
    Cancelled,      // the caller asked to end it and it was ended
  };
  Kind kind = FailedToStart;
  int exitCode = -1;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs `program` (a full path) with `args` in `workFolder` until it ends. While it runs,
  // `onOutput` gets every new piece of the program's error output, and an empty piece at least
  // every 100 ms; when it returns false the program is killed and the result is Cancelled.
  virtual ProcessResult Run(const QString& program, const QStringList& args, const QString& workFolder,
                            const std::function<bool(const QByteArray&)>& onOutput) = 0;
};

// The runner on QProcess: standard input and output go to the null device, the window's events are
// processed in a local event loop until the program has ended. On Linux the program is killed when
// the editor's process ends, in whatever way (PR_SET_PDEATHSIG).
class QtProcessRunner : public ProcessRunner {
 public:
  ProcessResult Run(const QString& program, const QStringList& args, const QString& workFolder,
                    const std::function<bool(const QByteArray&)>& onOutput) override;
};

// The full path of `name`: the file of that name in `programFolder` when it is an executable file,
// else the one the search path (PATH) finds, else "".
QString FindProgram(const QString& name, const QString& programFolder);

}  // namespace kemo
