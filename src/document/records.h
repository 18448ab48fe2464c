#pragma once
// The record types of the working tables.
#include <QString>
#include <array>
#include <cstdint>

namespace kemo {

// The most records any table holds.
constexpr int MaxRecords = 3600;
// Each array has slots 0..MaxRecords; valid records are slots 0..count-1.
constexpr int kSlots = MaxRecords + 1;

struct SlideRecord {
  int16_t id = 0;  // slot + 1
  double pos = 0.0;
  QString timeText;
  QString caption;
  QString image;  // a plain file name in the data folder
};

struct PointRecord {
  int16_t id = 0;  // slot + 1
  double t = 0.0;  // seconds, three decimals
  QString timeText;
  QString x;  // fraction of the picture width, held as the text of the file
  QString y;  // fraction of the picture height
  QString mark;  // SymOn (shown) or SymOff (hidden); "" for points read from the file
};

using SlideArray = std::array<SlideRecord, kSlots>;
using PointArray = std::array<PointRecord, kSlots>;
using NodeTextArray = std::array<QString, kSlots>;

}  // namespace kemo
