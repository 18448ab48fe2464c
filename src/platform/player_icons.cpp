#include "platform/player_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProxyStyle>

namespace kemo {

namespace {

class SymbolEngine : public QIconEngine {
 public:
  explicit SymbolEngine(PlayerSymbol symbol) : symbol_(symbol) {}

  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    const QColor ink = mode == QIcon::Disabled ? QColor(160, 160, 160) : QColor(48, 48, 48);
    // A square in the middle of rect, on a grid of 16 units.
    const double side = std::min(rect.width(), rect.height());
    const double u = side / 16.0;
    const QPointF o(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
    const auto at = [&](double x, double y) { return o + QPointF(x * u, y * u); };
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    p->setBrush(ink);
    switch (symbol_) {
      case PlayerSymbol::Play: p->drawPolygon(QPolygonF{at(4, 2), at(14, 8), at(4, 14)}); break;
      case PlayerSymbol::Pause:
        p->drawRect(QRectF(at(3.5, 2.5), at(6.5, 13.5)));
        p->drawRect(QRectF(at(9.5, 2.5), at(12.5, 13.5)));
        break;
      case PlayerSymbol::Stop: p->drawRect(QRectF(at(3, 3), at(13, 13))); break;
      case PlayerSymbol::Sound:
      case PlayerSymbol::Muted: {
        // The speaker: a box and its cone.
        p->drawPolygon(QPolygonF{at(1.5, 6), at(4.5, 6), at(8.5, 2.5), at(8.5, 13.5), at(4.5, 10), at(1.5, 10)});
        QPen pen(ink, std::max(1.0, 1.4 * u), Qt::SolidLine, Qt::RoundCap);
        p->setPen(pen);
        p->setBrush(Qt::NoBrush);
        if (symbol_ == PlayerSymbol::Sound) {
          // Two waves.
          p->drawArc(QRectF(at(6.5, 5), at(12.5, 11)), -50 * 16, 100 * 16);
          p->drawArc(QRectF(at(5.5, 2.5), at(15, 13.5)), -50 * 16, 100 * 16);
        } else {
          // A cross.
          p->drawLine(at(10.5, 5.5), at(15, 10.5));
          p->drawLine(at(15, 5.5), at(10.5, 10.5));
        }
        break;
      }
      case PlayerSymbol::MoreRight:
      case PlayerSymbol::MoreDown: {
        // Two chevrons pointing where the rest of the bar is.
        QPen pen(ink, std::max(1.0, 1.5 * u), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p->setPen(pen);
        p->setBrush(Qt::NoBrush);
        for (double d : {3.0, 8.0}) {
          if (symbol_ == PlayerSymbol::MoreRight)
            p->drawPolyline(QPolygonF{at(d, 4), at(d + 4, 8), at(d, 12)});
          else
            p->drawPolyline(QPolygonF{at(4, d), at(8, d + 4), at(12, d)});
        }
        break;
      }
    }
    p->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // Drawn at the device's pixels (QIcon gives their size here), not scaled up from a small picture.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    {
      QPainter p(&pm);
      paint(&p, QRect(QPoint(0, 0), pm.size()), mode, state);
    }
    pm.setDevicePixelRatio(scale);
    return pm;
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine* clone() const override { return new SymbolEngine(symbol_); }

 private:
  PlayerSymbol symbol_;
};

class EditorStyle : public QProxyStyle {
 public:
  QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override {
    if (icon == SP_ToolBarHorizontalExtensionButton) return PlayerIcon(PlayerSymbol::MoreRight);
    if (icon == SP_ToolBarVerticalExtensionButton) return PlayerIcon(PlayerSymbol::MoreDown);
    return QProxyStyle::standardIcon(icon, option, widget);
  }
};

}  // namespace

QIcon PlayerIcon(PlayerSymbol symbol) { return QIcon(new SymbolEngine(symbol)); }

QStyle* CreateEditorStyle() { return new EditorStyle; }

}  // namespace kemo
