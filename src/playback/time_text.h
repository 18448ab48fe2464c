#pragma once
// The time text "mm:ss.fff" of every time column and of the time label, and its inverse.
#include <QString>

namespace kemo {

// Whole minutes with at least two digits, seconds with two, milliseconds with three.
QString FormatTimeText(double seconds);

// The inverse of FormatTimeText for any number of minute digits ("100:00.000" is 6000 s).
// A text that is not a time gives 0.
double ParseTimeText(const QString& text);

// A playback position cut to whole milliseconds: floor(position * 1000) / 1000.
double CutToMilliseconds(double position);

}  // namespace kemo
