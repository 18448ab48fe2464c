#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace kemo {

double PixelsPerTwip() {
  static const double ratio = [] {
    double dpi = 96.0;
    if (auto* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInch();
    if (dpi < 48.0 || dpi > 480.0) dpi = 96.0;
    return dpi / 1440.0;
  }();
  return ratio;
}

int TwipsToPixels(double twips) { return static_cast<int>(std::lround(twips * PixelsPerTwip())); }

double PixelsToTwips(double pixels) { return pixels / PixelsPerTwip(); }

namespace {
constexpr const char* kTwipsProperty = "kemoTwipsRect";

QRect ToPixels(const QRectF& t) {
  return QRect(TwipsToPixels(t.left()), TwipsToPixels(t.top()), TwipsToPixels(t.width()),
               TwipsToPixels(t.height()));
}
}  // namespace

void PlaceTwips(QWidget* w, double left, double top, double width, double height) {
  PlaceTwips(w, QRectF(left, top, width, height));
}

void PlaceTwips(QWidget* w, const QRectF& twips) {
  if (!w) return;
  w->setProperty(kTwipsProperty, twips);
  w->setGeometry(ToPixels(twips));
}

QRectF TwipsRectOf(const QWidget* w) {
  if (!w) return {};
  const QVariant kept = w->property(kTwipsProperty);
  if (kept.isValid()) {
    const QRectF t = kept.toRectF();
    if (ToPixels(t) == w->geometry()) return t;
  }
  const QRect g = w->geometry();
  return QRectF(PixelsToTwips(g.x()), PixelsToTwips(g.y()), PixelsToTwips(g.width()), PixelsToTwips(g.height()));
}

}  // namespace kemo
