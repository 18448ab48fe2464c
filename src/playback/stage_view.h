#pragma once
// Building the stage and the views around it after content is loaded, created or registered.
namespace kemo {

struct Editor;

void BuildStageView(Editor& ed);
void LayoutStageGrid(Editor& ed);
void LayoutPointMarkers(Editor& ed, bool showMarkers);
void LayoutSlideGrid(Editor& ed);
void LayoutPointGrid(Editor& ed);

}  // namespace kemo
