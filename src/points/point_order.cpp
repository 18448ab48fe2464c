// The point track in time order: a point whose time was changed moves to its place, and a track
// read out of order from content.xml is named once when it is loaded.
#include <algorithm>

#include "document/editor.h"
#include "platform/paths.h"
#include "platform/stage.h"
#include "document/time_text.h"
#include "points/points.h"

namespace kemo {

namespace {

// Times are compared in whole milliseconds: every stored time has three decimals, and two doubles
// for the same millisecond made by different arithmetic are the same time.
long long Ms(const PointRecord& p) { return RoundToWholeMilliseconds(p.t); }

// The record at `from` taken to `to`; the ones between move one place toward `from`.
void MoveRecord(PointArray& points, int from, int to) {
  PointRecord moved = std::move(points[from]);
  for (int i = from; i > to; --i) points[i] = std::move(points[i - 1]);
  for (int i = from; i < to; ++i) points[i] = std::move(points[i + 1]);
  points[to] = std::move(moved);
}

}  // namespace

int MovePointToPlace(PointArray& points, int count, int slot) {
  count = std::clamp(count, 0, MaxRecords);
  if (slot < 0 || slot >= count) return slot;
  const long long t = Ms(points[slot]);
  const bool early = slot > 0 && Ms(points[slot - 1]) > t;
  const bool late = slot + 1 < count && Ms(points[slot + 1]) < t;
  if (!early && !late) return slot;
  // Its place among the others: after every point of the same or an earlier time before the first
  // later one.
  int target = slot;
  if (early) {
    target = 0;
    while (target < slot && Ms(points[target]) <= t) ++target;
  } else {
    target = slot + 1;
    while (target < count && Ms(points[target]) <= t) ++target;
    --target;  // the slot it takes once the points between have moved up
  }
  MoveRecord(points, slot, target);
  for (int i = std::min(slot, target); i <= std::max(slot, target); ++i) points[i].id = static_cast<int16_t>(i + 1);
  return target;
}

void MoveMarkersWithPoint(Stage* stage, MarkerArray array, int from, int to) {
  if (!stage || from == to || from < 0 || to < 0) return;
  const int lo = std::min(from, to), hi = std::max(from, to);
  stage->EnsureMarkers(array, hi + 1);
  std::vector<StageMarker> markers;
  markers.reserve(hi - lo + 1);
  for (int i = lo; i <= hi; ++i) markers.push_back(stage->Marker(array, i));
  if (from < to)
    std::rotate(markers.begin(), markers.begin() + 1, markers.end());
  else
    std::rotate(markers.begin(), markers.end() - 1, markers.end());
  stage->BeginBatch();
  for (int i = lo; i <= hi; ++i) stage->SetMarker(array, i, markers[i - lo]);
  stage->EndBatch();
}

int FirstPointOutOfOrder(const PointArray& points, int count) {
  count = std::clamp(count, 0, MaxRecords);
  for (int i = 1; i < count; ++i)
    if (Ms(points[i]) < Ms(points[i - 1])) return i;
  return -1;
}

void TellPointsOutOfOrder(Editor& ed) {
  const int slot = FirstPointOutOfOrder(ed.Cur, ed.CurCnt);
  if (slot < 0) return;
  const PointRecord& p = ed.Cur[slot];
  // The track is kept as the file has it; the user learns where it first goes back in time.
  Tell(ed, ShowPath(ed.ContentPath()) + QStringLiteral("のマウスポイントは時間順に並んでいません。") + QLatin1Char('\r') +
               QStringLiteral("ID ") + QString::number(slot + 1) + QStringLiteral(" の時間 ") + p.timeText +
               QStringLiteral(" は前の ID ") + QString::number(slot) + QStringLiteral(" の時間 ") +
               ed.Cur[slot - 1].timeText + QStringLiteral(" より前です。"));
}

}  // namespace kemo
