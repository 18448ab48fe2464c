#pragma once
// State of the mouse-point list, the recorder and the marker drag.
#include <QString>
#include <cstdint>
#include <functional>

class QMenu;

namespace kemo {

struct PointsState {
  // The point grid that last had the focus: "dgCursor" or "dgRecCursor"; "" until one had it
  // (the delete and insert commands then act on the recorded list).
  QString FocusGrid;
  // Recorder.
  int16_t recCurPos = 0;     // the slot the next sample writes
  bool PressPending = false;  // a button went down over the stage; the next sample consumes it
  float AnchorX = 0, AnchorY = 0;  // pointer position of the first sample after the press (twips)
  uint8_t RecordMoveMode = 0;  // 0 free, 1 horizontal only, 2 vertical only
  bool ButtonHeld = false;     // a button is down over the stage in a recording state
  // Bumped on every change of recCur; the panel's timer rebuilds the grid only when it moved on.
  uint64_t RecRevision = 1;
  uint64_t RecBuiltRevision = 0;
  // Marker drag.
  float GrabX = 0, GrabY = 0;
  float MarkerStartLeft = 0, MarkerStartTop = 0;
  int DraggedMarker = -1;
  // Shows the point menu at the pointer; unset means the menu's own popup. Tests replace it.
  std::function<void(QMenu*)> PopupMenu;
};

}  // namespace kemo
