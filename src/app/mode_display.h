#pragma once
// The mode refresh: applies EditorState to every control, the status texts and the caption; and
// the shell's small controls: the recording interval and movement options and the all-marks toggle.
#include <QString>

namespace kemo {

struct Editor;

void RefreshModeDisplayImpl(Editor& ed);
void OnIntervalOption(Editor& ed, int index);
void OnMoveModeOption(Editor& ed, int index);
void OnAllMarksToggle(Editor& ed);
// After 元に戻す (undone) or やり直し of the step named `label`: when it was the all-marks toggle,
// its button offers again what the marks now allow.
void ShowAllMarksCaption(Editor& ed, const QString& label, bool undone);

}  // namespace kemo
