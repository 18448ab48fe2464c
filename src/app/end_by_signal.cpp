// The editor's end by a termination signal.
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "app/frm_main.h"

namespace kemo {

void FrmMain::EndBySignal() {
  if (shutDown_) return;
  // From here on every question is answered: the end is decided, and the journal stays.
  ed_.ExitConfirmed = true;
  keepJournal_ = true;
  // A question or dialog open now is closed as by Esc (nothing it would do is done); the window
  // closes once its event loop has given control back, after any others that were open.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    QTimer::singleShot(0, this, [this] { EndBySignal(); });
    return;
  }
  close();
}

}  // namespace kemo
