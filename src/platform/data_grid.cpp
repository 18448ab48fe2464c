#include "platform/data_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform/bold_font.h"
#include "platform/interface_font.h"
#include "platform/record_set.h"
#include "platform/twips.h"

namespace kemo {

int VirtualKeyCode(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Up: return 38;
    case Qt::Key_Down: return 40;
    case Qt::Key_Left: return 37;
    case Qt::Key_Right: return 39;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_Home: return 36;
    case Qt::Key_End: return 35;
    case Qt::Key_Space: return 32;
    default: break;
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) return qtKey;
  return qtKey & 0xffff;
}

int ShiftState(Qt::KeyboardModifiers m) {
  int s = 0;
  if (m & Qt::ShiftModifier) s |= 1;
  if (m & Qt::ControlModifier) s |= 2;
  if (m & Qt::AltModifier) s |= 4;
  return s;
}

int ButtonState(Qt::MouseButtons b) {
  int s = 0;
  if (b & Qt::LeftButton) s |= 1;
  if (b & Qt::RightButton) s |= 2;
  if (b & Qt::MiddleButton) s |= 4;
  return s;
}

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  verticalHeader()->setVisible(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setFont(FromRegularFace(horizontalHeader()->font()));
  // Column widths come from the layout, some narrower than the style's usual minimum.
  horizontalHeader()->setMinimumSectionSize(1);
  setMouseTracking(true);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
}

DataGrid::~DataGrid() { WatchApplication(false); }

void DataGrid::Bind(RecordSet* rs) {
  if (rs_ == rs) {
    FollowRecordSet(rs ? rs->CurrentRow() : -1);
    return;
  }
  if (rs_) disconnect(rs_, nullptr, this, nullptr);
  rs_ = rs;
  setModel(rs);
  if (rs_) {
    connect(rs_, &RecordSet::MoveComplete, this, &DataGrid::FollowRecordSet);
    connect(rs_, &QAbstractItemModel::modelReset, this, [this] { FollowRecordSet(rs_->CurrentRow()); });
    FollowRecordSet(rs_->CurrentRow());
  }
  FitFonts();
}

void DataGrid::FollowRecordSet(int row) {
  if (!rs_ || following_) return;
  following_ = true;
  if (row >= 0 && row < rs_->RecordCount()) {
    const int col = std::max(0, currentIndex().column());
    const QModelIndex idx = rs_->index(row, col);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(idx);
  } else {
    selectionModel()->clearSelection();
  }
  following_ = false;
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // Moving the row ends an open edit (the view stores it first); its handler then runs once the
  // move is over, not inside it.
  const bool nested = changingCurrent_;
  changingCurrent_ = true;
  QTableView::currentChanged(current, previous);
  changingCurrent_ = nested;
  if (!rs_ || following_ || !current.isValid()) return;
  following_ = true;
  rs_->MoveTo(current.row());
  following_ = false;
}

// Cell edits. The toolkit stores an editor's text on Enter, Tab, a move to another row and the
// loss of focus to another window; a click on a control that takes no focus, a shortcut or a menu
// would leave the editor open with its text shown but not stored. While an editor is open the grid
// watches the application for those and ends the edit first, so the command sees the text.
bool DataGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  const bool opened = QTableView::edit(index, trigger, event);
  if (opened && state() == EditingState) {
    QWidget* editor = indexWidget(index);
    if (editor && editor != editor_) {
      editor_ = editor;
      editIndex_ = index;
      enterPressed_ = false;
      // Installed after the delegate's own filter, so it sees Enter before the delegate ends the edit.
      editor->installEventFilter(this);
      WatchApplication(true);
    }
  }
  return opened;
}

void DataGrid::commitData(QWidget* editor) {
  committing_ = true;
  QTableView::commitData(editor);
  committing_ = false;
  if (editor == editor_ && editIndex_.isValid())
    pending_ = Committed{editIndex_.row(), editIndex_.column(), enterPressed_};
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool mine = editor != nullptr && editor == editor_;
  if (mine) {
    editor->removeEventFilter(this);
    editor_ = nullptr;
    editIndex_ = QPersistentModelIndex();
    enterPressed_ = false;
  }
  // Tab may open the next cell's editor in here.
  QTableView::closeEditor(editor, hint);
  if (!mine || !pending_) return;
  if (changingCurrent_)
    QMetaObject::invokeMethod(this, &DataGrid::DeliverCommit, Qt::QueuedConnection);
  else
    DeliverCommit();
}

void DataGrid::CommitEdit() {
  if (QWidget* editor = editor_) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
  if (pending_ && !changingCurrent_) DeliverCommit();
}

void DataGrid::DeliverCommit() {
  if (!editor_) WatchApplication(false);
  if (!pending_) return;
  const Committed c = *pending_;
  pending_.reset();
  if (onCellCommitted) onCellCommitted(c.row, c.column, c.byEnter);
}

void DataGrid::WatchApplication(bool on) {
  if (on == watchingApp_ || !qApp) return;
  watchingApp_ = on;
  if (on)
    qApp->installEventFilter(this);
  else
    qApp->removeEventFilter(this);
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event) {
  // Only the open editor and, while there is one, the application pass through here; nothing is
  // swallowed.
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress && watched == editor_) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) enterPressed_ = true;
    return false;
  }
  if (!editor_ && !pending_) {
    WatchApplication(false);
    return false;
  }
  // A command is about to run, or the user turned to something else than the editor.
  bool elsewhere = false;
  if (type == QEvent::Shortcut || type == QEvent::ApplicationDeactivate ||
      (type == QEvent::WindowDeactivate && watched == window())) {
    elsewhere = true;
  } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::Show) {
    auto* w = qobject_cast<QWidget*>(watched);
    const bool counts = w && (type != QEvent::Show || w->windowType() == Qt::Popup);
    elsewhere = counts && !(editor_ && (w == editor_ || editor_->isAncestorOf(w)));
  }
  if (elsewhere) CommitEdit();
  return false;
}

void DataGrid::SetGridFont(const QString& family, double pointSize, bool headerBold) {
  designFont_ = font();
  designFont_.setFamilies(QStringList{family} + InterfaceFontFamilies());
  designPoints_ = pointSize;
  headerBold_ = headerBold;
  ApplyScaledLengths();
}

void DataGrid::SetRowHeightTwips(double twips) {
  rowTwips_ = twips;
  ApplyRowHeight();
}

void DataGrid::ApplyRowHeight() {
  if (rowTwips_ > 0)
    verticalHeader()->setDefaultSectionSize(std::max(TwipsToPixels(rowTwips_), fontMetrics().height() + 2));
}

void DataGrid::SetColumnWidthTwips(int column, double twips) {
  columnTwips_[column] = twips;
  ApplyScaledLengths();
}

void DataGrid::SetColumnWidestText(int column, const QString& text) {
  widestText_[column] = text;
  FitFonts();
}

// The columns at the present scale. Below the design size the room the layout leaves beside the
// columns becomes narrower than the scroll bar, which keeps its size: the widest column gives up
// the difference, so that no column runs under the bar.
void DataGrid::ApplyScaledLengths() {
  QMap<int, int> widths;
  int total = 0;
  for (auto it = columnTwips_.cbegin(); it != columnTwips_.cend(); ++it) {
    widths[it.key()] = TwipsToPixels(it.value());
    total += widths[it.key()];
  }
  const int room = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
  if (!widths.isEmpty() && total > room && room > 0) {
    auto widest = widths.begin();
    for (auto it = widths.begin(); it != widths.end(); ++it)
      if (it.value() > widest.value()) widest = it;
    widest.value() = std::max(1, widest.value() - (total - room));
  }
  for (auto it = widths.cbegin(); it != widths.cend(); ++it)
    if (columnWidth(it.key()) != it.value()) setColumnWidth(it.key(), it.value());
  FitFonts();
}

// The cells' and the header's fonts at the present scale, each made smaller where a text would be
// cut: fonts do not shrink in step with the columns at the smaller scales. The sizes are set here
// and not through the window's design fonts, which would give the header its full size again.
void DataGrid::FitFonts() {
  if (designPoints_ <= 0) return;
  constexpr double kStep = 0.25, kSmallest = 3.0;
  const auto fit = [this](QFont f, const QList<QPair<QString, int>>& texts) {
    const auto fits = [&texts](const QFont& font) {
      const QFontMetrics fm(font);
      for (const auto& [text, room] : texts)
        if (fm.horizontalAdvance(text) > room) return false;
      return true;
    };
    f.setPointSizeF(designPoints_ * LayoutScale());
    while (f.pointSizeF() - kStep >= kSmallest && !fits(f)) f.setPointSizeF(f.pointSizeF() - kStep);
    return f;
  };
  // The margins the item delegate and the header leave on each side of a text.
  const int cellMargin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  const int headerMargin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
  QList<QPair<QString, int>> cells, headers;
  for (auto it = columnTwips_.cbegin(); it != columnTwips_.cend(); ++it) {
    const int c = it.key();
    if (isColumnHidden(c)) continue;
    if (const QString widest = widestText_.value(c); !widest.isEmpty())
      cells.append({widest, columnWidth(c) - cellMargin});
    if (model() && c < model()->columnCount())
      headers.append({model()->headerData(c, Qt::Horizontal).toString(), columnWidth(c) - headerMargin});
  }
  const QFont cellFont = fit(designFont_, cells);
  QFont header = FromRegularFace(designFont_);
  header.setBold(headerBold_);
  const QFont headerFont = fit(header, headers);
  if (font() != cellFont) setFont(cellFont);
  if (horizontalHeader()->font() != headerFont) horizontalHeader()->setFont(headerFont);
  ApplyRowHeight();
}

bool DataGrid::event(QEvent* e) {
  if (e->type() == LayoutScaleEventType()) {
    ApplyScaledLengths();
    return true;
  }
  return QTableView::event(e);
}

void DataGrid::resizeEvent(QResizeEvent* e) {
  QTableView::resizeEvent(e);
  ApplyScaledLengths();
}

void DataGrid::SetColumnAlignment(int column, Qt::Alignment alignment) {
  if (rs_) rs_->SetAlignment(column, alignment | Qt::AlignVCenter);
}

void DataGrid::SetColumnLocked(int column, bool locked) {
  if (rs_) rs_->SetLocked(column, locked);
}

void DataGrid::SetButtonColumn(int column) { buttonColumn_ = column; }

double DataGrid::ColumnLeftTwips(int column) const { return PixelsToTwips(columnViewportPosition(column)); }

double DataGrid::ColumnWidthTwips(int column) const { return PixelsToTwips(columnWidth(column)); }

double DataGrid::CurrentRowTopTwips() const {
  const int row = rs_ ? rs_->CurrentRow() : -1;
  const int y = row >= 0 ? rowViewportPosition(row) : 0;
  return PixelsToTwips(y + horizontalHeader()->height());
}

int DataGrid::FirstVisibleRow() const { return std::max(0, rowAt(0)); }

int DataGrid::VisibleRowOfCurrent() const {
  const int row = rs_ ? rs_->CurrentRow() : -1;
  if (row < 0) return 0;
  return row - FirstVisibleRow() + 1;
}

void DataGrid::ScrollRows(int rows) {
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + rows);
}

void DataGrid::SetVisibleRowOfCurrent(int visibleRow) {
  if (!rs_) return;
  const int row = FirstVisibleRow() + visibleRow - 1;
  if (row >= 0 && row < rs_->RecordCount()) rs_->MoveTo(row);
}

QString DataGrid::CurrentCellText(int column) const {
  return rs_ ? rs_->FieldAt(rs_->CurrentRow(), column).toString() : QString();
}

void DataGrid::SetCurrentCellText(int column, const QString& text) {
  if (!rs_ || !rs_->HasCurrent()) return;
  rs_->setData(rs_->index(rs_->CurrentRow(), column), text, Qt::EditRole);
}

void DataGrid::keyPressEvent(QKeyEvent* e) {
  if (state() != QAbstractItemView::EditingState) {
    if (onKeyDown && onKeyDown(VirtualKeyCode(e->key()), ShiftState(e->modifiers()))) return;
    if (onKeyPress && !e->text().isEmpty()) onKeyPress(e->text().at(0).unicode());
  }
  QTableView::keyPressEvent(e);
}

void DataGrid::mousePressEvent(QMouseEvent* e) {
  QTableView::mousePressEvent(e);
  if (buttonColumn_ >= 0 && e->button() == Qt::LeftButton && onButtonClick) {
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid() && idx.column() == buttonColumn_) {
      const QRect cell = visualRect(idx);
      // The drop-down button is the square at the right end of the cell.
      if (e->position().x() >= cell.right() - cell.height()) onButtonClick(buttonColumn_);
    }
  }
}

void DataGrid::mouseMoveEvent(QMouseEvent* e) {
  QTableView::mouseMoveEvent(e);
  if (onMouseMove)
    onMouseMove(ButtonState(e->buttons()), ShiftState(e->modifiers()), PixelsToTwips(e->position().x()),
                PixelsToTwips(e->position().y()));
}

void DataGrid::mouseReleaseEvent(QMouseEvent* e) {
  QTableView::mouseReleaseEvent(e);
  if (onMouseUp)
    onMouseUp(ButtonState(e->button()), ShiftState(e->modifiers()), PixelsToTwips(e->position().x()),
              PixelsToTwips(e->position().y()));
}

void DataGrid::focusInEvent(QFocusEvent* e) {
  QTableView::focusInEvent(e);
  if (onGotFocus) onGotFocus();
}

}  // namespace kemo
