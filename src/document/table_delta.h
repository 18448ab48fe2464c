#pragma once
// The difference between two states of a record table, as one splice: the slots before `first` are
// equal, `removed` slots of one state stand where `inserted` slots of the other stand, and the
// slots after them are the same records moved by inserted - removed slots (their ids moved with
// them). Slots past the last non-blank one take no part. The records of a splice are packed
// against the records they replace, so that a change of one field costs about two bytes a record.
//
// Applying a splice gives its inverse, which turns the table back: undo and redo swap one splice.
#include <QByteArray>
#include <cstdint>

#include "document/records.h"

namespace kemo {

struct TableSplice {
  int first = 0;
  int removed = 0;
  int inserted = 0;
  int countBefore = 0;  // the table's count it applies to
  int countAfter = 0;   // the table's count once applied
  bool packed = false;  // `records` is compressed
  QByteArray records;   // the `inserted` records, coded against the `removed` ones

  bool Empty() const { return removed == 0 && inserted == 0 && countBefore == countAfter; }
  size_t Bytes() const { return sizeof(TableSplice) + static_cast<size_t>(records.capacity()); }
  // The splice in a byte form of its own (the recovery journal), and back; false for bytes that
  // are not one.
  void WriteTo(QByteArray& out) const;
  bool ReadFrom(const char*& p, const char* end);
};

// The splice that turns (from, fromCount) into (to, toCount); Empty() when they are equal.
TableSplice DiffTables(const SlideArray& from, int fromCount, const SlideArray& to, int toCount);
TableSplice DiffTables(const PointArray& from, int fromCount, const PointArray& to, int toCount);

// Applies `s` to the table and returns the splice that undoes it. False, leaving the table as it
// was, when the splice does not fit this table (a journal from elsewhere).
bool ApplySplice(SlideArray& table, int16_t& count, const TableSplice& s, TableSplice* inverse);
bool ApplySplice(PointArray& table, int16_t& count, const TableSplice& s, TableSplice* inverse);

// Slots 0..n-1 hold every record that is not blank (a default record).
int UsedSlots(const SlideArray& table);
int UsedSlots(const PointArray& table);

}  // namespace kemo
