#include "platform/twips.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace kemo {

namespace {

constexpr const char* kTwipsProperty = "kemoTwipsRect";
constexpr const char* kDesignPointsProperty = "kemoDesignPoints";
constexpr const char* kStretchProperty = "kemoStretchLines";
constexpr const char* kFloatingProperty = "kemoFloating";

double g_layoutScale = 1.0;

double ScreenPixelsPerTwip() {
  static const double ratio = [] {
    double dpi = 96.0;
    if (auto* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInch();
    if (dpi < 48.0 || dpi > 480.0) dpi = 96.0;
    return dpi / 1440.0;
  }();
  return ratio;
}

QRect ToPixels(const QRectF& t) {
  // Edges are rounded, not sizes, so that controls that meet in twips meet in pixels at any scale.
  const int l = TwipsToPixels(t.left()), top = TwipsToPixels(t.top());
  return QRect(l, top, TwipsToPixels(t.left() + t.width()) - l, TwipsToPixels(t.top() + t.height()) - top);
}

QRect ToPixels(const QWidget* w, const QRectF& t) { return ToPixels(DrawnTwipsRect(w, t)); }

}  // namespace

double PixelsPerTwip() { return ScreenPixelsPerTwip() * g_layoutScale; }

int TwipsToPixels(double twips) { return static_cast<int>(std::lround(twips * PixelsPerTwip())); }

double PixelsToTwips(double pixels) { return pixels / PixelsPerTwip(); }

double LayoutScale() { return g_layoutScale; }

void SetLayoutScale(double scale) {
  if (!std::isfinite(scale)) return;
  g_layoutScale = std::clamp(scale, 0.25, 8.0);
}

void PlaceTwips(QWidget* w, double left, double top, double width, double height) {
  PlaceTwips(w, QRectF(left, top, width, height));
}

void PlaceTwips(QWidget* w, const QRectF& twips) {
  if (!w) return;
  w->setProperty(kTwipsProperty, twips);
  w->setGeometry(ToPixels(w, twips));
}

QRectF TwipsRectOf(const QWidget* w) {
  if (!w) return {};
  const QVariant kept = w->property(kTwipsProperty);
  if (kept.isValid()) {
    const QRectF t = kept.toRectF();
    if (ToPixels(w, t) == w->geometry()) return t;
  }
  const QRect g = w->geometry();
  return QRectF(PixelsToTwips(g.x()), PixelsToTwips(g.y()), PixelsToTwips(g.width()), PixelsToTwips(g.height()));
}

QRectF PlacedTwipsRect(const QWidget* w) {
  if (!w) return {};
  const QVariant kept = w->property(kTwipsProperty);
  return kept.isValid() ? kept.toRectF() : TwipsRectOf(w);
}

void SetStretchLines(QWidget* container, const QList<StretchLine>& lines) {
  if (!container) return;
  if (lines.isEmpty())
    container->setProperty(kStretchProperty, QVariant());
  else
    container->setProperty(kStretchProperty, QVariant::fromValue(lines));
}

QList<StretchLine> StretchLinesOf(const QWidget* container) {
  if (!container) return {};
  const QVariant v = container->property(kStretchProperty);
  return v.isValid() ? v.value<QList<StretchLine>>() : QList<StretchLine>();
}

void SetFloating(QWidget* w, bool floating) {
  if (w) w->setProperty(kFloatingProperty, floating ? QVariant(true) : QVariant());
}

QRectF DrawnTwipsRect(const QWidget* w, const QRectF& t) {
  if (!w) return t;
  double down = 0, grow = 0;
  if (const QWidget* parent = w->parentWidget(); parent && !w->property(kFloatingProperty).toBool()) {
    for (const StretchLine& line : StretchLinesOf(parent)) {
      if (t.left() < line.left || t.right() > line.right) continue;
      if (t.top() >= line.y)
        down += line.extra;
      else if (t.bottom() > line.y)
        grow += line.extra;
    }
  }
  double own = 0;
  for (const StretchLine& line : StretchLinesOf(w))
    if (line.y > 0 && line.y < t.height()) own = std::max(own, line.extra);
  return QRectF(t.left(), t.top() + down, t.width(), t.height() + std::max(grow, own));
}

QRectF DrawnTwipsRect(const QWidget* w) { return w ? DrawnTwipsRect(w, TwipsRectOf(w)) : QRectF(); }

void SetDesignFont(QWidget* w, QFont f, double designPoints) {
  if (!w || designPoints <= 0) return;
  w->setProperty(kDesignPointsProperty, designPoints);
  f.setPointSizeF(designPoints * g_layoutScale);
  w->setFont(f);
}

double ScaledDesignPoints(const QWidget* w) {
  const QVariant points = w ? w->property(kDesignPointsProperty) : QVariant();
  return points.isValid() ? points.toDouble() * g_layoutScale : 0.0;
}

QEvent::Type LayoutScaleEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void ApplyLayoutScale(QWidget* root) {
  if (!root) return;
  const QVariant points = root->property(kDesignPointsProperty);
  if (points.isValid()) {
    QFont f = root->font();
    f.setPointSizeF(points.toDouble() * g_layoutScale);
    root->setFont(f);
  }
  const QVariant kept = root->property(kTwipsProperty);
  if (kept.isValid()) root->setGeometry(ToPixels(root, kept.toRectF()));
  QEvent e(LayoutScaleEventType());
  QCoreApplication::sendEvent(root, &e);
  for (QObject* child : root->children())
    if (child->isWidgetType()) ApplyLayoutScale(static_cast<QWidget*>(child));
}

}  // namespace kemo
