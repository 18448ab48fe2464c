#include "platform/stage.h"

#include <QFileInfo>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "platform/bold_font.h"
#include "platform/data_grid.h"
#include "platform/picture_file.h"
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

QImage PictureFileCache::Load(const QString& path, const QSize& size) {
  ++clock_;
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.path == path; });
  if (it != entries_.end() && it->checked == generation_ && it->size == size) {
    it->used = clock_;
    return it->image;
  }
  const QFileInfo info(path);
  ++checks_;
  const bool exists = info.isFile();
  const QDateTime modified = exists ? info.lastModified() : QDateTime();
  const qint64 bytes = exists ? info.size() : -1;
  if (it != entries_.end() && it->size == size && it->exists == exists && it->modified == modified &&
      it->bytes == bytes) {
    it->checked = generation_;
    it->used = clock_;
    return it->image;
  }
  QImage image;
  if (exists) {
    ++decodes_;
    image = ReadPictureFile(path, size);
  }
  if (it == entries_.end()) {
    entries_.push_back(Entry{});
    it = entries_.end() - 1;
  }
  *it = Entry{path, size, modified, bytes, exists, image, generation_, clock_};
  // The least recently used go until the rest fit the budget (and a few entries, pictures or not).
  const auto tooMuch = [this] {
    qsizetype bytes = 0;
    int pictures = 0;
    for (const Entry& e : entries_) {
      bytes += e.image.sizeInBytes();
      pictures += e.image.isNull() ? 0 : 1;
    }
    return bytes > kKeepBytes || pictures > keptPictures_;
  };
  while (entries_.size() > kKeepEntries || (entries_.size() > 1 && tooMuch()))
    entries_.erase(std::min_element(entries_.begin(), entries_.end(),
                                    [](const Entry& a, const Entry& b) { return a.used < b.used; }));
  return image;
}

bool PictureFileCache::IsChecked(const QString& path) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.path == path && e.checked == generation_; });
}

void Stage::SetPicture(const QImage& image, const QString& source) {
  source_ = source;
  if (image.cacheKey() == picture_.cacheKey()) return;
  picture_ = image;
  DirtyAll();
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
  return QRect(static_cast<int>(std::lround(m.left * k)), static_cast<int>(std::lround(m.top * k)),
               std::max(1, static_cast<int>(std::lround(m.width * k))),
               std::max(1, static_cast<int>(std::lround(m.height * k))));
}

void Stage::Dirty(const QRect& r) {
  if (batch_ > 0) {
    batchRect_ |= r;
    return;
  }
  const QRect in = r & rect();
  if (in.isEmpty()) return;
  pending_ += in;
  // Scattered markers would make the region ever more costly to join; past a few dozen pieces
  // painting their bounding rectangle is cheaper.
  if (pending_.rectCount() > 32) pending_ = pending_.boundingRect();
  if (isVisible()) update(in);
}

void Stage::DirtyAll() { Dirty(rect()); }

void Stage::Touch(const StageMarker& m) {
  if (m.visible) Dirty(PixelRect(m).adjusted(-1, -1, 1, 1));
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

QString Stage::MarkerTooltip(MarkerArray a, int i) const {
  const QString& own = Marker(a, i).tooltip;
  return own.isEmpty() && tooltipOf ? tooltipOf(a, i) : own;
}

void Stage::BringToFront(MarkerArray a, int i) {
  auto& v = markers_[static_cast<int>(a)];
  if (i < 0 || i >= static_cast<int>(v.size())) return;
  v[i].z = nextZ_++;
  Touch(v[i]);
}

void Stage::BeginBatch() { ++batch_; }

void Stage::EndBatch() {
  if (batch_ > 0 && --batch_ == 0) {
    const QRect r = batchRect_;
    batchRect_ = QRect();
    if (!r.isEmpty()) Dirty(r);
  }
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
  if (gridVisible_) DirtyAll();
}

void Stage::SetGridVisible(bool visible) {
  if (gridVisible_ == visible) return;
  gridVisible_ = visible;
  DirtyAll();
}

void Stage::SetFileNotFoundVisible(bool visible) {
  if (fileNotFound_ == visible) return;
  fileNotFound_ = visible;
  // The band is made when it is first shown; hidden, it leaves the place it covered, if any.
  if (visible)
    Dirty(QRect(QPoint(0, 0), NotFoundBand().size()));
  else if (!notFoundBand_.isNull())
    Dirty(QRect(QPoint(0, 0), notFoundBand_.size()));
}

const QImage& Stage::Scaled() const {
  static const QImage kNone;
  if (picture_.isNull() || width() <= 0 || height() <= 0) return kNone;
  const qint64 key = picture_.cacheKey();
  for (size_t i = 0; i < scaled_.size(); ++i) {
    if (scaled_[i].key == key && scaled_[i].image.size() == size()) {
      if (i > 0) std::rotate(scaled_.begin(), scaled_.begin() + static_cast<long>(i),
                             scaled_.begin() + static_cast<long>(i) + 1);
      return scaled_.front().image;
    }
  }
  QImage s = picture_.size() == size() ? picture_
                                       : picture_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  // The formats the raster painter copies without converting.
  s = s.convertToFormat(s.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  constexpr size_t kKeep = 1;
  if (scaled_.size() >= kKeep) scaled_.pop_back();
  scaled_.insert(scaled_.begin(), ScaledPicture{key, std::move(s)});
  return scaled_.front().image;
}

const QImage& Stage::Glyph(const StageMarker& m, const QSize& size) const {
  const QRgb back = m.back.rgba();
  for (const MarkerGlyph& g : glyphs_)
    if (g.size == size && g.back == back && g.caption == m.caption) return g.image;
  QImage image(size, m.back.alpha() == 255 ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  image.fill(m.back);
  {
    QPainter gp(&image);
    gp.setRenderHint(QPainter::TextAntialiasing);
    QFont f = font();
    f.setPixelSize(std::max(4, size.height() * 4 / 5));
    gp.setFont(f);
    gp.setPen(Qt::black);
    gp.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, m.caption);
  }
  constexpr size_t kKeep = 8;
  if (glyphs_.size() >= kKeep) glyphs_.erase(glyphs_.begin());
  glyphs_.push_back(MarkerGlyph{size, back, m.caption, std::move(image)});
  return glyphs_.back().image;
}

const QImage& Stage::NotFoundBand() const {
  if (notFoundBand_.width() == width() && !notFoundBand_.isNull()) return notFoundBand_;
  QFont f = BoldFromRegular(font());
  f.setPixelSize(std::max(10, height() / 14));
  const int h = QFontMetrics(f).height() + 8;
  QImage band(std::max(1, width()), h, QImage::Format_ARGB32_Premultiplied);
  band.fill(QColor(255, 255, 255, 220));
  {
    QPainter bp(&band);
    bp.setFont(f);
    bp.setPen(QColor(200, 0, 0));
    bp.drawText(band.rect(), Qt::AlignCenter, QStringLiteral("File Not Found"));
  }
  notFoundBand_ = std::move(band);
  return notFoundBand_;
}

void Stage::Render(QPainter& p, const QRect& clip) const { Render(p, QRegion(clip)); }

void Stage::Render(QPainter& p, const QRegion& region) const {
  const QRegion clip = region & QRegion(rect());
  if (clip.isEmpty()) return;
  p.save();
  p.setClipRegion(clip);
  const QImage& picture = Scaled();
  for (const QRect& r : clip) {
    if (!picture.isNull())
      p.drawImage(r.topLeft(), picture, r);
    else
      p.fillRect(r, Qt::white);
  }
  const double k = PixelsPerTwip();
  if (gridVisible_) {
    p.setPen(QPen(QColor(0, 0, 0), 1));
    for (const auto* lines : {&hLines_, &vLines_})
      for (const QLineF& l : *lines) p.drawLine(QLineF(l.p1() * k, l.p2() * k));
  }
  // Markers in z order (the stable sort keeps the array and index order among equal z); markers
  // outside the clip are skipped.
  struct Item {
    const StageMarker* m;
    QRect r;
  };
  std::vector<Item> order;
  for (const auto& v : markers_)
    for (const StageMarker& m : v) {
      if (!m.visible) continue;
      const QRect r = PixelRect(m);
      if (clip.intersects(r)) order.push_back({&m, r});
    }
  std::stable_sort(order.begin(), order.end(), [](const Item& a, const Item& b) { return a.m->z < b.m->z; });
  for (const Item& it : order) p.drawImage(it.r.topLeft(), Glyph(*it.m, it.r.size()));
  if (fileNotFound_) {
    const QImage& band = NotFoundBand();
    if (clip.intersects(QRect(QPoint(0, 0), band.size()))) p.drawImage(0, 0, band);
  }
  p.restore();
}

void Stage::RenderPending(QPainter& p) {
  if (pending_.isEmpty()) return;
  Render(p, pending_);
  pending_ = QRegion();
}

void Stage::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  pending_ = rect();
}

void Stage::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  Render(p, e->region());
  pending_ -= e->region();
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
      QToolTip::showText(help->globalPos(), MarkerTooltip(hit.first, hit.second), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(e);
}

}  // namespace kemo
