#include "platform/services.h"

#include <QApplication>
#include <QCursor>

namespace kemo {

QPoint QtPointer::ScreenPosition() const { return QCursor::pos(); }

void QtPointer::SetWait(bool wait) {
  if (wait == waiting_) return;
  waiting_ = wait;
  if (wait)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

}  // namespace kemo
