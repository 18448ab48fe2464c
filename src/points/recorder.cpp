// The recorder: switching recording on and off, sampling the pointer over the stage picture while a
// button is held, the status line and error label, the sampling interval, the record panel with
// its grid, and clearing the recorded run.
#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "document/editor.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "platform/services.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "document/time_text.h"
#include "points/points.h"
#include "points/points_internal.h"
#include "points/points_state.h"

namespace kemo {

using namespace points_detail;

namespace {

constexpr double kRecMarkerSize = 150;  // twips

void SetText(QLabel* label, const QString& text) {
  if (label && label->text() != text) label->setText(text);
}

void SetHints(Editor& ed, const QString& text) {
  for (QLabel* l : ed.ui.lbRecStat) SetText(l, text);
}

// Two falling tones: the recorder's refusal.
void BeepTwice(Editor& ed) {
  if (!ed.svc.beeper) return;
  ed.svc.beeper->Beep(415, 100);  // 415.305 Hz
  ed.svc.beeper->Beep(330, 200);  // 329.628 Hz
}

QWidget* RecordPanel(Editor& ed) { return ed.ui.fDialog[0]; }

}  // namespace

QString FractionText(double fraction) {
  QString s = QString::number(fraction, 'f', 2);
  if (s == QStringLiteral("-0.00")) s = QStringLiteral("0.00");
  return s;
}

void SetRecordStatus(Editor& ed, int slot) {
  QString text;
  if (slot < 0 || slot >= MaxRecords || ed.recCur[slot].id < 1) {
    text = QStringLiteral("最終記録No.") + QStringLiteral("--") + QStringLiteral(" 時間=") + QStringLiteral("--:--.---") +
           QStringLiteral(" X=") + QStringLiteral("--") + QStringLiteral(" Y=") + QStringLiteral("--");
  } else {
    const PointRecord& p = ed.recCur[slot];
    text = QStringLiteral("最終記録No.") + QString::number(ed.recCurCnt) + QStringLiteral(" 時間=") + p.timeText +
           QStringLiteral(" X=") + PercentText(p.x) + QStringLiteral(" Y=") + PercentText(p.y);
  }
  SetText(ed.ui.lbRecTimer0, text);
  SetText(ed.ui.lbRecTimer1, text);
}

void ToggleRecording(Editor& ed) {
  const bool start = ed.ui.cbRec[0] ? ed.ui.cbRec[0]->text() == QStringLiteral("記録開始") : !IsRecordingState(ed);
  if (start) {
    ChangeState(ed, ModeEvent::RecOn);
    if (QWidget* panel = RecordPanel(ed)) {
      panel->show();
      panel->raise();
    }
  } else {
    ChangeState(ed, ModeEvent::RecOff);
    if (ed.ui.recTimer) ed.ui.recTimer->stop();
    ed.points->ButtonHeld = false;
    // The panel's timer stops with recording: bring the grid up to the last sample.
    RefreshRecordPanel(ed);
  }
  RefreshModeDisplay(ed);
}

void OnStageMouseDown(Editor& ed) {
  ed.points->PressPending = true;
  const bool recording = IsRecordingState(ed);
  ed.points->ButtonHeld = recording;
  if (QTimer* t = ed.ui.recTimer) {
    if (recording)
      t->start();
    else
      t->stop();
  }
}

void OnStageMouseUp(Editor& ed) {
  ed.points->PressPending = false;
  ed.points->ButtonHeld = false;
  if (ed.ui.recTimer) ed.ui.recTimer->stop();
  QLabel* hint = ed.ui.lbRecStat[0];
  if (hint) {
    // Back to the hint of the state; a refusal stays on show until the next press so that the
    // user sees why nothing was recorded.
    const bool sampling = hint->text() == QStringLiteral("記録中！");
    switch (ed.EditorState) {
      case State::RecordPaused:
        if (sampling) hint->setText(QStringLiteral("スライドクリック！"));
        break;
      case State::RecordPlaying:
        if (sampling) hint->setText(QStringLiteral("スライドクリックorドラッグ！"));
        break;
      case State::Idle:
      case State::Playing: hint->setText(QStringLiteral("記録開始クリック！")); break;
      case State::EditPaused:
      case State::EditPlaying: hint->setText(QStringLiteral("編集中　記録不可")); break;
      default: hint->clear(); break;
    }
    SetText(ed.ui.lbRecStat[1], hint->text());
  }
}

void SampleRecordTick(Editor& ed) {
  if (!IsRecordingState(ed)) return;
  Controls& ui = ed.ui;
  PointsState& ps = *ed.points;
  if (ed.recCurCnt >= MaxRecords || ps.recCurPos >= MaxRecords || ps.recCurPos < 0) {
    BeepTwice(ed);
    SetText(ui.lbRecErr, QString::number(MaxRecords) + QStringLiteral("を超えるポイントは記録できません"));
    SetHints(ed, QStringLiteral("記録件数オーバーフロー"));
    return;
  }
  Stage* stage = ui.img;
  if (!stage) return;
  const double width = stage->WidthTwips(), height = stage->HeightTwips();
  if (width <= 0 || height <= 0) return;

  // The pointer relative to the picture's top-left corner, in twips of the picture.
  const QPoint screen = ed.svc.pointer ? ed.svc.pointer->ScreenPosition() : QCursor::pos();
  const QPoint local = stage->mapFromGlobal(screen);
  float px = static_cast<float>(PixelsToTwips(local.x()));
  float py = static_cast<float>(PixelsToTwips(local.y()));
  if (ps.PressPending) {
    ps.AnchorX = px;
    ps.AnchorY = py;
    ps.PressPending = false;
  }
  if (ps.RecordMoveMode == 1) py = ps.AnchorY;
  if (ps.RecordMoveMode == 2) px = ps.AnchorX;

  const double t = ed.svc.player ? CutToMilliseconds(ed.svc.player->CurrentPosition()) : 0.0;
  bool refused = false;
  if (ed.recCurCnt > 0) {
    const PointRecord& last = ed.recCur[ed.recCurCnt - 1];
    const bool occupied = ed.recCur[ps.recCurPos].id > 0;
    if (ed.EditorState == State::RecordPlaying) {
      if (last.t > t)
        refused = true;
      else if (occupied)
        ++ps.recCurPos;
    } else {
      if (last.t < t && occupied) ++ps.recCurPos;
      if (last.t > t) refused = true;
    }
  }
  if (!refused && ps.recCurPos >= MaxRecords) {
    BeepTwice(ed);
    SetText(ui.lbRecErr, QString::number(MaxRecords) + QStringLiteral("を超えるポイントは記録できません"));
    SetHints(ed, QStringLiteral("記録件数オーバーフロー"));
    return;
  }
  if (refused) {
    BeepTwice(ed);
    SetText(ui.lbRecErr, QStringLiteral("最終記録時間より過去の時間は記録できません"));
    SetHints(ed, QStringLiteral("記録時間エラー"));
    if (ui.picRecErr) ui.picRecErr->show();
    return;
  }
  SetText(ui.lbRecErr, QString());
  SetHints(ed, QStringLiteral("記録中！"));
  if (ui.picRecErr) ui.picRecErr->show();

  const int s = ps.recCurPos;
  const bool shown = ui.ckRecDisp && ui.ckRecDisp->isChecked();
  PointRecord& p = ed.recCur[s];
  ed.recCurCnt = static_cast<int16_t>(s + 1);
  p.id = ed.recCurCnt;
  p.t = t;
  p.timeText = FormatTimeText(t);
  p.x = FractionText(px / width);
  p.y = FractionText(py / height);
  p.mark = shown ? ed.SymOn() : ed.SymOff();
  ++ps.RecRevision;
  // Every sample is in the recovery journal before the next one is taken.
  NoteRecordedRun(ed);

  SetRecordStatus(ed, s);

  StageMarker m = stage->Marker(MarkerArray::RecPoint, s);
  m.visible = shown;
  m.back = QColor(255, 0, 0);
  m.width = m.height = kRecMarkerSize;
  m.left = p.x.toDouble() * width - m.width / 2;
  m.top = p.y.toDouble() * height - m.height / 2;
  m.tooltip = PointTooltip(QStringLiteral("記録No."), ed.recCurCnt, p);
  stage->SetMarker(MarkerArray::RecPoint, s, m);
  if (shown) stage->BringToFront(MarkerArray::RecPoint, s);

  if (ed.EditorState == State::RecordPlaying) ++ps.recCurPos;
}

void SetSampleInterval(Editor& ed, int intervalMs) {
  Controls& ui = ed.ui;
  const std::pair<QAction*, int> items[] = {
      {ui.ppCurTimer200ms, 200}, {ui.ppCurTimer100ms, 100}, {ui.ppCurTimer50ms, 50}, {ui.ppCurTimer10ms, 10}};
  for (const auto& [item, ms] : items)
    if (item) item->setChecked(ms == intervalMs);
  if (ui.recTimer) ui.recTimer->setInterval(intervalMs);
  int option = -1;
  if (intervalMs == 100) option = 2;
  if (intervalMs == 50) option = 1;
  if (intervalMs == 10) option = 0;
  // Selecting an option that was not selected yet runs the option group's own handler, whose
  // interval then applies.
  if (option >= 0 && ui.opInterval[option] && !ui.opInterval[option]->isChecked()) ui.opInterval[option]->click();
}

void ToggleRecordPanel(Editor& ed) {
  RefreshRecordPanel(ed);
  QWidget* panel = RecordPanel(ed);
  if (!panel) return;
  if (!panel->isHidden()) {
    panel->hide();
  } else {
    panel->show();
    panel->raise();
  }
}

void RecordPanelTick(Editor& ed) {
  QWidget* panel = RecordPanel(ed);
  if (!panel || panel->isHidden()) return;
  // A rebuild that would show the same rows only loses the user's place in the grid, and one
  // under an open cell editor would throw the typed text away.
  if (ed.points->RecBuiltRevision == ed.points->RecRevision) return;
  if (ed.ui.dgRecCursor && ed.ui.dgRecCursor->IsEditing()) return;
  RefreshRecordPanel(ed);
}

void ClearRecordedCommand(Editor& ed) {
  if (ed.recCurCnt < 1) return;
  if (Ask(ed, QStringLiteral("マウスポイント記録を全て削除します。よろしいですか？"), MsgButtons::YesNo,
          MsgIcon::None) != MsgResult::Yes)
    return;
  DiscardRecordedRun(ed);
}

void DiscardRecordedRun(Editor& ed) {
  ClearRecordedPoints(ed);
  RefreshRecordPanel(ed);
  if (Stage* stage = ed.ui.img) {
    stage->BeginBatch();
    for (int i = 0; i < stage->MarkerCount(MarkerArray::RecPoint); ++i)
      stage->SetMarkerVisible(MarkerArray::RecPoint, i, false);
    stage->EndBatch();
  }
}

void ClearRecordedPoints(Editor& ed) {
  ed.recCurCnt = 0;
  ed.points->recCurPos = 0;
  ed.recCur.ClearRange(0, kSlots);
  ++ed.points->RecRevision;
  NoteRecordedRun(ed);
  SetRecordStatus(ed, -1);
}

void BuildRecordedTable(Editor& ed) {
  RecordSet* rs = ed.RS_recCUR;
  if (!rs) return;
  {
    RecordSet::BulkLoad bulk(*rs);
    rs->Open({{kRecNoColumn, FieldType::Integer, 0},
              {kTimeColumn, FieldType::Text, 12},
              {kXColumn, FieldType::Text, 4},
              {kYColumn, FieldType::Text, 4},
              {kMarkColumn, FieldType::Text, 4}});
    // The number names the recorded point an edited row goes back to; it is not typed over.
    rs->SetLocked(0, true);
    const int count = std::clamp<int>(ed.recCurCnt, 0, MaxRecords);
    for (int i = 0; i < count; ++i) {
      rs->AddNew();
      WritePointRow(*rs, kRecNoColumn, ed.recCur[i]);
    }
    rs->Sort(kRecNoColumn + QStringLiteral(" DESC"));
  }
  ed.points->RecBuiltRevision = ed.points->RecRevision;
  if (ed.ui.dgRecCursor) ed.ui.dgRecCursor->Bind(rs);
}

void SetUpRecordedGrid(Editor& ed) {
  DataGrid* grid = ed.ui.dgRecCursor;
  if (!grid) return;
  grid->Bind(ed.RS_recCUR);
  grid->ScrollRows(-grid->FirstVisibleRow());
  grid->SetGridFont(QStringLiteral("Arial Unicode MS"), 9, true);
  grid->SetRowHeightTwips(250);
  // "記録No." needs 750 and "表示" 420; with the border and the scroll bar the grid stays inside its panel.
  static constexpr double kWidths[5] = {750, 1005, 405, 405, 420};
  static constexpr Qt::Alignment kAlign[5] = {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignRight,
                                              Qt::AlignHCenter};
  // Record numbers up to 3600, times up to 100 minutes, X and Y up to 100.
  const QString widest[4] = {QStringLiteral("3600"), QStringLiteral("100:00.000"), QStringLiteral("100"),
                             QStringLiteral("100")};
  double total = 0;
  for (int c = 0; c < 5; ++c) {
    if (c < 4) grid->SetColumnWidestText(c, widest[c]);
    grid->SetColumnWidthTwips(c, kWidths[c]);
    grid->SetColumnAlignment(c, kAlign[c]);
    total += kWidths[c];
  }
  const QRectF r = TwipsRectOf(grid);
  PlaceTwips(grid, r.left(), r.top(), total + 300, 3900);
  grid->viewport()->update();
}

void RefreshRecordPanel(Editor& ed) {
  BuildRecordedTable(ed);
  SetUpRecordedGrid(ed);
}

}  // namespace kemo
