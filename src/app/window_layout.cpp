#include "app/window_layout.h"

#include "app/text_fit.h"

#include <QComboBox>
#include <QPushButton>
#include <QSize>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <limits>

#include "document/editor.h"
#include "platform/data_grid.h"
#include "platform/stage.h"
#include "platform/twips.h"

namespace kemo {

namespace {

constexpr double kEverywhere = std::numeric_limits<double>::max();
constexpr const char* kSpareProperty = "kemoSpareHeight";
constexpr const char* kTextsFitted = "kemoTextsFitted";

// A line across the middle of a grid, in the twips of the grid's container.
double MiddleOf(const QWidget* grid) {
  const QRectF r = PlacedTwipsRect(grid);
  return r.top() + r.height() / 2;
}

// A line across a panel at the middle of the grid it holds, up to `right` (the buttons beside a
// grid keep their size and place). The grid's width is the procedures' and may change later.
void StretchPanel(QWidget* panel, const QWidget* grid, double right, double spare) {
  if (!panel) return;
  if (!grid || spare <= 0) {
    SetStretchLines(panel, {});
    return;
  }
  SetStretchLines(panel, {StretchLine{-kEverywhere, right, MiddleOf(grid), spare}});
}

// A floating panel that the frame no longer holds (the window became smaller) moves up and left
// until it does; its size is its own.
void KeepInsideFrame(QWidget* panel, const QWidget* frame) {
  if (!panel || !frame) return;
  const QSizeF room = DrawnTwipsRect(frame).size();
  QRectF r = TwipsRectOf(panel);
  const QRectF drawn = DrawnTwipsRect(panel, r);
  const double top = std::clamp(r.top(), 0.0, std::max(0.0, room.height() - drawn.height()));
  const double left = std::clamp(r.left(), 0.0, std::max(0.0, room.width() - drawn.width()));
  if (top == r.top() && left == r.left()) return;
  r.moveTo(left, top);
  PlaceTwips(panel, r);
}

}  // namespace

void GiveSpareHeight(Controls& ui, double spare) {
  if (!ui.frMain) return;
  spare = std::max(0.0, spare);
  QList<StretchLine> frame;
  if (spare > 0 && ui.dgCursor && ui.img) {
    // The columns part halfway between the mouse-point grid and the stage (its left ruler's
    // numbers belong to the stage).
    const double split = (PlacedTwipsRect(ui.dgCursor).right() + PlacedTwipsRect(ui.img).left()) / 2;
    frame << StretchLine{-kEverywhere, split, MiddleOf(ui.dgCursor), spare};
    if (ui.fDialog[2] && ui.dgSlide) {
      const double slideList = PlacedTwipsRect(ui.fDialog[2]).top() + MiddleOf(ui.dgSlide);
      frame << StretchLine{split, kEverywhere, slideList, spare};
    }
  }
  SetStretchLines(ui.frMain, frame);
  StretchPanel(ui.fDialog[2], ui.dgSlide, kEverywhere, spare);
  StretchPanel(ui.fDialog[1], ui.dgSlideEdit, ui.cbSaveSld ? PlacedTwipsRect(ui.cbSaveSld).left() : kEverywhere, spare);
  StretchPanel(ui.fDialog[0], ui.dgRecCursor, kEverywhere, spare);
  // The recording panel is dragged anywhere and the slide image picker stands over a cell of the
  // slide-edit grid wherever its rows are: neither follows the lines.
  SetFloating(ui.fDialog[0], true);
  SetFloating(ui.dataCombo1, true);
}

void LayOutForClientArea(Controls& ui, QWidget* client, const QSize& design) {
  if (!client || design.isEmpty()) return;
  double scale = std::min(static_cast<double>(client->width()) / design.width(),
                          static_cast<double>(client->height()) / design.height());
  // A pixel more or less than the design size is the design size.
  if (std::abs(scale - 1.0) * design.height() < 1.5) scale = 1.0;
  if (scale <= 0) return;
  bool changed = false;
  if (std::abs(scale - LayoutScale()) > 1e-6) {
    SetLayoutScale(scale);
    changed = true;
  }
  // A window taller than the design's shape: the height below the scaled layout, less the
  // rounding of a pixel or two, goes to the grids.
  const double below = client->height() - LayoutScale() * design.height();
  const double spare = below >= 2 ? std::floor(PixelsToTwips(below)) : 0;
  if (client->property(kSpareProperty).toDouble() != spare) {
    client->setProperty(kSpareProperty, spare);
    GiveSpareHeight(ui, spare);
    changed = true;
  }
  if (changed) {
    ApplyLayoutScale(client);
    FitTexts(client);
    KeepInsideFrame(ui.fDialog[0], ui.frMain);
  } else if (!client->property(kTextsFitted).toBool()) {
    FitTexts(client);  // the design size: the texts set later are fitted as well
  }
  client->setProperty(kTextsFitted, true);
  // A window wider than the design's shape keeps the layout in its middle.
  if (!ui.frMain) return;
  const double wide = PixelsToTwips(client->width()) - kDesignClientWidth;
  const QRectF frame = TwipsRectOf(ui.frMain);
  const double left = wide > 15 ? std::floor(wide / 2) : 0;
  if (frame.left() != left) PlaceTwips(ui.frMain, left, frame.top(), frame.width(), frame.height());
}

}  // namespace kemo
