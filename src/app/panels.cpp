#include "app/panels.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "document/editor.h"
#include "platform/stage.h"
#include "platform/twips.h"

namespace kemo {

namespace {

// Follows the pointer while the title strip is held, and drops the panel where it is released.
class DragStripFilter : public QObject {
 public:
  explicit DragStripFilter(Editor& ed) : QObject(ed.ui.lbFrDrag0), ed_(ed) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* strip = static_cast<QWidget*>(watched);
    switch (e->type()) {
      case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() != Qt::LeftButton) return false;
        OnPanelDragStart(ed_, 0, PixelsToTwips(m->position().x()), PixelsToTwips(m->position().y()));
        return true;
      }
      case QEvent::MouseMove:
      case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (!ed_.PanelDragging) return false;
        if (e->type() == QEvent::MouseButtonRelease) ed_.PanelDragging = false;
        // The strip has the mouse grabbed; find the control under the pointer for the drop.
        QWidget* fr = ed_.ui.frMain;
        const QPoint inFrame = fr->mapFromGlobal(strip->mapToGlobal(m->position().toPoint()));
        QWidget* target = fr->childAt(inFrame);
        if (!target || target == strip || ed_.ui.fDialog[0]->isAncestorOf(target) || target == ed_.ui.fDialog[0])
          target = fr;
        DropPanelOn(ed_, 0, target, target->mapFrom(fr, inFrame));
        return true;
      }
      default: return false;
    }
  }

 private:
  Editor& ed_;
};

}  // namespace

void OnPanelCollapseToggle(Editor& ed) {
  QWidget* panel = ed.ui.fDialog[0];
  if (!panel || !ed.ui.label || !ed.ui.Shape1 || !ed.ui.frMain) return;
  QRectF r = TwipsRectOf(panel);
  const double collapsed = TwipsRectOf(ed.ui.label).height();
  const double expanded = TwipsRectOf(ed.ui.Shape1).height();
  if (qAbs(r.height() - collapsed) < 0.5) {
    r.setHeight(expanded);
    // Measured as drawn: in a window taller than the design's shape the frame and the panel's grid
    // are higher than their twips say.
    const double frameHeight = DrawnTwipsRect(ed.ui.frMain).height();
    const double drawn = DrawnTwipsRect(panel, r).height();
    if (r.top() + drawn > frameHeight) r.moveTop(std::max(0.0, frameHeight - drawn));
    if (ed.ui.cbfrCtl) ed.ui.cbfrCtl->setText(QStringLiteral("▲"));
  } else {
    r.setHeight(collapsed);
    if (ed.ui.cbfrCtl) ed.ui.cbfrCtl->setText(QStringLiteral("▼"));
  }
  PlaceTwips(panel, r);
}

void OnRecordPanelClose(Editor& ed) {
  if (ed.ui.fDialog[0]) ed.ui.fDialog[0]->hide();
  if (ed.ui.frRecTimer) ed.ui.frRecTimer->stop();
}

void OnGridToggle(Editor& ed) {
  QPushButton* b = ed.ui.cbGrid;
  if (!b) return;
  const bool show = b->text() == QStringLiteral("グリッドを表示");
  b->setText(show ? QStringLiteral("グリッドを非表示") : QStringLiteral("グリッドを表示"));
  if (ed.ui.img) ed.ui.img->SetGridVisible(show);
}

void OnPanelDragStart(Editor& ed, int panelIndex, double x, double y) {
  // Only the recording panel has a title strip to drag it by.
  if (panelIndex != 0) return;
  ed.PanelGrabX = static_cast<float>(x);
  ed.PanelGrabY = static_cast<float>(y);
  ed.PanelDragging = true;
}

void MovePanelOnDrop(Editor& ed, int panelIndex, double x, double y, double left, double top) {
  if (panelIndex < 0 || panelIndex > 2) return;
  QWidget* panel = ed.ui.fDialog[panelIndex];
  if (!panel) return;
  QRectF r = TwipsRectOf(panel);
  r.moveTo(left + x - ed.PanelGrabX, top + y - ed.PanelGrabY);
  // The panel stays wholly inside frMain wherever it is dropped: outside the window it could never
  // be grabbed again, and with it the recorded run it holds could not be registered.
  if (ed.ui.frMain) {
    const QSizeF frame = DrawnTwipsRect(ed.ui.frMain).size();
    const QSizeF drawn = DrawnTwipsRect(panel, r).size();
    r.moveLeft(std::clamp(r.left(), 0.0, std::max(0.0, frame.width() - drawn.width())));
    r.moveTop(std::clamp(r.top(), 0.0, std::max(0.0, frame.height() - drawn.height())));
  }
  PlaceTwips(panel, r);
}

void DropPanelOn(Editor& ed, int panelIndex, QWidget* target, const QPoint& posInTarget) {
  QWidget* fr = ed.ui.frMain;
  if (!fr || !target) return;
  // The target's origin in frMain coordinates: its own place plus that of every panel or frame
  // that holds it (0, 0 for frMain and for the window itself), as drawn (below a grid that grew in
  // a tall window, a control stands lower than its twips say).
  QPointF origin(0, 0);
  if (target != fr && fr->isAncestorOf(target)) {
    for (QWidget* w = target; w && w != fr; w = w->parentWidget()) origin += DrawnTwipsRect(w).topLeft();
  }
  MovePanelOnDrop(ed, panelIndex, PixelsToTwips(posInTarget.x()), PixelsToTwips(posInTarget.y()), origin.x(),
                  origin.y());
}

void WirePanels(Editor& ed) {
  Controls& ui = ed.ui;
  if (ui.cbfrCtl) QObject::connect(ui.cbfrCtl, &QPushButton::clicked, [&ed] { OnPanelCollapseToggle(ed); });
  if (ui.cbFrRecClose) QObject::connect(ui.cbFrRecClose, &QPushButton::clicked, [&ed] { OnRecordPanelClose(ed); });
  if (ui.cbGrid) QObject::connect(ui.cbGrid, &QPushButton::clicked, [&ed] { OnGridToggle(ed); });
  if (ui.lbFrDrag0) ui.lbFrDrag0->installEventFilter(new DragStripFilter(ed));
}

}  // namespace kemo
