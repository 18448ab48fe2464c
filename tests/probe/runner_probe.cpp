// Runs one program through the editor's process runner and waits for it, as the editor does while
// it converts: the tests kill this process and look whether the program went with it.
#include <QCoreApplication>
#include <QDir>

#include "platform/process_runner.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  kemo::QtProcessRunner runner;
  const kemo::ProcessResult r =
      runner.Run(QString::fromLocal8Bit(argv[1]), {}, QDir::currentPath(), [](const QByteArray&) { return true; });
  return r.kind == kemo::ProcessResult::Finished ? r.exitCode : 3;
}
