// Placeholder until the stage build lands.
#include "playback/stage_view.h"

#include "document/editor.h"

namespace kemo {
void BuildStageView(Editor&) {}
void LayoutStageGrid(Editor&) {}
void LayoutPointMarkers(Editor&, bool) {}
void LayoutSlideGrid(Editor&) {}
void LayoutPointGrid(Editor&) {}
}  // namespace kemo
