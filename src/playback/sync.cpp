#include "playback/sync.h"

#include <algorithm>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/record_set.h"
#include "points/points.h"
#include "slides/slide_display.h"
#include "slides/slides_state.h"

namespace kemo {

namespace {


// Moves `rs` to the row in force at t in `slides` (count n) and shows that row's picture. The
// picture files are checked on disk only when the row changes: a tick that keeps the slide in
// force draws from memory.
void SyncSlideTable(Editor& ed, RecordSet* rs, const SlideArray& slides, int n, float t) {
  bool changed = false;
  if (rs != nullptr && rs->IsOpen() && rs->RecordCount() > 0) {
    n = std::clamp(n, 1, kSlots);
    const int target = std::min(FindRowInForce(n, t, [&](int i) { return slides[i].pos; }), rs->RecordCount() - 1);
    changed = rs->CurrentRow() != target;
    // The row's own move handlers would draw the stage as for a user's choice of row; the
    // picture is drawn here, once.
    const bool rewriting = ed.slides->RewritingRows;
    ed.slides->RewritingRows = true;
    rs->MoveTo(target);
    ed.slides->RewritingRows = rewriting;
  }
  // Without a current row the name is empty and the stage shows the default picture.
  const QString name = rs != nullptr ? rs->Text(SlideColumn::Image) : QString();
  ShowSyncedSlideImage(ed, SlideImagePath(ed, name), changed);
}

}  // namespace

int FindRowInForce(const double* times, int count, float t) {
  return FindRowInForce(count, t, [times](int i) { return times[i]; });
}

void SyncSlideRow(Editor& ed, float t) { SyncSlideTable(ed, ed.RS_SLD, ed.Sld, ed.SldCnt, t); }

void SyncSlideEditRow(Editor& ed, float t) {
  // No working copy (slide editing never started in this folder, or a folder was opened since):
  // there is no slide-edit row in force, and the stage keeps the registered slide.
  if (!HasSlideEditRows(ed)) return;
  SyncSlideTable(ed, ed.RS_SLDEDT, ed.SldEdt, ed.SldEdtCnt, t);
}

void SyncPointRow(Editor& ed, float t) {
  RecordSet* rs = ed.RS_CUR;
  if (rs == nullptr || !rs->IsOpen() || rs->RecordCount() == 0) return;
  const int n = std::clamp(static_cast<int>(ed.CurCnt), 1, kSlots);
  const int target = std::min(FindRowInForce(n, t, [&](int i) { return ed.Cur[i].t; }), rs->RecordCount() - 1);
  rs->MoveTo(target);
  bool ok = false;
  const int id = rs->Field(QStringLiteral("ID")).toInt(&ok);
  if (ok && id >= 1) ShowPointMarkers(ed, id - 1);
}

}  // namespace kemo
