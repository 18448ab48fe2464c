#pragma once
// The time text "mm:ss.fff" of every time column and of the time label, and its inverse.
#include <QString>

namespace kemo {

// Whole minutes with at least two digits, seconds with two, milliseconds with three. The time is
// rounded to whole milliseconds first, with the carry into seconds and minutes (5.9996 s shows
// "00:06.000"), so the text never holds four millisecond digits.
QString FormatTimeText(double seconds);

// The inverse of FormatTimeText for any number of minute digits ("100:00.000" is 6000 s); it
// reads every text FormatTimeText writes, giving the double nearest to the time the text shows.
// A text that is not a time gives 0.
double ParseTimeText(const QString& text);

// A playback position cut to whole milliseconds: floor(position * 1000) / 1000.
double CutToMilliseconds(double position);

// A time rounded to whole milliseconds, half away from zero, on its decimal digits: the shortest
// decimal text that reads back as the same double is rounded, not the binary product with 1000,
// so 1.0005 and 4.0005 both round up. Times beyond 1e15 s are clamped there.
long long RoundToWholeMilliseconds(double seconds);
// The same as a time in seconds (the double nearest to the rounded milliseconds).
double RoundToMilliseconds(double seconds);

}  // namespace kemo
