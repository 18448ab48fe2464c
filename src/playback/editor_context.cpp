// The rooms' side of the editor's context: it bundles each subsystem's own state, and wires the
// document's views to the procedures that show the tables (the stage, its markers, the recording
// panel, the slide editor), so that the document refreshes them without knowing them.
#include <QTimer>

#include "platform/heap.h"
#include "document/editor.h"
#include "playback/playback_state.h"
#include "playback/stage_view.h"
#include "points/points.h"
#include "points/points_state.h"
#include "slides/slide_edit.h"
#include "slides/slides_state.h"

namespace kemo {

namespace {

DocumentViews RoomViews() {
  DocumentViews v;
  v.AfterLoad = [](Editor& ed) {
    BuildStageView(ed);
    LayoutPointMarkers(ed, false);
    TellPointsOutOfOrder(ed);
    // What reading the file took and freed goes back to the system once the window is idle.
    QTimer::singleShot(0, [] { ReturnFreedHeap(); });
  };
  v.PointsChanged = [](Editor& ed, int pointRow) {
    LayoutPointMarkers(ed, false);
    ShowPointMarkers(ed, pointRow);
  };
  v.RecordedRunReplaced = [](Editor& ed) {
    ed.points->recCurPos = ed.recCurCnt;
    ++ed.points->RecRevision;
    RefreshRecordPanel(ed);
    SetRecordStatus(ed, ed.recCurCnt - 1);
  };
  v.ClearRecordedPoints = [](Editor& ed) { ClearRecordedPoints(ed); };
  v.DiscardRecordedRun = [](Editor& ed) { DiscardRecordedRun(ed); };
  v.VideoOpened = [](Editor& ed) { ed.points->FocusGrid = QStringLiteral("dgCursor"); };
  v.HasUnregisteredSlideEdit = [](const Editor& ed) { return HasUnregisteredSlideEdit(ed); };
  return v;
}

}  // namespace

Editor::Editor() : views(RoomViews()) {}
Editor::Editor(const Editor& other) = default;
Editor& Editor::operator=(const Editor& other) = default;
Editor::~Editor() = default;

}  // namespace kemo
