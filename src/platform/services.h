#pragma once
// The small services the procedures use besides the player, the message boxes and the dialogs:
// the clock, the beep, the pointer and the wait cursor. Each has a real implementation and a
// double for tests.
#include <QDateTime>
#include <QPoint>
#include <vector>

class QWidget;

namespace kemo {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(QDateTime t = {}) : now(std::move(t)) {}
  QDateTime Now() const override { return now; }
  QDateTime now;
};

class Beeper {
 public:
  virtual ~Beeper() = default;
  // A tone of the frequency (Hz) for the duration (ms); returns when the tone has been handed on.
  virtual void Beep(int frequency, int durationMs) = 0;
};

class RecordingBeeper : public Beeper {
 public:
  void Beep(int frequency, int durationMs) override { beeps.push_back({frequency, durationMs}); }
  std::vector<std::pair<int, int>> beeps;
};

// The mouse pointer: where it is on the screen and which buttons are down, and the wait cursor.
class Pointer {
 public:
  virtual ~Pointer() = default;
  virtual QPoint ScreenPosition() const = 0;
  virtual void SetWait(bool wait) = 0;
};

class QtPointer : public Pointer {
 public:
  QPoint ScreenPosition() const override;
  void SetWait(bool wait) override;

 private:
  bool waiting_ = false;
};

class ScriptedPointer : public Pointer {
 public:
  QPoint ScreenPosition() const override { return position; }
  void SetWait(bool wait) override { waiting = wait; }
  QPoint position;
  bool waiting = false;
};

}  // namespace kemo

namespace kemo {

// Hands memory freed by a large load (the parsed document, the old tables) back to the system.
void ReturnFreedMemory();

}  // namespace kemo
