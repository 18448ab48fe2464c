#pragma once
// The recording panel's collapse, close and drag-to-move, and the grid overlay.
namespace kemo {

struct Editor;

void OnPanelCollapseToggle(Editor& ed);
void OnRecordPanelClose(Editor& ed);
void OnGridToggle(Editor& ed);
// Moves the dragged panel to left + x - GrabX, top + y - GrabY (frMain coordinates, twips).
void MovePanelOnDrop(Editor& ed, int panelIndex, double x, double y, double left, double top);

void WirePanels(Editor& ed);

}  // namespace kemo
