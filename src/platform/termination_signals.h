#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) delivered through the event loop:
// the handler only writes the signal's number into a pipe, and a socket notifier on its other end
// emits Received, where the program may do anything a menu command may. A signal that was ignored
// when the program started (nohup) stays ignored. One instance at a time; the destructor gives the
// signals their previous handlers back.
#include <QObject>

class QSocketNotifier;

namespace kemo {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // False when the pipe could not be made (the signals then keep their default action).
  bool Active() const { return notifier_ != nullptr; }

 signals:
  void Received(int signalNumber);

 private:
  void ReadPipe();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kemo
