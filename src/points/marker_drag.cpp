// Dragging a registered point's marker over the stage picture to give the point a new place.
#include "document/editor.h"
#include "document/tables.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "points/points.h"
#include "points/points_internal.h"
#include "points/points_state.h"

namespace kemo {

using namespace points_detail;

void OnMarkerMouseDown(Editor& ed, int index, double x, double y) {
  PointsState& ps = *ed.points;
  ps.GrabX = static_cast<float>(x);
  ps.GrabY = static_cast<float>(y);
  const StageMarker& m = ed.ui.img ? ed.ui.img->Marker(MarkerArray::Point, index) : StageMarker{};
  ps.MarkerStartTop = static_cast<float>(m.top);
  ps.MarkerStartLeft = static_cast<float>(m.left);
  ps.DraggedMarker = index;
}

void OnMarkerDragMove(Editor& ed, double x, double y) {
  const PointsState& ps = *ed.points;
  if (ps.DraggedMarker < 0 || !ed.ui.img) return;
  ed.ui.img->MoveMarker(MarkerArray::Point, ps.DraggedMarker, x - ps.GrabX, y - ps.GrabY);
}

void CancelMarkerDrag(Editor& ed) {
  PointsState& ps = *ed.points;
  if (ps.DraggedMarker >= 0 && ed.ui.img)
    ed.ui.img->MoveMarker(MarkerArray::Point, ps.DraggedMarker, ps.MarkerStartLeft, ps.MarkerStartTop);
  ps.DraggedMarker = -1;
}

void OnMarkerDrop(Editor& ed, double x, double y) {
  PointsState& ps = *ed.points;
  const int marker = ps.DraggedMarker;
  if (marker < 0) return;
  ps.DraggedMarker = -1;
  Stage* stage = ed.ui.img;
  RecordSet* rs = ed.RS_CUR;
  // The dragged marker's own point becomes the selected one, so that the point that moves is the
  // one whose marker the user moved.
  if (rs && marker < ed.CurCnt && marker < rs->RecordCount()) rs->MoveTo(marker);
  const int id = CurrentId(rs, kIdColumn);

  if (stage) stage->MoveMarker(MarkerArray::Point, marker, x - ps.GrabX, y - ps.GrabY);
  if (Ask(ed, QStringLiteral("マウスポイントを移動しますか？"), MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes) {
    if (stage) stage->MoveMarker(MarkerArray::Point, marker, ps.MarkerStartLeft, ps.MarkerStartTop);
    return;
  }
  if (!stage || id < 1 || id > ed.CurCnt || id > MaxRecords) return;
  const double width = stage->WidthTwips(), height = stage->HeightTwips();
  if (width <= 0 || height <= 0) return;
  PointRecord& p = ed.Cur[id - 1];
  p.x = FractionText(x / width);
  p.y = FractionText(y / height);
  // The row whose ID is the point's, searched from the first row.
  for (int row = 0; row < rs->RecordCount(); ++row) {
    if (rs->FieldAt(row, rs->ColumnIndex(kIdColumn)).toInt() != id) continue;
    rs->MoveTo(row);
    rs->SetField(kXColumn, PercentText(p.x));
    rs->SetField(kYColumn, PercentText(p.y));
    break;
  }
  RecordChange(ed, ChangeName::PointMove);
}

}  // namespace kemo
