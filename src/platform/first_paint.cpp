#include "platform/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

namespace kemo {

namespace {

// Watches the window's exposure; the window draws itself while it handles the exposure, so a task
// queued from here runs after the drawing is on the screen.
class FirstPaintWatch : public QObject {
 public:
  FirstPaintWatch(QWidget* window, std::function<void()> task)
      : QObject(window), task_(std::move(task)) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Expose && !queued_) {
      queued_ = true;
      QTimer::singleShot(0, this, [this, watched] {
        queued_ = false;
        auto* handle = qobject_cast<QWindow*>(watched);
        if (!handle || !handle->isExposed() || !task_) return;
        handle->removeEventFilter(this);
        std::function<void()> task = std::move(task_);
        task_ = nullptr;
        task();
        deleteLater();
      });
    }
    return false;
  }

 private:
  std::function<void()> task_;
  bool queued_ = false;
};

}  // namespace

void AfterFirstPaint(QWidget* window, std::function<void()> task) {
  window->winId();  // the native window, whose exposure tells when the window is drawn
  QWindow* handle = window->windowHandle();
  if (!handle) return;
  handle->installEventFilter(new FirstPaintWatch(window, std::move(task)));
}

}  // namespace kemo
