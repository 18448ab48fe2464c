#pragma once
// A grid bound to a RecordSet. The grid's highlighted row is the set's current row both ways: moving
// the set moves the highlight, and the user's clicks and arrow keys move the set. Events carry the
// shape the editor's handlers expect (key code and shift, button and position in twips).
#include <QPersistentModelIndex>
#include <QPointer>
#include <QMap>
#include <QTableView>
#include <functional>
#include <optional>

namespace kemo {

class RecordSet;

class DataGrid : public QTableView {
  Q_OBJECT
 public:
  explicit DataGrid(QWidget* parent = nullptr);
  ~DataGrid() override;

  using QTableView::edit;

  void Bind(RecordSet* rs);
  RecordSet* Bound() const { return rs_; }

  // Layout, in twips and points.
  void SetGridFont(const QString& family, double pointSize, bool headerBold);
  void SetRowHeightTwips(double twips);
  void SetColumnWidthTwips(int column, double twips);
  // The widest text a column's cells must show in full (e.g. "100:00.000"). The grid's fonts are
  // made smaller, in quarter points, where a column's widest text or its header would be cut.
  void SetColumnWidestText(int column, const QString& text);
  void SetColumnAlignment(int column, Qt::Alignment alignment);
  void SetColumnLocked(int column, bool locked);
  // A column whose cells show a drop-down button; clicking it raises ButtonClick(column).
  void SetButtonColumn(int column);
  int ButtonColumn() const { return buttonColumn_; }
  double ColumnLeftTwips(int column) const;
  double ColumnWidthTwips(int column) const;
  double CurrentRowTopTwips() const;

  // The current row's position among the visible rows (1 for the first visible row), and a scroll
  // by a number of rows; together they keep the same rows on screen after an insert or delete.
  int VisibleRowOfCurrent() const;
  void SetVisibleRowOfCurrent(int visibleRow);
  void ScrollRows(int rows);
  int FirstVisibleRow() const;

  // Text of a cell of the current row (the editor's "column text").
  QString CurrentCellText(int column) const;
  void SetCurrentCellText(int column, const QString& text);

  // A cell editor is open.
  bool IsEditing() const { return editor_ != nullptr; }
  // Ends an open cell edit, storing its text in the record set first; onCellCommitted follows.
  void CommitEdit();
  // True while the text of a cell editor goes into the record set.
  bool IsCommittingEdit() const { return committing_; }

  // After a cell editor closed and its text went into the record set, whatever ended the edit:
  // Enter, Tab, another row, a click on another control, a shortcut or a menu, the window losing
  // the focus. byEnter tells an edit ended by Enter. It runs once the editor is gone, so the
  // handler may rebuild the table or ask a question.
  std::function<void(int row, int column, bool byEnter)> onCellCommitted;

  // Handlers. KeyDown runs before the grid applies the key; returning true swallows the key.
  std::function<bool(int keyCode, int shift)> onKeyDown;
  std::function<void(int keyAscii)> onKeyPress;
  std::function<void(int button, int shift, double x, double y)> onMouseMove;
  std::function<void(int button, int shift, double x, double y)> onMouseUp;
  std::function<void(int column)> onButtonClick;
  std::function<void()> onGotFocus;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowRecordSet(int row);
  void DeliverCommit();
  void WatchApplication(bool on);
  void ApplyRowHeight();
  void ApplyScaledLengths();
  void FitFonts();
  RecordSet* rs_ = nullptr;
  // The lengths as given in twips and the font as given in points, sized again when the window's
  // layout scale changes.
  double rowTwips_ = 0;
  QMap<int, double> columnTwips_;
  QMap<int, QString> widestText_;
  QFont designFont_;
  double designPoints_ = 0;
  bool headerBold_ = false;
  int buttonColumn_ = -1;
  bool following_ = false;

  // The open cell editor and its cell; the edit stored but not yet handed to onCellCommitted.
  QPointer<QWidget> editor_;
  QPersistentModelIndex editIndex_;
  bool enterPressed_ = false;
  bool committing_ = false;
  bool changingCurrent_ = false;
  bool watchingApp_ = false;
  struct Committed {
    int row = -1, column = -1;
    bool byEnter = false;
  };
  std::optional<Committed> pending_;
};

// Key codes and button values in the form the handlers use.
int VirtualKeyCode(int qtKey);
int ShiftState(Qt::KeyboardModifiers m);
int ButtonState(Qt::MouseButtons b);

}  // namespace kemo
