#pragma once
// The layout is given in twips (1/1440 inch). At 96 DPI a pixel is 15 twips; the screen's scale
// multiplies that. Widgets are placed through PlaceTwips only.
#include <QRect>
#include <QRectF>

class QWidget;

namespace kemo {

// Pixels per twip on the primary screen (1/15 at 96 DPI and scale 1).
double PixelsPerTwip();
int TwipsToPixels(double twips);
double PixelsToTwips(double pixels);

// Moves and sizes w to the twips rectangle (left, top, width, height) in its parent. The twips
// values are kept on the widget, so TwipsRectOf gives them back exactly while the widget stays there.
void PlaceTwips(QWidget* w, double left, double top, double width, double height);
void PlaceTwips(QWidget* w, const QRectF& twips);

// The widget's geometry in twips: the values last placed, or its pixel geometry converted when it
// has been moved or sized some other way since.
QRectF TwipsRectOf(const QWidget* w);

}  // namespace kemo
