// Inserting and deleting single slides. Both keep the target's invariants: records in slots
// 0..count-1 with id = slot + 1, the record set showing slot i in row i, blank slots past the count.
#include "slides/slide_rows.h"

#include <QLabel>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "document/time_text.h"
#include "slides/slides_state.h"

namespace kemo {

namespace {

void WriteRow(RecordSet& rs, const SlideRecord& r) {
  rs.SetField(SlideColumn::Id, r.id);
  rs.SetField(SlideColumn::Time, r.timeText);
  rs.SetField(SlideColumn::Title, r.caption);
  rs.SetField(SlideColumn::Image, r.image);
}

// Where the grid stood before the rows changed: its first visible row and the current row's place
// among the visible rows.
struct GridView {
  int first = 0;
  int visibleRow = 0;
};

GridView CaptureView(const SlideTarget& t) {
  if (!t.grid) return {};
  return {t.grid->FirstVisibleRow(), t.grid->VisibleRowOfCurrent()};
}

// Puts the same rows back on screen and the highlight back on its place: the rows have changed
// under a grid that did not move. Where the table has become too short for that place, the
// highlight goes to the nearest row.
void RestoreView(const SlideTarget& t, const GridView& v) {
  if (!t.grid || !t.rs || t.rs->RecordCount() == 0) return;
  t.grid->doItemsLayout();
  t.grid->ScrollRows(v.first - t.grid->FirstVisibleRow());
  const int first = t.grid->FirstVisibleRow();
  const int row = std::clamp(first + std::max(v.visibleRow, 1) - 1, 0, t.rs->RecordCount() - 1);
  t.rs->MoveTo(row);
  t.grid->ScrollRows(first - t.grid->FirstVisibleRow());
  t.grid->viewport()->update();
}

// The working grid's stage redraw is held back while its rows are rewritten.
class RewriteGuard {
 public:
  explicit RewriteGuard(Editor& ed) : ed_(ed), was_(ed.slides->RewritingRows) { ed_.slides->RewritingRows = true; }
  ~RewriteGuard() { ed_.slides->RewritingRows = was_; }
  RewriteGuard(const RewriteGuard&) = delete;
  RewriteGuard& operator=(const RewriteGuard&) = delete;

 private:
  Editor& ed_;
  bool was_;
};

// The slot the current row stands for, or -1.
int CurrentSlot(const SlideTarget& t) {
  if (!t.rs || !t.rs->HasCurrent()) return -1;
  bool ok = false;
  const int id = t.rs->Field(SlideColumn::Id).toString().trimmed().toInt(&ok);
  if (!ok || id < 1 || id > t.count) return -1;
  return id - 1;
}

void Finish(Editor& ed, const SlideTarget& t, const QString& change) {
  t.count = static_cast<int16_t>(t.rs->RecordCount());
  SetCaption(t.countLabel, SlideCountText(t.count));
  // A change of the registered slides is a change of the content, to be saved or warned about.
  if (t.registered) RecordChange(ed, change);
}

}  // namespace

SlideTarget RegisteredSlides(Editor& ed) {
  return {ed.Sld, ed.SldCnt, ed.RS_SLD, ed.ui.dgSlide, ed.ui.lbSldCnt[1], true};
}

SlideTarget WorkingSlides(Editor& ed) {
  return {ed.SldEdt, ed.SldEdtCnt, ed.RS_SLDEDT, ed.ui.dgSlideEdit, ed.ui.lbSldCnt[0], false};
}

QString SlideCountText(int count) { return QString::number(count) + QStringLiteral("枚のスライドがあります"); }

void DeleteSlideRow(Editor& ed, SlideTarget t) {
  if (!t.rs) return;
  if (t.rs->RecordCount() < 2) {
    Ask(ed, QStringLiteral("削除できません。１件以上のデータが必要です。"), MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  const GridView view = CaptureView(t);
  const int k = CurrentSlot(t);
  if (k < 0) return;
  const QString id = t.rs->Field(SlideColumn::Id).toString();
  if (Ask(ed, QStringLiteral("ID ") + id + QStringLiteral(" を削除します。よろしいですか？"), MsgButtons::YesNo,
           MsgIcon::None) != MsgResult::Yes)
    return;

  const int n = t.rs->RecordCount() - 1;
  RewriteGuard guard(ed);
  {
    // One model reset for the whole rewrite.
    RecordSet::BulkLoad bulk(*t.rs);
    for (int i = k; i < n; ++i) {
      SlideRecord& r = t.slides[i];
      r = t.slides[i + 1];
      r.id = static_cast<int16_t>(i + 1);
      t.rs->MoveTo(i);
      WriteRow(*t.rs, r);
    }
    t.rs->MoveTo(n);
    t.rs->Delete();
    t.slides[n] = SlideRecord{};
    t.rs->MoveFirst();
  }
  Finish(ed, t, ChangeName::SlideDelete);
  RestoreView(t, view);
}

void InsertSlideRow(Editor& ed, SlideTarget t) {
  if (!t.rs) return;
  const QString shown = Caption(ed.ui.dispTime);
  // The new slide gets the time its text shows, to the millisecond.
  const double time = ParseTimeText(shown);
  const long long timeMs = RoundToWholeMilliseconds(time);
  if (t.rs->RecordCount() == 0) {
    Ask(ed, QStringLiteral("新規行を登録しなきゃ！"), MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  // The arrays hold MaxRecords slides; a 3601st would be cut off by the next load or save.
  if (t.rs->RecordCount() >= MaxRecords || t.count >= MaxRecords) {
    Ask(ed, QStringLiteral("3600枚を超えるスライドは登録できません。"), MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  const GridView view = CaptureView(t);

  // A new slide goes before every slide of the same time.
  int p = t.count;
  for (int i = 0; i < t.count; ++i) {
    if (RoundToWholeMilliseconds(t.slides[i].pos) >= timeMs) {
      p = i;
      break;
    }
  }
  if (Ask(ed, shown + QStringLiteral(" にスライドを追加します。よろしいですか？"), MsgButtons::YesNo, MsgIcon::None) !=
      MsgResult::Yes)
    return;

  const int n = t.rs->RecordCount() + 1;
  RewriteGuard guard(ed);
  {
    RecordSet::BulkLoad bulk(*t.rs);
    t.rs->MoveLast();
    t.rs->AddNew();
    for (int i = n - 1; i >= 0; --i) {
      SlideRecord& r = t.slides[i];
      if (i == p) {
        r.pos = time;
        r.timeText = shown;
        r.caption.clear();
        r.image.clear();
      } else if (i > p) {
        r = t.slides[i - 1];
      }
      r.id = static_cast<int16_t>(i + 1);
      t.rs->MoveTo(i);
      WriteRow(*t.rs, r);
    }
  }
  Finish(ed, t, ChangeName::SlideInsert);
  RestoreView(t, view);
}

}  // namespace kemo
