#include "timeline/slide_time_drop.h"

#include <algorithm>
#include <vector>

#include "document/editor.h"
#include "document/time_text.h"
#include "timeline/timeline_view.h"
#include "timing/time_change.h"

namespace kemo {

bool TimelineEditsAllowed(const Editor& ed) { return TimeChangeAllowed(ed); }

bool DropSlideTime(Editor& ed, int index, double seconds) {
  if (!TimelineEditsAllowed(ed) || index < 0 || index >= ed.SldCnt) return false;
  std::vector<double> times(ed.SldCnt);
  for (int i = 0; i < ed.SldCnt; ++i) times[i] = ed.Sld[i].pos;
  const TimeRange range = SlideTimeRange(times, index, 1e9);
  const double t = RoundToMilliseconds(std::clamp(seconds, range.lo, range.hi));
  if (t == ed.Sld[index].pos) return false;
  // The timing tools' registered time change: one undo step, the grids and the stage follow.
  TimeChange change;
  change.slides.push_back({index, t});
  return ApplyTimeChange(ed, change).applied;
}

}  // namespace kemo
