// Placeholder until the slide display lands.
#include "slides/slide_display.h"

#include "document/editor.h"

namespace kemo {
void ShowSlideImage(Editor&, const QString&) {}
void OnSlideGridKeyDown(Editor&, int, int) {}
void OnSlideGridMouseUp(Editor&, int, int, double, double) {}
void OnSlideGridMouseMove(Editor&, int, int, double, double) {}
void PausePlayerBeforeSeek(Editor&) {}
void WireSlideDisplay(Editor&) {}
}  // namespace kemo
