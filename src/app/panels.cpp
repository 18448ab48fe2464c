// Placeholder until the panels land.
#include "app/panels.h"

#include "document/editor.h"

namespace kemo {
void OnPanelCollapseToggle(Editor&) {}
void OnRecordPanelClose(Editor&) {}
void OnGridToggle(Editor&) {}
void MovePanelOnDrop(Editor&, int, double, double, double, double) {}
void WirePanels(Editor&) {}
}  // namespace kemo
