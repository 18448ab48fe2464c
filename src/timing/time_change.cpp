#include "timing/time_change.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "document/editor.h"
#include "document/history.h"
#include "document/time_text.h"

namespace kemo {

namespace {

double& TimeOf(SlideRecord& r) { return r.pos; }
double& TimeOf(PointRecord& r) { return r.t; }
double Keep(const SlideRecord&, double t) { return t; }
double Keep(const PointRecord&, double t) { return RoundToMilliseconds(t); }

template <class Rec>
std::vector<int> SetTimes(SlotTable<Rec>& table, int count, const std::vector<RowTime>& times) {
  count = std::clamp(count, 0, MaxRecords);
  std::vector<int> listed;
  listed.reserve(times.size());
  bool changed = false;
  for (const RowTime& rt : times) {
    if (rt.row < 0 || rt.row >= count || !std::isfinite(rt.t)) continue;
    Rec& r = table[rt.row];
    const double t = Keep(r, rt.t) + 0.0;  // + 0.0: no "-0" in the file
    listed.push_back(rt.row);
    if (TimeOf(r) == t && r.timeText == FormatTimeText(t)) continue;
    TimeOf(r) = t;
    r.timeText = FormatTimeText(t);
    changed = true;
  }
  if (!changed) return std::vector<int>(listed.size(), -1);
  // Back into time order, compared in whole milliseconds as the point track is everywhere else;
  // rows of the same time keep their order.
  std::vector<long long> ms(count);
  for (int i = 0; i < count; ++i) ms[i] = RoundToWholeMilliseconds(TimeOf(table[i]));
  std::vector<int> order(count);
  std::iota(order.begin(), order.end(), 0);
  if (!std::is_sorted(ms.begin(), ms.end())) {
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ms[a] < ms[b]; });
    std::vector<Rec> moved(count);
    for (int i = 0; i < count; ++i) moved[i] = std::move(table[order[i]]);
    for (int i = 0; i < count; ++i) table[i] = std::move(moved[i]);
  }
  std::vector<int> placeOf(count);
  for (int i = 0; i < count; ++i) {
    placeOf[order[i]] = i;
    table[i].id = static_cast<int16_t>(i + 1);
  }
  for (int& row : listed) row = placeOf[row];
  return listed;
}

}  // namespace

bool TimeChangeAllowed(const Editor& ed) { return !ed.DataFolder.isEmpty() && ed.EditorState == State::Idle; }

std::vector<int> SetTableTimes(SlideArray& table, int count, const std::vector<RowTime>& times) {
  return SetTimes(table, count, times);
}
std::vector<int> SetTableTimes(PointArray& table, int count, const std::vector<RowTime>& times) {
  return SetTimes(table, count, times);
}

bool CommitTimingTables(Editor& ed, const QString& label, int slideRow, int pointRow) {
  if (ed.history->TablesAsRecorded(ed)) return false;
  RecordChange(ed, label);
  ShowChangedTables(ed, slideRow, pointRow);
  return true;
}

TimeChangeResult ApplyTimeChange(Editor& ed, const TimeChange& change, const QString& label) {
  TimeChangeResult result;
  if (!TimeChangeAllowed(ed) || change.Empty()) return result;
  const std::vector<int> slides = SetTableTimes(ed.Sld, ed.SldCnt, change.slides);
  const std::vector<int> points = SetTableTimes(ed.Cur, ed.CurCnt, change.points);
  const int slideRow = slides.empty() ? -1 : slides.front();
  const int pointRow = points.empty() ? -1 : points.front();
  if (slideRow < 0 && pointRow < 0) return result;
  result.applied = CommitTimingTables(ed, label, slideRow, pointRow);
  if (result.applied) {
    result.slideRow = slideRow;
    result.pointRow = pointRow;
  }
  return result;
}

}  // namespace kemo
