// Placeholder until the mouse-point procedures land.
#include "points/points.h"

#include "document/editor.h"

namespace kemo {
void ShowPointMarkers(Editor&, int) {}
void ToggleRecording(Editor&) {}
void ClearRecordedPoints(Editor&) {}
void BuildRecordedTable(Editor&) {}
void RefreshRecordPanel(Editor&) {}
void RegisterRecordedPoints(Editor&) {}
void WirePoints(Editor&) {}
}  // namespace kemo
