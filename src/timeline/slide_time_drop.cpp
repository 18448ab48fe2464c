#include "timeline/slide_time_drop.h"

#include <algorithm>
#include <vector>

#include "document/editor.h"
#include "document/history.h"
#include "document/tables.h"
#include "platform/record_set.h"
#include "playback/playback.h"
#include "playback/time_text.h"
#include "timeline/timeline_view.h"

namespace kemo {

namespace {
const QString kSlideTimeChange = QStringLiteral("スライド時刻変更");
}

bool TimelineEditsAllowed(const Editor& ed) { return !ed.DataFolder.isEmpty() && ed.EditorState == State::Idle; }

bool DropSlideTime(Editor& ed, int index, double seconds) {
  if (!TimelineEditsAllowed(ed) || index < 0 || index >= ed.SldCnt) return false;
  std::vector<double> times(ed.SldCnt);
  for (int i = 0; i < ed.SldCnt; ++i) times[i] = ed.Sld[i].pos;
  const TimeRange range = SlideTimeRange(times, index, 1e9);
  const double t = RoundToMilliseconds(std::clamp(seconds, range.lo, range.hi));
  SlideRecord& r = ed.Sld[index];
  if (t == r.pos) return false;
  r.pos = t;
  r.timeText = FormatTimeText(t);
  BuildSlideTable(ed);
  BuildSlideEditTable(ed, true);
  if (ed.RS_SLD && ed.RS_SLD->RecordCount() > index) ed.RS_SLD->MoveTo(index);
  RecordChange(ed, kSlideTimeChange);
  return true;
}

}  // namespace kemo
