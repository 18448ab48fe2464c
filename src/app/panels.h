#pragma once
// The recording panel's collapse, close and drag-to-move, and the grid overlay.
class QWidget;
class QPoint;

namespace kemo {

struct Editor;

void OnPanelCollapseToggle(Editor& ed);
void OnRecordPanelClose(Editor& ed);
void OnGridToggle(Editor& ed);

// A press on the panel's title strip at (x, y) twips within the strip: remembers the grab offset.
void OnPanelDragStart(Editor& ed, int panelIndex, double x, double y);
// Moves the dragged panel to left + x - GrabX, top + y - GrabY (frMain coordinates, twips), where
// (left, top) is the origin of the control the drop landed on and (x, y) the drop in its coordinates.
void MovePanelOnDrop(Editor& ed, int panelIndex, double x, double y, double left, double top);
// A drop over any control: its origin in frMain coordinates is added, whatever panel holds it.
void DropPanelOn(Editor& ed, int panelIndex, QWidget* target, const QPoint& posInTarget);

void WirePanels(Editor& ed);

}  // namespace kemo
