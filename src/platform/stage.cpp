#include "platform/stage.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "platform/data_grid.h"
#include "platform/twips.h"

namespace kemo {

namespace {
const StageMarker kNoMarker{};
}

Stage::Stage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  markers_[0].resize(1);
  markers_[1].resize(1);
}

void Stage::SetPicture(const QImage& image) {
  picture_ = image;
  scaled_ = QImage();
  update();
}

double Stage::WidthTwips() const { return TwipsRectOf(this).width(); }
double Stage::HeightTwips() const { return TwipsRectOf(this).height(); }

const StageMarker& Stage::Marker(MarkerArray a, int i) const {
  const auto& v = markers_[static_cast<int>(a)];
  return (i >= 0 && i < static_cast<int>(v.size())) ? v[i] : kNoMarker;
}

void Stage::EnsureMarkers(MarkerArray a, int count) {
  auto& v = markers_[static_cast<int>(a)];
  count = std::clamp(count, 0, kMarkers);
  if (static_cast<int>(v.size()) < count) v.resize(count);
}

QRect Stage::PixelRect(const StageMarker& m) const {
  const double k = PixelsPerTwip();
  return QRect(static_cast<int>(std::floor(m.left * k)), static_cast<int>(std::floor(m.top * k)),
               static_cast<int>(std::ceil(m.width * k)) + 1, static_cast<int>(std::ceil(m.height * k)) + 1);
}

void Stage::Touch(const StageMarker& m) {
  if (batch_ == 0 && m.visible) update(PixelRect(m));
}

void Stage::SetMarker(MarkerArray a, int i, const StageMarker& m) {
  auto& v = markers_[static_cast<int>(a)];
  if (i < 0 || i >= kMarkers) return;
  if (i >= static_cast<int>(v.size())) v.resize(i + 1);
  Touch(v[i]);
  v[i] = m;
  Touch(v[i]);
}

void Stage::MoveMarker(MarkerArray a, int i, double left, double top) {
  auto& v = markers_[static_cast<int>(a)];
  if (i < 0 || i >= static_cast<int>(v.size())) return;
  if (v[i].left == left && v[i].top == top) return;
  Touch(v[i]);
  v[i].left = left;
  v[i].top = top;
  Touch(v[i]);
}

void Stage::SetMarkerVisible(MarkerArray a, int i, bool visible) {
  auto& v = markers_[static_cast<int>(a)];
  if (i < 0 || i >= static_cast<int>(v.size()) || v[i].visible == visible) return;
  v[i].visible = true;  // so that Touch repaints the rectangle in either direction
  Touch(v[i]);
  v[i].visible = visible;
}

void Stage::SetMarkerTooltip(MarkerArray a, int i, const QString& tip) {
  auto& v = markers_[static_cast<int>(a)];
  if (i >= 0 && i < static_cast<int>(v.size())) v[i].tooltip = tip;
}

void Stage::BringToFront(MarkerArray a, int i) {
  auto& v = markers_[static_cast<int>(a)];
  if (i < 0 || i >= static_cast<int>(v.size())) return;
  v[i].z = nextZ_++;
  Touch(v[i]);
}

void Stage::BeginBatch() { ++batch_; }

void Stage::EndBatch() {
  if (batch_ > 0 && --batch_ == 0) update();
}

std::pair<MarkerArray, int> Stage::HitMarker(double x, double y) const {
  std::pair<MarkerArray, int> best{MarkerArray::Point, -1};
  quint32 bestZ = 0;
  bool found = false;
  for (int a = 0; a < 2; ++a) {
    const auto& v = markers_[a];
    for (int i = 0; i < static_cast<int>(v.size()); ++i) {
      const StageMarker& m = v[i];
      if (!m.visible || x < m.left || y < m.top || x >= m.left + m.width || y >= m.top + m.height) continue;
      // Recorded markers lie above registered ones; within an array, z and then the index decide.
      const quint32 z = m.z;
      if (!found || a > static_cast<int>(best.first) || (a == static_cast<int>(best.first) && z >= bestZ)) {
        best = {static_cast<MarkerArray>(a), i};
        bestZ = z;
        found = true;
      }
    }
  }
  return best;
}

void Stage::SetGridLines(const std::array<QLineF, 9>& horizontal, const std::array<QLineF, 9>& vertical) {
  hLines_ = horizontal;
  vLines_ = vertical;
  if (gridVisible_) update();
}

void Stage::SetGridVisible(bool visible) {
  if (gridVisible_ == visible) return;
  gridVisible_ = visible;
  update();
}

void Stage::SetFileNotFoundVisible(bool visible) {
  if (fileNotFound_ == visible) return;
  fileNotFound_ = visible;
  update();
}

void Stage::Render(QPainter& p, const QRect& clip) const {
  const QRect all(0, 0, width(), height());
  p.setClipRect(clip);
  if (!picture_.isNull()) {
    if (scaled_.size() != all.size()) {
      auto* self = const_cast<Stage*>(this);
      self->scaled_ = picture_.scaled(all.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    p.drawImage(clip.topLeft(), scaled_, clip);
  } else {
    p.fillRect(clip, Qt::white);
  }
  const double k = PixelsPerTwip();
  if (gridVisible_) {
    p.setPen(QPen(QColor(0, 0, 0), 1));
    for (const auto* lines : {&hLines_, &vLines_})
      for (const QLineF& l : *lines) p.drawLine(QLineF(l.p1() * k, l.p2() * k));
  }
  // Markers in z order; markers outside the clip are skipped.
  std::vector<const StageMarker*> order;
  for (const auto& v : markers_)
    for (const StageMarker& m : v)
      if (m.visible && PixelRect(m).intersects(clip)) order.push_back(&m);
  std::stable_sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->z < b->z; });
  QFont f = font();
  f.setPixelSize(std::max(6, static_cast<int>(160 * k * 0.8)));
  p.setFont(f);
  for (const StageMarker* m : order) {
    const QRectF r(m->left * k, m->top * k, m->width * k, m->height * k);
    p.fillRect(r, m->back);
    p.setPen(Qt::black);
    p.drawText(r, Qt::AlignCenter, m->caption);
  }
  if (fileNotFound_) {
    QFont nf = font();
    nf.setPixelSize(std::max(10, height() / 14));
    nf.setBold(true);
    p.setFont(nf);
    const QRect box(0, 0, width(), p.fontMetrics().height() + 8);
    p.fillRect(box, QColor(255, 255, 255, 220));
    p.setPen(QColor(200, 0, 0));
    p.drawText(box, Qt::AlignCenter, QStringLiteral("File Not Found"));
  }
}

void Stage::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  Render(p, e->rect());
}

void Stage::mousePressEvent(QMouseEvent* e) {
  const double x = PixelsToTwips(e->position().x()), y = PixelsToTwips(e->position().y());
  const int button = ButtonState(e->button()), shift = ShiftState(e->modifiers());
  const auto hit = HitMarker(x, y);
  if (hit.second >= 0 && onMarkerMouseDown) {
    const StageMarker& m = Marker(hit.first, hit.second);
    onMarkerMouseDown(hit.first, hit.second, button, shift, x - m.left, y - m.top);
    return;
  }
  if (onMouseDown) onMouseDown(button, shift, x, y);
}

void Stage::mouseMoveEvent(QMouseEvent* e) {
  if (onMouseMove)
    onMouseMove(ButtonState(e->buttons()), ShiftState(e->modifiers()), PixelsToTwips(e->position().x()),
                PixelsToTwips(e->position().y()));
}

void Stage::mouseReleaseEvent(QMouseEvent* e) {
  if (onMouseUp)
    onMouseUp(ButtonState(e->button()), ShiftState(e->modifiers()), PixelsToTwips(e->position().x()),
              PixelsToTwips(e->position().y()));
}

bool Stage::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const auto hit = HitMarker(PixelsToTwips(help->pos().x()), PixelsToTwips(help->pos().y()));
    if (hit.second >= 0)
      QToolTip::showText(help->globalPos(), Marker(hit.first, hit.second).tooltip, this);
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(e);
}

}  // namespace kemo
