#pragma once
// Mouse points: the list and its editing, the recorder, registering a recorded run and the marker drag.
#include <QString>

#include "document/records.h"
#include "points/points_state.h"

namespace kemo {

struct Editor;
class Stage;
enum class MarkerArray;

// --- the point lists (point_list.cpp) ---

// Marker i of the registered points is shown when i is `index` or its point is marked shown.
void ShowPointMarkers(Editor& ed, int index);
// The selected point of dgCursor: markers, slides and the player follow its time.
void GoToPoint(Editor& ed);
void OnPointGridFocus(Editor& ed, const QString& gridName);
void OnPointGridMouseMove(Editor& ed, int button);
void OnRecordedGridMouseMove(Editor& ed, int button);
// Runs before the grid applies the key; true when the key was consumed.
bool OnPointGridKeyDown(Editor& ed, int keyCode);
// Copies the current row of RS_CUR back into its slot (the Enter commit).
void CommitPointRow(Editor& ed);
// Copies row `row` of RS_CUR back into its slot. A time that breaks the order moves the point to
// its place (ids renumbered, markers with it) and leaves its row current.
void CommitPointRow(Editor& ed, int row);
// The same for a row of RS_recCUR and its recorded point, found by its "記録No.".
void CommitRecordedRow(Editor& ed, int row);
void OnPointMenuOpen(Editor& ed);
void DeletePoint(Editor& ed);
void DeleteRecordedPoint(Editor& ed);
void InsertPointAfter(Editor& ed);
void InsertRecordedPointAfter(Editor& ed);
// ppCurDelete and ppCurInsert: the list chosen by FocusGrid.
void OnPointDeleteCommand(Editor& ed);
void OnPointInsertCommand(Editor& ed);
void TogglePointShown(Editor& ed);
void DeleteAllPoints(Editor& ed);

// "ID［1］　時間［00:01.000］　X［50］　Y［25］" for a point; `prefix` is "ID" or "記録No.".
QString PointTooltip(const QString& prefix, int id, const PointRecord& p);

// --- the track's time order (point_order.cpp) ---

// Moves the point at `slot` of the first `count` points to its place in time order when its time
// is earlier than the point before it or later than the point after it: it goes after the points
// of the same time. Ids of the slots between are renumbered. The point's new slot.
int MovePointToPlace(PointArray& points, int count, int slot);
// The markers of the slots between follow the points MovePointToPlace moved from `from` to `to`
// (tooltips are left to the caller).
void MoveMarkersWithPoint(Stage* stage, MarkerArray array, int from, int to);
// The first slot whose time is earlier than the time of the slot before it; -1 when in order.
int FirstPointOutOfOrder(const PointArray& points, int count);
// After a load: one message naming the first registered point out of time order, if any.
void TellPointsOutOfOrder(Editor& ed);

// --- the recorder (recorder.cpp) ---

void ToggleRecording(Editor& ed);
void OnStageMouseDown(Editor& ed);
void OnStageMouseUp(Editor& ed);
void SampleRecordTick(Editor& ed);
void SetSampleInterval(Editor& ed, int intervalMs);
void ToggleRecordPanel(Editor& ed);
void RecordPanelTick(Editor& ed);
void ClearRecordedCommand(Editor& ed);
void ClearRecordedPoints(Editor& ed);
// Drops the recorded run with everything that shows it: its rows, the status line and its markers.
void DiscardRecordedRun(Editor& ed);
void BuildRecordedTable(Editor& ed);
void SetUpRecordedGrid(Editor& ed);
void RefreshRecordPanel(Editor& ed);
// Both record status labels from slot `slot` of recCur (the empty form when slot < 0).
void SetRecordStatus(Editor& ed, int slot);
// A fraction in the stored form "0.00".
QString FractionText(double fraction);

// --- registering a recorded run (register_points.cpp) ---

void RegisterRecordedPoints(Editor& ed);

// The merge of a recorded run into the registered points: registered points before the run stay,
// then every recorded point, then the registered points after the run's last time. Ids are
// renumbered; at most MaxRecords points are kept.
struct MergeResult {
  int count = 0;              // points in `out`
  bool overflow = false;      // points were cut at the limit
  double firstDroppedT = 0;   // time of the first point that did not fit
};
MergeResult MergeRecordedPoints(const PointArray& cur, const PointArray& rec, PointArray& out);

// The question asked before the merge, and the ids of the registered points it replaces
// (firstDel 0 when none, lastDel 0 when only one).
struct RegisterQuestion {
  QString text;
  int firstDel = 0;
  int lastDel = 0;
};
RegisterQuestion BuildRegisterQuestion(const PointArray& cur, const PointArray& rec, int recCount);

// --- the marker drag (marker_drag.cpp) ---

void OnMarkerMouseDown(Editor& ed, int index, double x, double y);
// The pointer moved with the marker held (stage coordinates, twips).
void OnMarkerDragMove(Editor& ed, double x, double y);
// The drag ended over the stage at (x, y) in its coordinates.
void OnMarkerDrop(Editor& ed, double x, double y);
// The drag ended anywhere else: the marker goes back.
void CancelMarkerDrag(Editor& ed);

// --- wiring (wire_points.cpp) ---

void WirePoints(Editor& ed);

}  // namespace kemo
