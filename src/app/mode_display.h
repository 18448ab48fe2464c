#pragma once
// The mode refresh: applies EditorState to every control, the status texts and the caption; and
// the shell's small controls: the recording interval and movement options and the all-marks toggle.
namespace kemo {

struct Editor;

void RefreshModeDisplayImpl(Editor& ed);
void OnIntervalOption(Editor& ed, int index);
void OnMoveModeOption(Editor& ed, int index);
void OnAllMarksToggle(Editor& ed);

}  // namespace kemo
