#pragma once
// The main window's layout for the size of its client area. The controls keep their design places
// in twips; here the client area's size becomes the layout scale (one factor for every control,
// so the stage keeps its 4:3), a window wider than the design's shape keeps the layout in its
// middle, and a window taller than it gives the height to spare to the grids, so that they show
// more rows.
class QSize;
class QWidget;

namespace kemo {

struct Controls;

// The design's client area, in twips.
constexpr double kDesignClientWidth = 15075;
constexpr double kDesignClientHeight = 10275;
// The smallest layout scale at which the design's texts still read in full.
constexpr double kMinLayoutScale = 0.75;

// Lays out every control under client for client's present size. design is the client area's
// size in pixels at layout scale 1. Does nothing when nothing would change.
void LayOutForClientArea(Controls& ui, QWidget* client, const QSize& design);

// Gives spare twips of height (0: none) to the grids. In the left column the mouse-point grid
// takes it all and the buttons and key legend below it move down; in the right column the stage
// keeps its size and the slide list (and the slide-edit panel over it) takes it, the slide legend
// moving down; the recording panel's grid grows by as much while the panel is open, so that it
// shows as many rows more as the mouse-point grid it fills. Floating panels stay inside frMain.
// The controls must be placed again afterwards (ApplyLayoutScale).
void GiveSpareHeight(Controls& ui, double spare);

}  // namespace kemo
