#include "platform/record_set.h"

#include <algorithm>

namespace kemo {

RecordSet::RecordSet(QObject* parent) : QAbstractTableModel(parent) {}

void RecordSet::Open(std::vector<Column> columns) {
  if (!bulk_) beginResetModel();
  columns_ = std::move(columns);
  cells_.clear();
  rows_ = 0;
  locked_.assign(columns_.size(), false);
  alignment_.assign(columns_.size(), Qt::AlignLeft | Qt::AlignVCenter);
  current_ = -1;
  open_ = true;
  if (!bulk_) endResetModel();
}

void RecordSet::Close() {
  if (!open_) return;
  if (!bulk_) beginResetModel();
  cells_.clear();
  rows_ = 0;
  current_ = -1;
  open_ = false;
  if (!bulk_) endResetModel();
}

RecordSet::BulkLoad::BulkLoad(RecordSet& rs) : rs_(rs) {
  if (rs_.bulk_++ == 0) rs_.beginResetModel();
}

RecordSet::BulkLoad::~BulkLoad() {
  if (--rs_.bulk_ == 0) {
    rs_.endResetModel();
    Q_EMIT rs_.MoveComplete(rs_.current_);
  }
}

void RecordSet::AddNew() {
  if (!open_) return;
  const int row = RecordCount();
  if (!bulk_) beginInsertRows({}, row, row);
  cells_.resize(cells_.size() + columns_.size());
  ++rows_;
  if (!bulk_) endInsertRows();
  SetCurrent(row);
}

int RecordSet::ColumnIndex(const QString& name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

QVariant RecordSet::Coerce(int column, const QVariant& v) const {
  if (columns_[column].type == FieldType::Integer) {
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    return ok ? QVariant(static_cast<int>(n)) : QVariant();
  }
  return QVariant(v.toString());
}

void RecordSet::SetField(const QString& column, const QVariant& value) { SetField(ColumnIndex(column), value); }

void RecordSet::SetField(int column, const QVariant& value) {
  if (HasCurrent()) SetFieldAt(current_, column, value);
}

void RecordSet::SetFieldAt(int row, int column, const QVariant& value) {
  if (row < 0 || row >= RecordCount() || column < 0 || column >= static_cast<int>(columns_.size())) return;
  Cell(row, column) = Coerce(column, value);
  if (!bulk_) {
    const QModelIndex idx = index(row, column);
    Q_EMIT dataChanged(idx, idx);
  }
}

QVariant RecordSet::Field(const QString& column) const {
  if (!HasCurrent()) return {};
  return FieldAt(current_, ColumnIndex(column));
}

QVariant RecordSet::FieldAt(int row, int column) const {
  if (row < 0 || row >= RecordCount() || column < 0 || column >= static_cast<int>(columns_.size())) return {};
  return Cell(row, column);
}

void RecordSet::SetCurrent(int row) {
  const int n = RecordCount();
  row = std::clamp(row, -1, n);
  if (n == 0) row = -1;
  if (row == current_) return;
  current_ = row;
  if (!bulk_) Q_EMIT MoveComplete(current_);
}

void RecordSet::MoveFirst() { SetCurrent(rows_ == 0 ? -1 : 0); }
void RecordSet::MoveLast() { SetCurrent(RecordCount() - 1); }
void RecordSet::MoveNext() { SetCurrent(current_ + 1); }
void RecordSet::MovePrevious() { SetCurrent(current_ - 1); }
void RecordSet::Move(int n) { SetCurrent(current_ + n); }
void RecordSet::MoveTo(int row) { SetCurrent(row); }

void RecordSet::Delete() {
  if (!HasCurrent()) return;
  const int row = current_;
  if (!bulk_) beginRemoveRows({}, row, row);
  const auto first = cells_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(row) * columns_.size());
  cells_.erase(first, first + static_cast<std::ptrdiff_t>(columns_.size()));
  --rows_;
  if (!bulk_) endRemoveRows();
  // The cursor stays on the position, which now holds the next row (or is past the end).
  current_ = std::min(row, RecordCount());
  if (rows_ == 0) current_ = -1;
  if (!bulk_) Q_EMIT MoveComplete(current_);
}

void RecordSet::Sort(const QString& order) {
  QString name = order.trimmed();
  bool descending = false;
  if (name.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) {
    descending = true;
    name.chop(5);
  } else if (name.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive)) {
    name.chop(4);
  }
  const int col = ColumnIndex(name.trimmed());
  if (col < 0) return;
  const bool numeric = columns_[col].type == FieldType::Integer;
  if (!bulk_) beginResetModel();
  const size_t width = columns_.size();
  std::vector<int> byKey(static_cast<size_t>(rows_));
  for (int i = 0; i < rows_; ++i) byKey[static_cast<size_t>(i)] = i;
  std::stable_sort(byKey.begin(), byKey.end(), [&](int a, int b) {
    const QVariant &x = Cell(a, col), &y = Cell(b, col);
    if (numeric) return descending ? x.toInt() > y.toInt() : x.toInt() < y.toInt();
    const int c = QString::compare(x.toString(), y.toString());
    return descending ? c > 0 : c < 0;
  });
  std::vector<QVariant> sorted;
  sorted.reserve(cells_.size());
  for (int row : byKey)
    for (size_t k = 0; k < width; ++k) sorted.push_back(std::move(Cell(row, static_cast<int>(k))));
  cells_ = std::move(sorted);
  current_ = rows_ == 0 ? -1 : 0;
  if (!bulk_) {
    endResetModel();
    Q_EMIT MoveComplete(current_);
  }
}

int RecordSet::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : RecordCount(); }

int RecordSet::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant RecordSet::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole) return FieldAt(index.row(), index.column());
  if (role == Qt::TextAlignmentRole && index.column() < static_cast<int>(alignment_.size()))
    return QVariant::fromValue(alignment_[index.column()]);
  return {};
}

bool RecordSet::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.row() >= RecordCount()) return false;
  const int col = index.column();
  if (col >= static_cast<int>(columns_.size()) || locked_[col]) return false;
  SetCurrent(index.row());
  Cell(index.row(), col) = Coerce(col, value);
  Q_EMIT dataChanged(index, index);
  Q_EMIT FieldChangeComplete(index.row(), col);
  return true;
}

QVariant RecordSet::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < static_cast<int>(columns_.size()))
    return columns_[section].name;
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags RecordSet::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() < static_cast<int>(locked_.size()) && !locked_[index.column()]) f |= Qt::ItemIsEditable;
  return f;
}

void RecordSet::SetLocked(int column, bool locked) {
  if (column >= 0 && column < static_cast<int>(locked_.size())) locked_[column] = locked;
}

void RecordSet::SetAlignment(int column, Qt::Alignment alignment) {
  if (column < 0 || column >= static_cast<int>(alignment_.size())) return;
  alignment_[column] = alignment;
}

}  // namespace kemo
