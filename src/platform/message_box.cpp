#include "platform/message_box.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QMessageBox>

namespace kemo {

MsgResult QtMessageBoxes::Show(const QString& text, MsgButtons buttons, MsgIcon icon) {
  QMessageBox box(owner_);
  box.setWindowTitle(kAppTitle);
  QString shownText = text;
  shownText.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  box.setText(shownText);
  box.setTextFormat(Qt::PlainText);
  switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: break;
  }
  // A box closed by the window system: a question counts as its most careful answer.
  if (buttons == MsgButtons::YesNoCancel) return MsgResult::Cancel;
  if (buttons == MsgButtons::YesNo) return MsgResult::No;
  return MsgResult::Ok;
}

int QtMessageBoxes::Choose(const QString& text, const QStringList& items, int current) {
  QInputDialog box(owner_);
  box.setWindowTitle(kAppTitle);
  QString shownText = text;
  box.setLabelText(shownText.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n')));
  box.setComboBoxItems(items);
  box.setComboBoxEditable(false);
  if (current >= 0 && current < items.size()) box.setTextValue(items[current]);
  if (box.exec() != QDialog::Accepted) return -1;
  return static_cast<int>(items.indexOf(box.textValue()));
}

int ScriptedMessageBoxes::Choose(const QString& text, const QStringList& items, int current) {
  choices.push_back({text, items, current});
  if (picks.empty()) return current;
  const int pick = picks.front();
  picks.pop_front();
  return pick;
}

MsgResult ScriptedMessageBoxes::Show(const QString& text, MsgButtons buttons, MsgIcon icon) {
  shown.push_back({kAppTitle, text, buttons, icon});
  if (onShow) onShow(shown.back());
  if (pumpMs > 0) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < pumpMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  if (buttons == MsgButtons::Ok) return MsgResult::Ok;
  if (answers.empty()) return fallback;
  const MsgResult r = answers.front();
  answers.pop_front();
  return r;
}

}  // namespace kemo
