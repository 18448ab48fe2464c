#pragma once
// The layout is given in twips (1/1440 inch). At 96 DPI a pixel is 15 twips; the screen's scale
// multiplies that, and so does the window's layout scale (1 at the design size, more when the
// window is made bigger). Widgets are placed through PlaceTwips only, so a change of the layout
// scale is applied by placing every widget again from the twips it keeps.
#include <QEvent>
#include <QFont>
#include <QList>
#include <QMetaType>
#include <QRect>
#include <QRectF>

class QWidget;

namespace kemo {

// Pixels per twip: the screen's (1/15 at 96 DPI) times the layout scale.
double PixelsPerTwip();
int TwipsToPixels(double twips);
double PixelsToTwips(double pixels);

// The window's layout scale; 1 at the design size. Values outside 0.25..8 are clamped.
double LayoutScale();
void SetLayoutScale(double scale);

// Moves and sizes w to the twips rectangle (left, top, width, height) in its parent. The twips
// values are kept on the widget, so TwipsRectOf gives them back exactly while the widget stays there.
void PlaceTwips(QWidget* w, double left, double top, double width, double height);
void PlaceTwips(QWidget* w, const QRectF& twips);

// The widget's geometry in twips: the values last placed, or its pixel geometry converted when it
// has been moved or sized some other way since.
QRectF TwipsRectOf(const QWidget* w);

// The twips rectangle w was last placed at, even while its pixels are not yet those of the present
// layout scale or lines (TwipsRectOf when it was never placed through PlaceTwips).
QRectF PlacedTwipsRect(const QWidget* w);

// A window taller than the design's shape gives its spare height to the controls that can use it
// (grids show more rows). A container holds lines across part of itself, in its own twips: a
// control lying wholly between `left` and `right` that spans the line at `y` is drawn `extra`
// twips higher, and one wholly below the line `extra` twips lower; lines add up. The container
// itself is drawn higher by the largest extra of its own lines that lie inside its height. The
// twips a control keeps (TwipsRectOf) stay the design's; only the pixels change.
struct StretchLine {
  double left = 0;
  double right = 0;
  double y = 0;
  double extra = 0;
};
// Replaces the lines of a container (none: the design's heights). Apply the layout scale afterwards.
void SetStretchLines(QWidget* container, const QList<StretchLine>& lines);
QList<StretchLine> StretchLinesOf(const QWidget* container);
// A floating control (a panel dragged anywhere, an editor laid over a grid cell) follows no line
// of its container; it grows only by its own lines.
void SetFloating(QWidget* w, bool floating);

// Where the twips rectangle t of w is drawn, in twips of its parent: t itself, grown and moved by
// the lines of w's parent and w's own. For a control that keeps its place, DrawnTwipsRect(w).
QRectF DrawnTwipsRect(const QWidget* w, const QRectF& t);
QRectF DrawnTwipsRect(const QWidget* w);

// Gives w the font f at designPoints points times the layout scale, and keeps the design size on
// the widget so that a later scale change resizes it.
void SetDesignFont(QWidget* w, QFont f, double designPoints);
// The point size of w's design font at the present layout scale; 0 when w has no design font of
// its own (it takes its parent's).
double ScaledDesignPoints(const QWidget* w);

// Sent to every widget under the root by ApplyLayoutScale, after its font and place have been
// set for the new scale: widgets that keep other lengths in twips (grid columns, rows) size them again.
QEvent::Type LayoutScaleEventType();

// Places every widget under root (root included) at its kept twips rectangle, resizes its design
// fonts, and sends each one the layout-scale event.
void ApplyLayoutScale(QWidget* root);

}  // namespace kemo

Q_DECLARE_METATYPE(kemo::StretchLine)
