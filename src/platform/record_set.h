#pragma once
// An in-memory record set: a table with named, typed columns, a current row and the moves of a
// database cursor, with no database behind it. It is also the model its grid shows, so binding a
// grid is setting its model, and the grid's highlighted row is the set's current row.
#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <vector>

namespace kemo {

enum class FieldType { Integer, Text };

struct Column {
  QString name;
  FieldType type = FieldType::Text;
  int size = 0;  // the defined size of a text column; informational, values are never cut
};

class RecordSet : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit RecordSet(QObject* parent = nullptr);

  // Opening replaces whatever the set held by an empty table with these columns; closing empties it.
  // Closing a set that is not open does nothing.
  void Open(std::vector<Column> columns);
  void Close();
  bool IsOpen() const { return open_; }

  // Rows added inside one BulkLoad reach the views in a single model reset.
  class BulkLoad {
   public:
    explicit BulkLoad(RecordSet& rs);
    ~BulkLoad();
    BulkLoad(const BulkLoad&) = delete;
    BulkLoad& operator=(const BulkLoad&) = delete;

   private:
    RecordSet& rs_;
  };

  // Appends an empty row and makes it current.
  void AddNew();
  // Sets a field of the current row by column name; unknown names and no current row do nothing.
  void SetField(const QString& column, const QVariant& value);
  void SetField(int column, const QVariant& value);
  // Sets a field of any row without moving the current row.
  void SetFieldAt(int row, int column, const QVariant& value);
  QVariant Field(const QString& column) const;
  QVariant FieldAt(int row, int column) const;
  QString Text(const QString& column) const { return Field(column).toString(); }
  // Commits the current row (kept for the callers' shape; rows are stored as they are set).
  void Update() {}

  int RecordCount() const { return rows_; }
  int ColumnIndex(const QString& name) const;
  const std::vector<Column>& Columns() const { return columns_; }

  // The current row, -1 before the first row (BOF) or RecordCount() after the last (EOF).
  int CurrentRow() const { return current_; }
  bool Eof() const { return rows_ == 0 || current_ >= RecordCount(); }
  bool Bof() const { return rows_ == 0 || current_ < 0; }
  bool HasCurrent() const { return current_ >= 0 && current_ < RecordCount(); }

  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  void Move(int n);  // relative to the current row; clamps to BOF/EOF positions
  void MoveTo(int row);

  // Deletes the current row; the current row then is the next row (or EOF).
  void Delete();

  // Sorts by a text such as "記録No. DESC" or "記録No. ASC" (ASC when no direction is given).
  void Sort(const QString& order);

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Columns the grid may not edit.
  void SetLocked(int column, bool locked);
  // Alignment per column, for the grid's cells.
  void SetAlignment(int column, Qt::Alignment alignment);

 Q_SIGNALS:
  // After the current row changed (by a move or by the grid).
  void MoveComplete(int row);
  // After a field of the current row was changed through the grid.
  void FieldChangeComplete(int row, int column);

 private:
  void SetCurrent(int row);
  QVariant Coerce(int column, const QVariant& v) const;

  QVariant& Cell(int row, int column) { return cells_[static_cast<size_t>(row) * columns_.size() + column]; }
  const QVariant& Cell(int row, int column) const {
    return cells_[static_cast<size_t>(row) * columns_.size() + column];
  }

  std::vector<Column> columns_;
  // The fields row after row, one run of columns_.size() per row (no allocation per row: a full
  // table has 3600).
  std::vector<QVariant> cells_;
  int rows_ = 0;
  std::vector<bool> locked_;
  std::vector<Qt::Alignment> alignment_;
  int current_ = -1;
  bool open_ = false;
  int bulk_ = 0;
};

}  // namespace kemo
