#pragma once
// The registered time change: new times for some rows of the registered slides and points, as one
// step of the document history. The timing tools and the timeline's drags both go through it.
#include <QString>
#include <vector>

#include "document/records.h"

namespace kemo {

struct Editor;

// The name of the step (元に戻す：時間調整).
inline const QString kTimeAdjustName = QStringLiteral("時間調整");

// One row (slot, 0-based) of a table and its new time in seconds.
struct RowTime {
  int row = 0;
  double t = 0.0;
};

struct TimeChange {
  std::vector<RowTime> slides;
  std::vector<RowTime> points;
  bool Empty() const { return slides.empty() && points.empty(); }
};

// Where the first row listed of each table stands once the tables are back in time order; -1 when
// that table had no row listed (or nothing changed).
struct TimeChangeResult {
  bool applied = false;
  int slideRow = -1;
  int pointRow = -1;
};

// Whether the registered times may change now: a folder is open and nothing plays, records or is
// edited in the slide-edit panel.
bool TimeChangeAllowed(const Editor& ed);

// The pure part on one table: sets the times (rows out of 0..count-1 and times that are not finite
// are left out), puts the table back in time order (rows of equal time keep their order), renumbers
// the ids and writes each changed time's text. Point times are kept to whole milliseconds, as the
// table holds them. Returns the new slot of each listed row, in the order listed.
std::vector<int> SetTableTimes(SlideArray& table, int count, const std::vector<RowTime>& times);
std::vector<int> SetTableTimes(PointArray& table, int count, const std::vector<RowTime>& times);

// Sets the new times of the registered tables as one step named `label`, and shows the tables in
// the grids, the slide-edit copy and the stage, the first listed row of each table selected.
// Nothing happens (applied false) when TimeChangeAllowed says no or no time actually changes.
TimeChangeResult ApplyTimeChange(Editor& ed, const TimeChange& change, const QString& label = kTimeAdjustName);

// After a timing command changed the registered tables directly (ed.Sld, ed.Cur and their counts):
// records them as one step named `label` and shows them, rows slideRow and pointRow selected (-1:
// that table was not touched). False when the tables did not change.
bool CommitTimingTables(Editor& ed, const QString& label, int slideRow, int pointRow);

}  // namespace kemo
