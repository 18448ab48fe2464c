// Connects the mouse-point controls, menus, timers and the stage's pointer events to their procedures.
#include <QAbstractItemDelegate>
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "document/editor.h"
#include "platform/data_grid.h"
#include "platform/stage.h"
#include "points/points.h"
#include "points/points_state.h"

namespace kemo {

namespace {

void OnRecordedDisplayToggle(Editor& ed, bool shown) {
  // The recorded markers follow the box at once; new samples take its mark.
  Stage* stage = ed.ui.img;
  if (!stage) return;
  stage->BeginBatch();
  for (int i = 0; i < ed.recCurCnt && i < stage->MarkerCount(MarkerArray::RecPoint); ++i)
    stage->SetMarkerVisible(MarkerArray::RecPoint, i, shown);
  stage->EndBatch();
}

}  // namespace

void WirePoints(Editor& ed) {
  Controls& ui = ed.ui;
  if (DataGrid* g = ui.dgCursor) {
    g->onGotFocus = [&ed] { OnPointGridFocus(ed, QStringLiteral("dgCursor")); };
    g->onMouseMove = [&ed](int button, int, double, double) { OnPointGridMouseMove(ed, button); };
    g->onMouseUp = [&ed](int, int, double, double) { GoToPoint(ed); };
    g->onKeyDown = [&ed](int key, int) { return OnPointGridKeyDown(ed, key); };
    // However a cell edit ends, the edited row goes into its point.
    g->onCellCommitted = [&ed](int row, int, bool) { CommitPointRow(ed, row); };
  }
  if (DataGrid* g = ui.dgRecCursor) {
    g->onGotFocus = [&ed] { OnPointGridFocus(ed, QStringLiteral("dgRecCursor")); };
    g->onMouseMove = [&ed](int button, int, double, double) { OnRecordedGridMouseMove(ed, button); };
    g->onCellCommitted = [&ed](int row, int, bool) { CommitRecordedRow(ed, row); };
  }
  if (ui.ppCur) QObject::connect(ui.ppCur, &QMenu::aboutToShow, [&ed] { OnPointMenuOpen(ed); });
  auto onAction = [](QAction* a, auto f) {
    if (a) QObject::connect(a, &QAction::triggered, a, f);
  };
  onAction(ui.ppCurRec, [&ed] { ToggleRecording(ed); });
  onAction(ui.ppCurRecDisp, [&ed] { ToggleRecordPanel(ed); });
  onAction(ui.ppCurInsert, [&ed] { OnPointInsertCommand(ed); });
  onAction(ui.ppCurDelete, [&ed] { OnPointDeleteCommand(ed); });
  onAction(ui.ppCurDisp, [&ed] { TogglePointShown(ed); });
  onAction(ui.ppCurTimer200ms, [&ed] { SetSampleInterval(ed, 200); });
  onAction(ui.ppCurTimer100ms, [&ed] { SetSampleInterval(ed, 100); });
  onAction(ui.ppCurTimer50ms, [&ed] { SetSampleInterval(ed, 50); });
  onAction(ui.ppCurTimer10ms, [&ed] { SetSampleInterval(ed, 10); });

  for (QPushButton* b : ui.cbRec)
    if (b) QObject::connect(b, &QPushButton::clicked, b, [&ed] { ToggleRecording(ed); });
  if (ui.cbSave) QObject::connect(ui.cbSave, &QPushButton::clicked, ui.cbSave, [&ed] { RegisterRecordedPoints(ed); });
  if (ui.cbRecDelete)
    QObject::connect(ui.cbRecDelete, &QPushButton::clicked, ui.cbRecDelete, [&ed] { ClearRecordedCommand(ed); });
  if (ui.cbDelete) QObject::connect(ui.cbDelete, &QPushButton::clicked, ui.cbDelete, [&ed] { DeleteAllPoints(ed); });
  if (ui.ckRecDisp)
    QObject::connect(ui.ckRecDisp, &QCheckBox::toggled, ui.ckRecDisp, [&ed](bool on) { OnRecordedDisplayToggle(ed, on); });
  if (ui.recTimer) QObject::connect(ui.recTimer, &QTimer::timeout, ui.recTimer, [&ed] { SampleRecordTick(ed); });
  if (ui.frRecTimer) QObject::connect(ui.frRecTimer, &QTimer::timeout, ui.frRecTimer, [&ed] { RecordPanelTick(ed); });

  if (Stage* stage = ui.img) {
    stage->onMouseDown = [&ed](int, int, double, double) { OnStageMouseDown(ed); };
    stage->onMarkerMouseDown = [&ed](MarkerArray a, int index, int, int, double x, double y) {
      // Recorded markers are not dragged: a press on one is a press on the picture. While
      // recording, the marker of the point in force runs along under the pointer; a press on it
      // records too instead of starting a drag.
      const bool recording = ed.EditorState == State::RecordPaused || ed.EditorState == State::RecordPlaying;
      if (a == MarkerArray::Point && !recording)
        OnMarkerMouseDown(ed, index, x, y);
      else
        OnStageMouseDown(ed);
    };
    stage->onMouseMove = [&ed](int button, int, double x, double y) {
      if (ed.points->DraggedMarker >= 0 && button != 0) OnMarkerDragMove(ed, x, y);
    };
    stage->onMouseUp = [&ed, stage](int, int, double x, double y) {
      if (ed.points->DraggedMarker < 0) {
        OnStageMouseUp(ed);
        return;
      }
      // Only a drop over the picture moves the point; anywhere else the marker goes back.
      if (x >= 0 && y >= 0 && x <= stage->WidthTwips() && y <= stage->HeightTwips())
        OnMarkerDrop(ed, x, y);
      else
        CancelMarkerDrag(ed);
    };
  }
}

}  // namespace kemo
