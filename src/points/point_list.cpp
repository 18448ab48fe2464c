// The registered and the recorded point lists: going to a point, the Enter commit, the point menu's
// captions, deleting and inserting single points, showing or hiding one, and deleting them all.
#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "platform/services.h"
#include "platform/stage.h"
#include "playback/player_wait.h"
#include "playback/sync.h"
#include "document/time_text.h"
#include "points/points.h"
#include "points/points_internal.h"
#include "points/points_state.h"

namespace kemo {

using namespace points_detail;

namespace points_detail {

int CurrentId(const RecordSet* rs, const QString& idColumn) {
  if (!rs || !rs->HasCurrent()) return 0;
  bool ok = false;
  const int id = rs->Field(idColumn).toInt(&ok);
  return ok ? id : 0;
}

void WritePointRow(RecordSet& rs, const QString& idColumn, const PointRecord& p) {
  rs.SetField(idColumn, p.id);
  rs.SetField(kTimeColumn, p.timeText);
  rs.SetField(kXColumn, PercentText(p.x));
  rs.SetField(kYColumn, PercentText(p.y));
  rs.SetField(kMarkColumn, p.mark);
}

void ClearPoint(PointRecord& p) { p = PointRecord{}; }

bool IsRecordingState(const Editor& ed) {
  return ed.EditorState == State::RecordPaused || ed.EditorState == State::RecordPlaying;
}

}  // namespace points_detail

namespace {

bool IsShownMark(const Editor& ed, const QString& mark) {
  const QString on = ed.SymOn();
  return !on.isEmpty() && mark == on;
}

// Pauses a playing video, leaves a paused one, and starts and pauses one that never played, so
// that a position can be written.
// False when the wait was abandoned (another folder opened, or the program is closing).
bool PreparePlayerForPoint(Editor& ed) {
  MediaPlayer* player = ed.svc.player;
  if (!player) return true;
  const int state = player->PlayState();
  if (state == PlayState::Playing) {
    player->Pause();
    return true;
  }
  if (state == PlayState::Paused) return true;
  if (ed.svc.pointer) ed.svc.pointer->SetWait(true);
  player->Play();
  const WaitEnd end = WaitForPlayerEnd(ed, [player] { return player->PlayState() == PlayState::Playing; });
  if (end == WaitEnd::Reached) player->Pause();
  return end != WaitEnd::Abandoned;
}

// Keeps the rows the user was looking at in the grid window after the table changed: row `row`
// becomes current at visible position `visibleRow` (1 for the first visible row).
void RestoreGridRow(DataGrid* grid, RecordSet* rs, int row, int visibleRow) {
  if (!rs || rs->RecordCount() == 0) return;
  row = std::clamp(row, 0, rs->RecordCount() - 1);
  if (grid) {
    const int first = std::max(0, row - std::max(1, visibleRow) + 1);
    grid->ScrollRows(first - grid->FirstVisibleRow());
  }
  rs->MoveTo(row);
}

void PopUpPointMenu(Editor& ed) {
  QMenu* menu = ed.ui.ppCur;
  if (!menu) return;
  if (ed.points->PopupMenu)
    ed.points->PopupMenu(menu);
  else
    menu->popup(QCursor::pos());
}

// The point the seek and marker commands go to: markers, slides, player and time label.
void FollowPoint(Editor& ed, int slot, bool preparePlayer) {
  if (slot < 0 || slot >= MaxRecords) return;
  // A copy: the wait for the player runs other handlers, which may rebuild the point table.
  const PointRecord p = ed.Cur[slot];
  ShowPointMarkers(ed, slot);
  SyncSlideRow(ed, static_cast<float>(p.t));
  SyncSlideEditRow(ed, static_cast<float>(p.t));
  // A wait that outlived its folder (or the window) leaves the new one alone.
  if (preparePlayer && !PreparePlayerForPoint(ed)) return;
  if (ed.svc.player) ed.svc.player->SetCurrentPosition(p.t);
  if (ed.ui.dispTime) ed.ui.dispTime->setText(p.timeText);
}

// A time text as the grids show it, with any number of minute digits.
bool IsTimeText(const QString& text) {
  static const QRegularExpression re(QStringLiteral("^\\s*\\d+:[0-5]?\\d(\\.\\d{1,3})?\\s*$"));
  return re.match(text).hasMatch();
}

// A whole percentage typed into a grid cell, back as a fraction; false when it is not a number.
bool PercentToFraction(const QString& cell, QString* fraction) {
  bool ok = false;
  const double v = cell.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v)) return false;
  *fraction = QString::number(v / 100.0);
  return true;
}

}  // namespace

QString PointTooltip(const QString& prefix, int id, const PointRecord& p) {
  return prefix + QStringLiteral("［") + QString::number(id) + QStringLiteral("］") + QStringLiteral("　時間［") +
         p.timeText + QStringLiteral("］") + QStringLiteral("　X［") + PercentText(p.x) + QStringLiteral("］") +
         QStringLiteral("　Y［") + PercentText(p.y) + QStringLiteral("］");
}

void ShowPointMarkers(Editor& ed, int index) {
  Stage* stage = ed.ui.img;
  if (!stage || !ed.RS_CUR) return;
  const int rows = std::min(ed.RS_CUR->RecordCount(), MaxRecords);
  // The shown mark once per call: this runs on every playback tick over all points.
  const QString on = ed.SymOn();
  for (int i = 0; i < rows; ++i) {
    const bool show = i == index || (!on.isEmpty() && ed.Cur[i].mark == on);
    const bool was = stage->Marker(MarkerArray::Point, i).visible;
    stage->SetMarkerVisible(MarkerArray::Point, i, show);
    // Raising only what newly appears (and the selected one) keeps a tick from touching every
    // marker; the selected marker always ends in front.
    if (show && !was && i != index) stage->BringToFront(MarkerArray::Point, i);
  }
  if (index >= 0 && index < rows) stage->BringToFront(MarkerArray::Point, index);
}

void GoToPoint(Editor& ed) {
  const int id = CurrentId(ed.RS_CUR, kIdColumn);
  if (id < 1 || id > ed.CurCnt) return;
  FollowPoint(ed, id - 1, true);
}

void OnPointGridFocus(Editor& ed, const QString& gridName) { ed.points->FocusGrid = gridName; }

void OnPointGridMouseMove(Editor& ed, int button) {
  const bool any = ed.RS_CUR && ed.RS_CUR->RecordCount() > 0;
  if (ed.ui.ppCurDelete) ed.ui.ppCurDelete->setEnabled(any);
  if (ed.ui.ppCurDisp) ed.ui.ppCurDisp->setEnabled(any);
  if (any && button == 2) PopUpPointMenu(ed);
}

void OnRecordedGridMouseMove(Editor& ed, int button) {
  if (button == 2) PopUpPointMenu(ed);
}

bool OnPointGridKeyDown(Editor& ed, int keyCode) {
  if (keyCode == 40 || keyCode == 38) {
    const int id = CurrentId(ed.RS_CUR, kIdColumn);
    if (id < 1 || id > ed.CurCnt) return false;
    const int index = id - 1;
    int target;
    if (keyCode == 40)
      target = id == ed.CurCnt ? index : index + 1;
    else
      target = id == 1 ? 0 : index - 1;
    FollowPoint(ed, target, false);
    return false;  // the grid moves its row itself
  }
  if (keyCode == 13) CommitPointRow(ed);
  return false;
}

namespace {

// Takes the cells of row `row` of a point table into p. A cell that holds no time or number, or
// is left as it was shown, keeps the stored value and shows it again. True when p changed;
// *timeChanged tells whether its time did.
bool TakePointCells(RecordSet& rs, int row, PointRecord& p, bool* timeChanged) {
  bool changed = false;
  *timeChanged = false;
  const int timeCol = rs.ColumnIndex(kTimeColumn);
  const QString timeCell = rs.FieldAt(row, timeCol).toString();
  if (timeCell != p.timeText) {
    if (IsTimeText(timeCell)) {
      const double t = RoundToMilliseconds(ParseTimeText(timeCell.trimmed()));
      *timeChanged = t != p.t;
      p.t = t;
      p.timeText = FormatTimeText(p.t);
      changed = true;
    }
    // A text that is no time keeps the point's time; the cell shows it again.
    rs.SetFieldAt(row, timeCol, p.timeText);
  }
  // The cells show whole percentages: a cell left as it was keeps the stored fraction with its
  // full precision, only a changed one replaces it.
  auto commitFraction = [&](const QString& column, QString& fraction) {
    const int col = rs.ColumnIndex(column);
    const QString cell = rs.FieldAt(row, col).toString();
    if (cell == PercentText(fraction)) return;
    QString v;
    if (PercentToFraction(cell, &v)) {
      fraction = v;
      changed = true;
    }
    rs.SetFieldAt(row, col, PercentText(fraction));
  };
  commitFraction(kXColumn, p.x);
  commitFraction(kYColumn, p.y);
  const QString mark = rs.FieldAt(row, rs.ColumnIndex(kMarkColumn)).toString();
  if (mark != p.mark) {
    p.mark = mark;
    changed = true;
  }
  return changed;
}

// Puts a marker at its point's place on the stage, with its tooltip.
void PlaceMarker(Stage* stage, MarkerArray array, int slot, const PointRecord& p, const QString& prefix) {
  if (!stage) return;
  bool okX = false, okY = false;
  const double x = ReadNumber(p.x, &okX), y = ReadNumber(p.y, &okY);
  const StageMarker& m = stage->Marker(array, slot);
  if (okX && okY)
    stage->MoveMarker(array, slot, x * stage->WidthTwips() - m.width / 2 + 10, y * stage->HeightTwips() - m.height / 2 + 10);
  // The point table's markers take their text from the table when it is asked for.
  if (array != MarkerArray::Point) stage->SetMarkerTooltip(array, slot, PointTooltip(prefix, slot + 1, p));
}

}  // namespace

void CommitPointRow(Editor& ed) {
  if (ed.RS_CUR && ed.RS_CUR->HasCurrent()) CommitPointRow(ed, ed.RS_CUR->CurrentRow());
}

void CommitPointRow(Editor& ed, int row) {
  RecordSet* rs = ed.RS_CUR;
  if (!rs || row < 0 || row >= rs->RecordCount()) return;
  // Rows and slots match one to one; the row, not an ID typed over, says which point it is.
  const int id = row + 1;
  if (id > ed.CurCnt || id > MaxRecords) return;
  const int idCol = rs->ColumnIndex(kIdColumn);
  if (rs->FieldAt(row, idCol).toInt() != id) rs->SetFieldAt(row, idCol, id);
  bool timeChanged = false;
  if (!TakePointCells(*rs, row, ed.Cur[id - 1], &timeChanged)) return;
  Stage* stage = ed.ui.img;
  PlaceMarker(stage, MarkerArray::Point, id - 1, ed.Cur[id - 1], QStringLiteral("ID"));

  // The track stays in time order: a time that breaks it moves the point to its place.
  const int slot = timeChanged ? MovePointToPlace(ed.Cur, ed.CurCnt, id - 1) : id - 1;
  if (slot != id - 1) {
    const int lo = std::min(slot, id - 1), hi = std::max(slot, id - 1);
    MoveMarkersWithPoint(stage, MarkerArray::Point, id - 1, slot);
    {
      RecordSet::BulkLoad bulk(*rs);
      for (int i = lo; i <= hi; ++i) {
        rs->MoveTo(i);
        WritePointRow(*rs, kIdColumn, ed.Cur[i]);
      }
      rs->MoveTo(slot);
    }
  }
  RecordChange(ed, ChangeName::PointEdit);
}

void CommitRecordedRow(Editor& ed, int row) {
  RecordSet* rs = ed.RS_recCUR;
  if (!rs || row < 0 || row >= rs->RecordCount()) return;
  // The grid lists the run newest first; its locked "記録No." names the recorded point.
  bool ok = false;
  const int no = rs->FieldAt(row, rs->ColumnIndex(kRecNoColumn)).toInt(&ok);
  const int count = std::min<int>(ed.recCurCnt, MaxRecords);
  if (!ok || no < 1 || no > count) return;
  bool timeChanged = false;
  if (!TakePointCells(*rs, row, ed.recCur[no - 1], &timeChanged)) return;
  Stage* stage = ed.ui.img;
  PlaceMarker(stage, MarkerArray::RecPoint, no - 1, ed.recCur[no - 1], QStringLiteral("記録No."));
  // The run is registered in time order too.
  const int slot = timeChanged ? MovePointToPlace(ed.recCur, count, no - 1) : no - 1;
  if (slot != no - 1) {
    MoveMarkersWithPoint(stage, MarkerArray::RecPoint, no - 1, slot);
    for (int i = std::min(slot, no - 1); stage && i <= std::max(slot, no - 1); ++i)
      stage->SetMarkerTooltip(MarkerArray::RecPoint, i, PointTooltip(QStringLiteral("記録No."), i + 1, ed.recCur[i]));
  }
  ++ed.points->RecRevision;
  RefreshRecordPanel(ed);
  SetRecordStatus(ed, count - 1);
  // The edited point's row stays the current one.
  for (int r = 0; r < rs->RecordCount(); ++r)
    if (rs->FieldAt(r, rs->ColumnIndex(kRecNoColumn)).toInt() == slot + 1) rs->MoveTo(r);
}

void OnPointMenuOpen(Editor& ed) {
  Controls& ui = ed.ui;
  const QString show = QStringLiteral("マウスポイント表示");
  const QString rec = QStringLiteral("マウスポイント記録開始");
  const QString recDisp = QStringLiteral("マウスポイント記録表示");
  if (ui.ppCurDisp) {
    const bool shown = ed.RS_CUR && ed.RS_CUR->HasCurrent() && IsShownMark(ed, ed.RS_CUR->Text(kMarkColumn));
    ui.ppCurDisp->setText(shown ? QString(show).replace(QStringLiteral("表示"), QStringLiteral("非表示")) : show);
  }
  if (ui.ppCurRec)
    ui.ppCurRec->setText(IsRecordingState(ed) ? QString(rec).replace(QStringLiteral("開始"), QStringLiteral("停止")) : rec);
  if (ui.ppCurRecDisp) {
    const bool panel = ui.fDialog[0] && !ui.fDialog[0]->isHidden();
    ui.ppCurRecDisp->setText(panel ? QString(recDisp).replace(QStringLiteral("表示"), QStringLiteral("非表示"))
                                   : recDisp);
  }
}

void DeletePoint(Editor& ed) {
  RecordSet* rs = ed.RS_CUR;
  if (!rs) return;
  const int rows = rs->RecordCount();
  if (rows < 2) {
    Ask(ed, QStringLiteral("削除できません。１件以上のデータが必要です。"), MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  DataGrid* grid = ed.ui.dgCursor;
  const int visibleRow = grid ? grid->VisibleRowOfCurrent() : 1;
  const int id = CurrentId(rs, kIdColumn);
  if (id < 1 || id > rows || rows > MaxRecords) return;
  const int del = id - 1;
  if (Ask(ed, QStringLiteral("ID ") + QString::number(id) + QStringLiteral(" を削除します。よろしいですか？"),
          MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
    return;

  ed.CurCnt = static_cast<int16_t>(rows - 1);
  const int count = ed.CurCnt;
  Stage* stage = ed.ui.img;
  if (stage) stage->BeginBatch();
  for (int i = del; i < count; ++i) {
    ed.Cur[i] = ed.Cur[i + 1];
    ed.Cur[i].id = static_cast<int16_t>(i + 1);
    if (stage) {
      const StageMarker& next = stage->Marker(MarkerArray::Point, i + 1);
      stage->MoveMarker(MarkerArray::Point, i, next.left, next.top);
      stage->SetMarkerVisible(MarkerArray::Point, i, IsShownMark(ed, ed.Cur[i].mark));
    }
  }
  ClearPoint(ed.Cur[count]);
  if (stage) {
    stage->SetMarkerVisible(MarkerArray::Point, count, false);
    stage->EndBatch();
  }
  {
    RecordSet::BulkLoad bulk(*rs);
    for (int i = del; i < count; ++i) {
      rs->MoveTo(i);
      WritePointRow(*rs, kIdColumn, ed.Cur[i]);
    }
    rs->MoveTo(count);
    rs->Delete();
    rs->MoveFirst();
  }
  RestoreGridRow(grid, rs, del, visibleRow);
  RecordChange(ed, ChangeName::PointDelete);
}

void DeleteRecordedPoint(Editor& ed) {
  RecordSet* rs = ed.RS_recCUR;
  if (!rs) return;
  // The grid may trail the recorder by one refresh: the list itself says how many points there are.
  const int count = std::min<int>(ed.recCurCnt, MaxRecords);
  if (count < 2 || rs->RecordCount() < 2) {
    Ask(ed, QStringLiteral("削除できません。１件以上のデータが必要です。"), MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  DataGrid* grid = ed.ui.dgRecCursor;
  const int visibleRow = grid ? grid->VisibleRowOfCurrent() : 1;
  const int no = CurrentId(rs, kRecNoColumn);
  if (no < 1 || no > count) return;
  const int del = no - 1;
  if (Ask(ed, QStringLiteral("ID ") + QString::number(no) + QStringLiteral(" を削除します。よろしいですか？"),
          MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
    return;

  ed.recCurCnt = static_cast<int16_t>(count - 1);
  const int n = ed.recCurCnt;
  Stage* stage = ed.ui.img;
  if (stage) stage->BeginBatch();
  for (int i = del; i < n; ++i) {
    ed.recCur[i] = ed.recCur[i + 1];
    ed.recCur[i].id = static_cast<int16_t>(i + 1);
    if (stage) {
      const StageMarker& next = stage->Marker(MarkerArray::RecPoint, i + 1);
      stage->MoveMarker(MarkerArray::RecPoint, i, next.left, next.top);
      stage->SetMarkerTooltip(MarkerArray::RecPoint, i, PointTooltip(QStringLiteral("ID"), i + 1, ed.recCur[i]));
      stage->SetMarkerVisible(MarkerArray::RecPoint, i, IsShownMark(ed, ed.recCur[i].mark));
    }
  }
  ClearPoint(ed.recCur[n]);
  if (stage) {
    stage->SetMarkerVisible(MarkerArray::RecPoint, n, false);
    stage->EndBatch();
  }
  // The next sample goes to the first free slot, so the list never has a gap below its count.
  ed.points->recCurPos = static_cast<int16_t>(n);
  ++ed.points->RecRevision;
  NoteRecordedRun(ed);
  RefreshRecordPanel(ed);
  SetRecordStatus(ed, n - 1);
  if (grid) grid->SetVisibleRowOfCurrent(visibleRow);
}

void InsertPointAfter(Editor& ed) {
  RecordSet* rs = ed.RS_CUR;
  if (!rs) return;
  const int rows = rs->RecordCount();
  if (rows == 0) {
    ed.CurCnt = 0;
    BuildPointTable(ed);
    return;
  }
  // The table holds at most MaxRecords points; a further one has no slot and no marker.
  if (rows >= MaxRecords) return;
  DataGrid* grid = ed.ui.dgCursor;
  const int visibleRow = grid ? grid->VisibleRowOfCurrent() : 1;
  const int id = CurrentId(rs, kIdColumn);
  if (id < 1 || id > rows) return;
  const int sel = id - 1;
  if (Ask(ed, QStringLiteral("ID ") + QString::number(id) + QStringLiteral(" の次に追加します。よろしいですか？"),
          MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
    return;

  ed.CurCnt = static_cast<int16_t>(rows + 1);
  const int count = ed.CurCnt;
  Stage* stage = ed.ui.img;
  if (stage) {
    stage->BeginBatch();
    stage->EnsureMarkers(MarkerArray::Point, count);
  }
  for (int i = count - 1; i >= sel + 1; --i) {
    ed.Cur[i] = ed.Cur[i - 1];
    ed.Cur[i].id = static_cast<int16_t>(i + 1);
    const bool fresh = i == sel + 1;
    if (fresh) ed.Cur[i].x = ed.Cur[i].y = QStringLiteral("0");
    if (stage) {
      const StageMarker prev = stage->Marker(MarkerArray::Point, i - 1);
      if (fresh)
        stage->MoveMarker(MarkerArray::Point, i, -prev.width / 2, -prev.height / 2);
      else
        stage->MoveMarker(MarkerArray::Point, i, prev.left, prev.top);
      stage->SetMarkerVisible(MarkerArray::Point, i, prev.visible);
    }
  }
  if (stage) stage->EndBatch();
  {
    RecordSet::BulkLoad bulk(*rs);
    rs->MoveLast();
    rs->AddNew();
    for (int i = sel + 1; i < count; ++i) {
      rs->MoveTo(i);
      WritePointRow(*rs, kIdColumn, ed.Cur[i]);
    }
  }
  RestoreGridRow(grid, rs, sel, visibleRow);
  RecordChange(ed, ChangeName::PointInsert);
}

void InsertRecordedPointAfter(Editor& ed) {
  RecordSet* rs = ed.RS_recCUR;
  if (!rs) return;
  const int count = std::min<int>(ed.recCurCnt, MaxRecords);
  if (count == 0 || rs->RecordCount() == 0) {
    ed.recCurCnt = 0;
    ed.points->recCurPos = 0;
    RefreshRecordPanel(ed);
    return;
  }
  if (count >= MaxRecords) return;
  DataGrid* grid = ed.ui.dgRecCursor;
  const int visibleRow = grid ? grid->VisibleRowOfCurrent() : 1;
  const int no = CurrentId(rs, kRecNoColumn);
  if (no < 1 || no > count) return;
  const int sel = no - 1;
  if (Ask(ed, QStringLiteral("ID ") + QString::number(no) + QStringLiteral(" の次に追加します。よろしいですか？"),
          MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
    return;

  ed.recCurCnt = static_cast<int16_t>(count + 1);
  const int n = ed.recCurCnt;
  Stage* stage = ed.ui.img;
  if (stage) {
    stage->BeginBatch();
    stage->EnsureMarkers(MarkerArray::RecPoint, n);
  }
  for (int i = n - 1; i >= sel + 1; --i) {
    ed.recCur[i] = ed.recCur[i - 1];
    ed.recCur[i].id = static_cast<int16_t>(i + 1);
    const bool fresh = i == sel + 1;
    if (fresh) ed.recCur[i].x = ed.recCur[i].y = QStringLiteral("0");
    if (stage) {
      StageMarker m = stage->Marker(MarkerArray::RecPoint, i - 1);
      if (fresh) {
        m.left = -m.width / 2;
        m.top = -m.height / 2;
      }
      m.tooltip = PointTooltip(QStringLiteral("ID"), i + 1, ed.recCur[i]);
      stage->SetMarker(MarkerArray::RecPoint, i, m);
    }
  }
  if (stage) stage->EndBatch();
  ed.points->recCurPos = static_cast<int16_t>(n);
  ++ed.points->RecRevision;
  NoteRecordedRun(ed);
  RefreshRecordPanel(ed);
  if (grid) grid->SetVisibleRowOfCurrent(visibleRow);
}

void OnPointDeleteCommand(Editor& ed) {
  if (ed.points->FocusGrid == QStringLiteral("dgCursor"))
    DeletePoint(ed);
  else
    DeleteRecordedPoint(ed);
}

void OnPointInsertCommand(Editor& ed) {
  if (ed.points->FocusGrid == QStringLiteral("dgCursor"))
    InsertPointAfter(ed);
  else
    InsertRecordedPointAfter(ed);
}

void TogglePointShown(Editor& ed) {
  RecordSet* rs = ed.RS_CUR;
  if (!rs || rs->RecordCount() == 0) {
    Ask(ed, QStringLiteral("Kemo.Recorderのデータフォルダを指定してください。"), MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  const int id = CurrentId(rs, kIdColumn);
  if (id < 1 || id > ed.CurCnt || id > MaxRecords) return;
  const int slot = id - 1;
  Stage* stage = ed.ui.img;
  const bool show = rs->Text(kMarkColumn) != ed.SymOn();
  if (stage) {
    stage->SetMarkerVisible(MarkerArray::Point, slot, show);
    if (show) stage->BringToFront(MarkerArray::Point, slot);
  }
  const QString mark = show ? ed.SymOn() : ed.SymOff();
  rs->SetField(kMarkColumn, mark);
  ed.Cur[slot].mark = mark;
  if (ed.ui.dgCursor) ed.ui.dgCursor->viewport()->update();
  // Marks are not stored in content.xml: showing or hiding a point is undoable but leaves nothing to save.
  RecordMarksChange(ed, show ? ChangeName::PointShow : ChangeName::PointHide);
}

void DeleteAllPoints(Editor& ed) {
  if (Ask(ed, QStringLiteral("マウスポイント記録を全て削除します。よろしいですか？"), MsgButtons::YesNo,
          MsgIcon::None) != MsgResult::Yes)
    return;
  ClearPointTable(ed);
  BuildPointTable(ed);
  BuildSlideTable(ed);
  BuildSlideEditTable(ed, true);
  if (Stage* stage = ed.ui.img) {
    stage->BeginBatch();
    for (int i = 0; i < stage->MarkerCount(MarkerArray::Point); ++i) {
      stage->SetMarkerVisible(MarkerArray::Point, i, false);
      stage->MoveMarker(MarkerArray::Point, i, 0, 0);
    }
    stage->EndBatch();
  }
  RecordChange(ed, ChangeName::PointDeleteAll);
}

}  // namespace kemo
