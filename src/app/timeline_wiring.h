#pragma once
// The timeline strip in the window: 表示 → タイムライン (F12, remembered across starts) shows it
// below the design area, the window growing by its height so that the layout above stays as it
// was; hidden, the window is as it was before. The waveform job follows the open folder's video.
class QMainWindow;

namespace kemo {

struct Editor;

void WireTimeline(QMainWindow* window, Editor& ed);

}  // namespace kemo
