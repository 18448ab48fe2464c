#include "timeline/timeline_paint.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "document/time_text.h"

namespace kemo {

namespace {

const QColor kBack(250, 250, 250), kRulerBack(235, 235, 240), kWaveBack(28, 32, 44), kWave(120, 200, 255),
    kSlideA(225, 232, 245), kSlideB(245, 240, 225), kEdge(40, 60, 140), kSelected(230, 120, 0),
    kPointBar(60, 150, 80), kGap(220, 60, 60, 90), kPlayhead(220, 0, 0), kText(30, 30, 30);

// A tick step that leaves at least minPixels between labels.
double TickStep(double secondsPerPixel, double minPixels) {
  static const double steps[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
  for (double s : steps)
    if (s / secondsPerPixel >= minPixels) return s;
  return 7200;
}

QString TickText(double t, double step) {
  if (step < 1) return FormatTimeText(t);
  const long long s = std::llround(t);
  if (s >= 3600) return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

void PaintRuler(QPainter& p, const QRect& r, const TimelineScene& s) {
  p.fillRect(r, kRulerBack);
  const TimelineView& v = s.view;
  const double step = TickStep(v.secondsPerPixel, 90);
  const double minor = step / 5;
  p.setPen(QColor(90, 90, 100));
  const double t0 = std::floor(v.start / minor) * minor;
  const double tEnd = v.TimeAt(r.width());
  for (double t = t0; t <= tEnd; t += minor) {
    const int x = r.left() + static_cast<int>(std::lround(v.XOf(t)));
    const bool major = std::abs(std::remainder(t, step)) < minor / 2;
    p.drawLine(x, r.bottom() - (major ? 7 : 3), x, r.bottom());
    if (major) p.drawText(QRect(x + 3, r.top(), 100, r.height() - 2), Qt::AlignLeft | Qt::AlignVCenter, TickText(t, step));
  }
}

void PaintWave(QPainter& p, const QRect& r, const TimelineScene& s) {
  p.fillRect(r, kWaveBack);
  const int mid = r.center().y();
  p.setPen(QColor(70, 75, 90));
  p.drawLine(r.left(), mid, r.right(), mid);
  if (s.peaks && !s.peaks->Empty()) {
    const TimelineView& v = s.view;
    const int level = WaveformPeaks::LevelFor(v.secondsPerPixel);
    const double half = (r.height() - 2) / 2.0;
    p.setPen(kWave);
    const int xEnd = std::min(r.width(), static_cast<int>(std::ceil(v.XOf(s.peaks->Seconds()))));
    QVector<QLine> lines;
    lines.reserve(std::max(0, xEnd));
    for (int x = 0; x < xEnd; ++x) {
      PeakPair pk;
      if (!s.peaks->Range(level, v.TimeAt(x), v.TimeAt(x + 1), &pk)) continue;
      const int top = mid - static_cast<int>(std::lround(pk.hi / 127.0 * half));
      const int bottom = mid - static_cast<int>(std::lround(pk.lo / 127.0 * half));
      lines.append(QLine(r.left() + x, top, r.left() + x, std::max(top, bottom)));
    }
    p.drawLines(lines);
  }
  if (!s.waveNote.isEmpty()) {
    p.setPen(QColor(230, 230, 230));
    p.drawText(r.adjusted(6, 2, -6, -2), Qt::AlignLeft | Qt::AlignTop, s.waveNote);
  }
}

void PaintSlides(QPainter& p, const QRect& r, const QRect& wave, const TimelineScene& s) {
  p.fillRect(r, kBack);
  if (!s.slides || s.slides->empty()) return;
  const std::vector<TimelineSlide>& sl = *s.slides;
  const TimelineView& v = s.view;
  const int n = static_cast<int>(sl.size());
  int i = std::max(0, FirstSlideFrom(sl, v.start) - 1);
  const double tEnd = v.TimeAt(r.width());
  int lastEdge = INT_MIN;
  QVector<QLine> edges, waveEdges;
  const QFontMetrics fm = p.fontMetrics();
  for (; i < n && sl[i].pos <= tEnd; ++i) {
    const double xa = v.XOf(sl[i].pos);
    const double xb = v.XOf(i + 1 < n ? sl[i + 1].pos : std::max(s.duration, sl[i].pos));
    const int x0 = r.left() + static_cast<int>(std::lround(xa));
    const int x1 = r.left() + static_cast<int>(std::lround(std::min<double>(xb, r.width() + 1)));
    if (x1 - x0 >= 3) {
      p.fillRect(QRect(x0, r.top(), x1 - x0, r.height()), (i % 2) ? kSlideB : kSlideA);
      int textLeft = x0 + 3;
      if (x1 - x0 >= kThumbWidth + 6 && s.thumbnail) {
        if (const QImage* img = s.thumbnail(i); img && !img->isNull()) {
          p.drawImage(QPoint(x0 + 3, r.top() + (r.height() - img->height()) / 2), *img);
          textLeft = x0 + 3 + img->width() + 3;
        }
      }
      const int room = x1 - textLeft - 2;
      if (room >= fm.horizontalAdvance(QStringLiteral("000"))) {
        p.setPen(kText);
        const QString text = QString::number(i + 1) + QLatin1Char(' ') + sl[i].caption;
        p.drawText(QRect(textLeft, r.top() + 2, room, r.height() - 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   fm.elidedText(text, Qt::ElideRight, room * 2));
      }
    }
    // Many slides to a pixel: one edge per pixel.
    if (x0 != lastEdge && x0 >= r.left() - 1) {
      edges.append(QLine(x0, r.top(), x0, r.bottom()));
      waveEdges.append(QLine(x0, wave.top(), x0, wave.bottom()));
      lastEdge = x0;
    }
  }
  p.setPen(QColor(255, 255, 255, 60));
  p.drawLines(waveEdges);
  p.setPen(kEdge);
  p.drawLines(edges);
  if (s.selectedSlide >= 0 && s.selectedSlide < n) {
    const int x = r.left() + static_cast<int>(std::lround(v.XOf(sl[s.selectedSlide].pos)));
    p.fillRect(QRect(x - 1, wave.top(), 3, r.bottom() - wave.top() + 1), kSelected);
  }
}

void PaintPoints(QPainter& p, const QRect& r, const TimelineScene& s) {
  p.fillRect(r, kBack);
  const TimelineView& v = s.view;
  if (s.pointTimes && !s.pointTimes->empty()) {
    const std::vector<double>& t = *s.pointTimes;
    // Full height at 20 points a second (the recorder's finest interval is 50 ms).
    const double full = 20.0;
    QVector<QLine> bars;
    auto from = std::lower_bound(t.begin(), t.end(), v.start);
    for (int x = 0; x < r.width() && from != t.end(); ++x) {
      auto to = std::lower_bound(from, t.end(), v.TimeAt(x + 1));
      const long count = to - from;
      if (count > 0) {
        // At close zooms a point covers the pixels up to the next one's interval at least.
        const double rate = count / v.secondsPerPixel;
        const int h = std::max(2, static_cast<int>(std::lround(std::min(1.0, rate / full) * (r.height() - 2))));
        bars.append(QLine(r.left() + x, r.bottom() - h + 1, r.left() + x, r.bottom()));
      }
      from = to;
    }
    p.setPen(kPointBar);
    p.drawLines(bars);
  }
  if (s.pointGaps) {
    auto g = std::lower_bound(s.pointGaps->begin(), s.pointGaps->end(), v.start,
                              [](const TimeSpan& a, double t) { return a.end < t; });
    const double tEnd = v.TimeAt(r.width());
    for (; g != s.pointGaps->end() && g->start <= tEnd; ++g) {
      const int a = r.left() + static_cast<int>(std::lround(v.XOf(g->start)));
      const int b = r.left() + static_cast<int>(std::lround(v.XOf(g->end)));
      p.fillRect(QRect(a, r.top(), std::max(1, b - a), r.height()), kGap);
    }
  }
}

}  // namespace

TimelineRows TimelineRows::For(const QRect& area) {
  TimelineRows rows;
  const int top = area.top();
  rows.ruler = QRect(area.left(), top, area.width(), 18);
  rows.wave = QRect(area.left(), top + 18, area.width(), 62);
  rows.slides = QRect(area.left(), top + 80, area.width(), 46);
  rows.points = QRect(area.left(), top + 126, area.width(), std::max(8, area.height() - 126));
  return rows;
}

int FirstSlideFrom(const std::vector<TimelineSlide>& slides, double t) {
  return static_cast<int>(std::lower_bound(slides.begin(), slides.end(), t,
                                           [](const TimelineSlide& s, double x) { return s.pos < x; }) -
                          slides.begin());
}

void PaintTimeline(QPainter& p, const QRect& area, const TimelineScene& s) {
  const TimelineRows rows = TimelineRows::For(area);
  p.save();
  PaintRuler(p, rows.ruler, s);
  PaintWave(p, rows.wave, s);
  PaintSlides(p, rows.slides, rows.wave, s);
  PaintPoints(p, rows.points, s);
  PaintPlayhead(p, area, s);
  p.restore();
}

void PaintPlayhead(QPainter& p, const QRect& area, const TimelineScene& s) {
  const TimelineRows rows = TimelineRows::For(area);
  p.save();
  if (s.playhead >= 0) {
    const double x = s.view.XOf(s.playhead);
    if (x >= -1 && x <= area.width() + 1) {
      const int px = area.left() + static_cast<int>(std::lround(x));
      p.setPen(QPen(kPlayhead, 1));
      p.drawLine(px, area.top(), px, rows.points.bottom());
      QPolygon head;
      head << QPoint(px - 5, area.top()) << QPoint(px + 5, area.top()) << QPoint(px, area.top() + 7);
      p.setBrush(kPlayhead);
      p.drawPolygon(head);
    }
  }
  p.restore();
}

}  // namespace kemo
