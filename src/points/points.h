#pragma once
// Mouse points: the list and its editing, the recorder, registering a recorded run and the marker drag.
namespace kemo {

struct Editor;

void ShowPointMarkers(Editor& ed, int index);
void ToggleRecording(Editor& ed);
void ClearRecordedPoints(Editor& ed);
void BuildRecordedTable(Editor& ed);
void RefreshRecordPanel(Editor& ed);
void RegisterRecordedPoints(Editor& ed);

void WirePoints(Editor& ed);

}  // namespace kemo
