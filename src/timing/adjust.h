#pragma once
// Shift and stretch of the registered times, and the safe fixes the check offers: each first planned
// as a pure function of the tables (the preview: row, old time, new time), then applied as one step
// of the history through the registered time change.
#include <QString>
#include <vector>

#include "timing/check.h"
#include "timing/time_change.h"

namespace kemo {

struct Editor;

enum class TimingTarget { Slides = 1, Points = 2, Both = 3 };
enum class TimingScope { All, Selected, FromSelected };

inline bool Includes(TimingTarget target, TimingTable table) {
  return (static_cast<int>(target) & (table == TimingTable::Slides ? 1 : 2)) != 0;
}

// One row of a preview: its time before and after (removed: the row goes).
struct PlanRow {
  TimingTable table = TimingTable::Slides;
  int row = 0;  // 1-based, as the grids show it
  double oldTime = 0.0;
  double newTime = 0.0;
  bool removed = false;
};

struct TimingPlan {
  QString error;  // the reason nothing can be applied, naming the field or row; "" when it can
  std::vector<PlanRow> rows;  // the rows that change, slides first, each table in row order
  bool Ok() const { return error.isEmpty(); }
  TimeChange Change() const;
};

// "+00:02.500", "-01:00.000", "00:00.250": an offset with the time text's rules and an optional sign.
bool ParseOffsetText(const QString& text, double* seconds);
// "01:02.500": a time as the grids write it (no sign).
bool ParseTimeField(const QString& text, double* seconds);

struct ShiftRequest {
  TimingTarget target = TimingTarget::Both;
  TimingScope scope = TimingScope::All;
  std::vector<int> selectedSlides;  // 0-based rows, for TimingScope::Selected
  std::vector<int> selectedPoints;
  double fromTime = 0.0;  // for TimingScope::FromSelected: every row at or after this time
  double offset = 0.0;
};

// The shift; refused when a new time would fall below 0 or past videoLength (when known, > 0),
// naming the first such row.
TimingPlan PlanShift(const CheckTables& tables, const ShiftRequest& request, double videoLength);

// A row and its true time: times between two anchors move linearly between them, before the first
// and after the last they move with the nearest anchor.
struct Anchor {
  TimingTable table = TimingTable::Slides;
  int row = 0;  // 1-based
  double trueTime = 0.0;
};

// The stretch of every row of the target; refused (nothing changed) with fewer than two anchors, an
// anchor on a row that is not there, two on one row, anchors out of order (their rows' times and
// their true times must both rise in the order listed), or a new time out of 0..videoLength.
TimingPlan PlanStretch(const CheckTables& tables, TimingTarget target, const std::vector<Anchor>& anchors,
                       double videoLength);

// Applies a plan's time changes as one step; false when it has an error or changes nothing.
bool ApplyTimingPlan(Editor& ed, const TimingPlan& plan);

// The check's safe fixes: sort a table out of order, drop rows at the same time as their neighbour
// (the earlier of the two, which is never in force) or showing the same picture as the slide before,
// drop the rows past the video's end. Every fix leaves at least one row in its table.
enum class CheckFix { None, Sort, DropSameTime, DropSamePicture, DropPastEnd };
CheckFix FixFor(ProblemKind kind);
QString FixName(CheckFix fix);  // the button's text
// The rows the fix changes or drops in `table`.
TimingPlan PlanFix(const CheckTables& tables, CheckFix fix, TimingTable table, double videoLength);
// Applies the fix to the registered tables as one step; false when there is nothing to do.
bool ApplyCheckFix(Editor& ed, CheckFix fix, TimingTable table, double videoLength);

// The anchors of a data folder, kept in the user's state (not in the data folder) until cleared.
std::vector<Anchor> LoadAnchors(const QString& folder);
void SaveAnchors(const QString& folder, const std::vector<Anchor>& anchors);  // empty: cleared

// The registered tables of the editor as the check and the plans see them.
CheckTables TablesOf(const Editor& ed);
// "スライド 3" / "マウスポイント 12".
QString RowName(TimingTable table, int row);

}  // namespace kemo
