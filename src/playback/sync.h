#pragma once
// Keeping the slide grid, the slide-edit grid and the point grid (and with them the stage) on the
// entry in force at a time. Times compare in single precision: a stored time and the time asked
// for are equal when they are equal as floats (10.0000001 is 10.0).
#include "playback/playback_state.h"

namespace kemo {

struct Editor;

void SyncSlideRow(Editor& ed, float t);
void SyncSlideEditRow(Editor& ed, float t);
void SyncPointRow(Editor& ed, float t);

// The row search shared by the three: the index of the entry in force at t among `count` times
// (ascending; a count below 1 is taken as 1). The last entry whose time is <= t, except that at or
// before the first entry's time the first is chosen, and that among entries of equal time the first
// of them is chosen when t hits that time exactly.
template <typename TimeAt>
int FindRowInForce(int count, float t, TimeAt timeAt) {
  if (count < 1) count = 1;
  if (static_cast<float>(timeAt(0)) >= t) return 0;
  if (static_cast<float>(timeAt(count - 1)) > t) {
    for (int i = 1; i < count; ++i) {
      const float ti = static_cast<float>(timeAt(i));
      if (ti > t) return i - 1;
      if (ti == t) return i;
    }
  }
  return count - 1;
}

int FindRowInForce(const double* times, int count, float t);

}  // namespace kemo
