// The image cell's drop-down and the import of a picture into the data folder.
#include "slides/slide_image.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <cerrno>
#include <cstring>
#include <memory>

#include "document/editor.h"
#include "document/file_copy.h"
#include "platform/data_grid.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/twips.h"
#include "slides/slide_display.h"
#include "slides/slide_edit.h"
#include "slides/slides_state.h"

namespace kemo {

namespace {

constexpr int kImageColumn = 3;

QString CellImage(const Editor& ed) {
  return ed.ui.dgSlideEdit ? ed.ui.dgSlideEdit->CurrentCellText(kImageColumn) : QString();
}

void SetCellImage(Editor& ed, const QString& name) {
  if (ed.ui.dgSlideEdit) ed.ui.dgSlideEdit->SetCurrentCellText(kImageColumn, name);
}

void ClearComboText(QComboBox* combo) {
  const QSignalBlocker block(combo);
  combo->setCurrentIndex(-1);
  combo->setEditText(QString());
}

// The copy entry: import a picture and put its name into the cell.
void TakeImportedImage(Editor& ed) {
  const QString name = CopyImageFromElsewhere(ed);
  if (!name.isEmpty())
    SetCellImage(ed, name);
  else if (ed.ui.dataCombo1)
    ClearComboText(ed.ui.dataCombo1);
}

// A listed or typed name: taken when it is a file of the data folder. A name that reaches outside
// the folder ("..", "sub/x.jpg") is no file of it, whatever lies there.
void TakeListedImage(Editor& ed, const QString& name) {
  const QString path = JoinPath(ed.slides->File1Folder, name);
  if (IsPlainFileName(name) && QFileInfo(path).isFile() && CheckDataFile(path, ed.slides->File1Folder) == Refusal::None) {
    SetCellImage(ed, name);
    return;
  }
  Tell(ed, ShowPath(path) + QStringLiteral("は存在しません。"));
}

void CloseCombo(Editor& ed) {
  if (QComboBox* combo = ed.ui.dataCombo1) combo->hide();
  if (ed.ui.dgSlideEdit && ed.ui.dgSlideEdit->isVisible()) ed.ui.dgSlideEdit->setFocus();
  ShowSlideImage(ed, SlideImagePath(ed, CellImage(ed)));
}

// The message for a failed copy: the platform's description, then what the user can do.
QString CopyErrorText(const FileError& e) {
  if (e.refusal != Refusal::None) return e.description;
  QString text = e.description + QLatin1Char('\r');
  if (e.number == FileErr::Denied) return text + QStringLiteral("　ファイルが開いているか、同じファイルをコピーしようとしています。");
  if (e.number == FileErr::PathAccess) return text + QStringLiteral("　ファイルが読み取り専用になっています。");
  return text + QStringLiteral("　エラーコード：") + QString::number(e.number);
}

// Every key pressed in the drop-down goes to OnImageComboKeyDown (and no further: any key closes
// it); leaving it for another control hides it. Focus lost to the drop-down's own list or to a
// message box or dialog is not leaving it.
class ImageComboFilter : public QObject {
 public:
  ImageComboFilter(Editor& ed, QObject* parent) : QObject(parent), ed_(ed), alive_(ed.slides->Alive) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (alive_.expired()) return false;
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      OnImageComboKeyDown(ed_, VirtualKeyCode(key->key()), ShiftState(key->modifiers()));
      return true;
    }
    if (event->type() == QEvent::FocusOut) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      // Opening the list gives the focus to the list itself (with no popup reason), and the combo
      // box's own line edit is no other control either.
      QWidget* now = QApplication::focusWidget();
      auto* combo = ed_.ui.dataCombo1;
      const bool own = now && combo && (now == combo || combo->isAncestorOf(now) || now->window() == combo->view()->window());
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && !own) OnImageComboLostFocus(ed_);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  Editor& ed_;
  std::weak_ptr<int> alive_;
};

}  // namespace

QStringList ListImageFiles(const QString& folder) {
  if (folder.isEmpty()) return {};
  return QDir(folder).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.bmp")},
                                QDir::Files, QDir::Name | QDir::IgnoreCase);
}

void OnImageButtonClick(Editor& ed, int colIndex) {
  DataGrid* grid = ed.ui.dgSlideEdit;
  QComboBox* combo = ed.ui.dataCombo1;
  if (!grid || !combo) return;
  const QRectF g = TwipsRectOf(grid);
  const double frame = PixelsToTwips(grid->frameWidth());
  PlaceTwips(combo, g.left() + frame + grid->ColumnLeftTwips(colIndex), g.top() + frame + grid->CurrentRowTopTwips(),
             grid->ColumnWidthTwips(colIndex), TwipsRectOf(combo).height());
  combo->show();
  combo->raise();
  {
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItem(kCopyFromElsewhere);
    combo->addItems(ListImageFiles(ed.slides->File1Folder));
    // A cell holding a listed name starts on that item: an edit text that matches an item other
    // than the current one is taken by the combo box itself as a choice when the text loses the
    // focus, which opening the list does.
    const QString cell = grid->CurrentCellText(colIndex);
    const int listed = cell.isEmpty() ? -1 : combo->findText(cell, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(listed);
    combo->setEditText(cell);
  }
  combo->setFocus(Qt::OtherFocusReason);
}

void OnImageComboClick(Editor& ed) {
  QComboBox* combo = ed.ui.dataCombo1;
  if (!combo) return;
  const QString text = combo->currentText();
  if (text == kCopyFromElsewhere)
    TakeImportedImage(ed);
  else
    TakeListedImage(ed, text);
  CloseCombo(ed);
}

void OnImageComboKeyDown(Editor& ed, int keyCode, int) {
  QComboBox* combo = ed.ui.dataCombo1;
  if (!combo) return;
  const QString text = combo->currentText();
  if (text == kCopyFromElsewhere)
    TakeImportedImage(ed);
  else if (!text.isEmpty() && keyCode == 13)
    TakeListedImage(ed, text);
  CloseCombo(ed);
}

void OnImageComboLostFocus(Editor& ed) {
  if (ed.ui.dataCombo1) ed.ui.dataCombo1->hide();
}

QString CopyImageFromElsewhere(Editor& ed) {
  if (!ed.svc.dialogs || ed.slides->File1Folder.isEmpty()) return {};
  const QString filter = QStringLiteral("*.jpeg;*.jpg;*.bmp (*.jpeg *.jpg *.bmp)");
  const QString path =
      ed.svc.dialogs->OpenFile(filter, ed.slides->LastImageFolder, QStringLiteral("画像ファイルを指定してください"));
  if (path.isEmpty()) return {};

  const QString name = FileNameOfPath(path);
  if (!IsPlainFileName(name)) return {};
  // The chosen file's folder (without the separator, except for a root).
  QString folder = path.left(path.size() - name.size());
  if (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))) folder.chop(1);
  if (!folder.isEmpty()) ed.slides->LastImageFolder = folder;

  const QString target = JoinPath(ed.slides->File1Folder, name);
  if (QFileInfo(target).isFile() &&
      Ask(ed, QStringLiteral("同名のファイルが存在します。上書きしてもよろしいですか？"), MsgButtons::YesNo) != MsgResult::Yes)
    return {};

  // A picture chosen from the data folder itself can't be copied onto itself; the platform
  // refuses that as a denied access.
  FileError error;
  if (SamePath(path, target))
    error = {FileErr::Denied, QString::fromLocal8Bit(std::strerror(EACCES))};
  else
    error = CopyOneFile(path, target, true);
  if (!error.ok()) {
    Tell(ed, CopyErrorText(error));
    return {};
  }
  return name;
}

void WireImageCombo(Editor& ed) {
  QComboBox* combo = ed.ui.dataCombo1;
  if (!combo) return;
  auto* filter = new ImageComboFilter(ed, combo);
  combo->installEventFilter(filter);
  if (QLineEdit* edit = combo->lineEdit()) edit->installEventFilter(filter);
  const std::weak_ptr<int> alive = ed.slides->Alive;
  QObject::connect(combo, qOverload<int>(&QComboBox::activated), combo, [&ed, alive, combo](int) {
    // Opening the list takes the focus from a typed name, which the combo box may take as a
    // choice; only a choice made with the list closed again, or by Enter, is one.
    if (QApplication::activePopupWidget() && QApplication::activePopupWidget() == combo->view()->window()) return;
    if (!alive.expired()) OnImageComboClick(ed);
  });
}

}  // namespace kemo
