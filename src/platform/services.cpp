#include "platform/services.h"

#include <QApplication>
#include <QCursor>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

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

namespace kemo {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace kemo
