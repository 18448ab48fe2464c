#pragma once
// Building the stage and the views around it after content is loaded, created or registered.
#include <QString>
#include "playback/playback_state.h"

namespace kemo {

struct Editor;
struct PointRecord;

// Menus, recording options, the stage grid and rulers, both grid layouts and the first slide.
void BuildStageView(Editor& ed);
// The grid of tenths over the picture and the rulers' ticks and labels beside it.
void LayoutStageGrid(Editor& ed);
// Every marker of lbPoint: appearance, place from its point's x and y, tooltip; shown only when
// showMarkers is true (and the point has an x).
void LayoutPointMarkers(Editor& ed, bool showMarkers);
// Fonts, column widths and alignment, row height and size of dgSlide and dgCursor.
void LayoutSlideGrid(Editor& ed);
void LayoutPointGrid(Editor& ed);

// The tooltip of marker `slot` of the registered points:
// "ID［1］　時間［00:01.000］　X［50］　Y［25］" (x and y as whole percentages).
QString PointMarkerTooltip(int slot, const PointRecord& p);

// The marker place for a point at fractions x, y on a stage w by h twips: its centre lies at
// (x * w + 10, y * h + 10).
double MarkerLeft(double x, double stageWidth, double markerWidth);
double MarkerTop(double y, double stageHeight, double markerHeight);

}  // namespace kemo
