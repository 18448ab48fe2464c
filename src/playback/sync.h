#pragma once
// Keeping the slide grid, the slide-edit grid and the point grid (and with them the stage) on the
// entry in force at a time. Times compare in single precision.
#include <vector>

namespace kemo {

struct Editor;

void SyncSlideRow(Editor& ed, float t);
void SyncSlideEditRow(Editor& ed, float t);
void SyncPointRow(Editor& ed, float t);

// The row search shared by the three: the index of the entry in force at t among `times`
// (ascending, at least one), scanning at most `bound` entries.
int FindRowInForce(const double* times, int count, float t);

}  // namespace kemo
