#include "timeline/timeline_strip.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "document/editor.h"
#include "platform/media_player.h"
#include "platform/picture_file.h"
#include "platform/record_set.h"
#include "playback/playback.h"
#include "document/time_text.h"
#include "slides/slide_display.h"
#include "timeline/slide_time_drop.h"

namespace kemo {

namespace {

constexpr double kEdgeGrabPixels = 4;
constexpr double kSnapPixels = 6;
constexpr int kThumbsQueued = 32;
constexpr int kMaxThumbs = 400;

quint64 Mix(quint64 h, quint64 v) { return (h ^ v) * 0x100000001b3ULL; }
quint64 MixDouble(quint64 h, double d) { return Mix(h, static_cast<quint64>(std::llround(d * 1000.0))); }

}  // namespace

TimelineStrip::TimelineStrip(Editor& ed, QWidget* parent) : QWidget(parent), ed_(ed) {
  setObjectName(QStringLiteral("picTimeline"));
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumHeight(kTimelineHeight);
  scene_.thumbnail = [this](int i) { return Thumbnail(i); };
  thumbPool_.setMaxThreadCount(1);
}

TimelineStrip::~TimelineStrip() {
  thumbPool_.clear();
  thumbPool_.waitForDone();
}

void TimelineStrip::PeaksChanged() {
  signature_ = 0;
  Refresh();
}

void TimelineStrip::SetWaveNote(const QString& note) {
  if (note == waveNote_) return;
  waveNote_ = note;
  Invalidate();
}

void TimelineStrip::SetSoundDuration(double seconds) {
  if (seconds == soundDuration_) return;
  soundDuration_ = seconds;
  signature_ = 0;
}

void TimelineStrip::ResetFolder() {
  peaks_ = WaveformPeaks();
  soundDuration_ = -1;
  thumbs_.clear();
  thumbsLoading_.clear();
  thumbPool_.clear();
  ++thumbGeneration_;
  viewSet_ = false;
  selected_ = -1;
  drag_ = Drag::None;
  signature_ = 0;
  Refresh();
}

double TimelineStrip::PlayheadNow() const {
  const MediaPlayer* player = ed_.svc.player;
  if (!player || player->URL().isEmpty() || ed_.DataFolder.isEmpty()) return -1;
  return std::max(0.0, player->CurrentPosition());
}

void TimelineStrip::ReadTables() {
  const int n = ed_.DataFolder.isEmpty() ? 0 : std::clamp<int>(ed_.SldCnt, 0, MaxRecords);
  slides_.resize(n);
  images_.resize(n);
  for (int i = 0; i < n; ++i) {
    slides_[i].pos = ed_.Sld[i].pos;
    slides_[i].caption = ed_.Sld[i].caption;
    images_[i] = ed_.Sld[i].image;
  }
  const int m = ed_.DataFolder.isEmpty() ? 0 : std::clamp<int>(ed_.CurCnt, 0, MaxRecords);
  pointTimes_.resize(m);
  for (int i = 0; i < m; ++i) pointTimes_[i] = ed_.Cur[i].t;
  std::sort(pointTimes_.begin(), pointTimes_.end());
  gaps_ = FindPointGaps(pointTimes_, kPointGapSeconds);
  if (selected_ >= n) selected_ = -1;
}

void TimelineStrip::Refresh() {
  const MediaPlayer* player = ed_.svc.player;
  quint64 h = 1469598103934665603ULL;
  const int n = std::clamp<int>(ed_.SldCnt, 0, MaxRecords), m = std::clamp<int>(ed_.CurCnt, 0, MaxRecords);
  h = Mix(h, static_cast<quint64>(n) << 32 | static_cast<quint64>(m));
  h = Mix(h, static_cast<quint64>(ed_.history->Index()) << 32 | static_cast<quint64>(ed_.history->StepCount()));
  h = Mix(h, qHash(ed_.DataFolder));
  for (int i = 0; i < n; ++i) h = MixDouble(h, ed_.Sld[i].pos) + static_cast<quint64>(ed_.Sld[i].caption.size());
  for (int i = 0; i < m; ++i) h = MixDouble(h, ed_.Cur[i].t);
  const double playerDuration = player && !ed_.DataFolder.isEmpty() ? player->Duration() : 0;
  h = MixDouble(h, playerDuration);
  h = MixDouble(h, soundDuration_);
  h = MixDouble(h, peaks_.Seconds());
  const bool tablesChanged = h != signature_;
  if (tablesChanged) {
    signature_ = h;
    ReadTables();
    double d = std::max({playerDuration, soundDuration_, peaks_.Seconds(), 1.0});
    if (!slides_.empty()) d = std::max(d, slides_.back().pos + 1.0);
    if (!pointTimes_.empty()) d = std::max(d, pointTimes_.back());
    duration_ = d;
    if (!viewSet_) view_ = WholeView(duration_, width());
    ClampView(&view_, duration_, width());
  }
  const double playhead = PlayheadNow();
  const bool moved = std::abs(playhead - playhead_) > 1e-6;
  playhead_ = playhead;
  bool viewMoved = false;
  // While the video plays the strip follows the playhead a page at a time.
  if (moved && drag_ == Drag::None && player && player->PlayState() == PlayState::Playing) {
    const double x = view_.XOf(playhead_);
    if (x < 0 || x > width()) {
      view_.start = playhead_ - width() * 0.1 * view_.secondsPerPixel;
      ClampView(&view_, duration_, width());
      viewMoved = true;
    }
  }
  if (tablesChanged || viewMoved) Invalidate();
  else if (moved) update();
}

void TimelineStrip::SetView(const TimelineView& v) {
  view_ = v;
  viewSet_ = true;
  ClampView(&view_, duration_, width());
  Invalidate();
}

void TimelineStrip::ShowSlide(int index) {
  Refresh();
  if (index < 0 || index >= static_cast<int>(slides_.size())) return;
  selected_ = index;
  ScrollToShow(&view_, slides_[index].pos, width() / 8.0, duration_, width());
  Invalidate();
}

int TimelineStrip::SlideEdgeX(int index) const {
  if (index < 0 || index >= static_cast<int>(slides_.size())) return -1;
  return static_cast<int>(std::lround(view_.XOf(slides_[index].pos)));
}

int TimelineStrip::PlayheadX() const {
  return playhead_ < 0 ? -1 : static_cast<int>(std::lround(view_.XOf(playhead_)));
}

void TimelineStrip::Invalidate() {
  sceneDirty_ = true;
  update();
}

void TimelineStrip::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange) Invalidate();
}

void TimelineStrip::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  sceneDirty_ = true;
  if (!viewSet_) view_ = WholeView(duration_, width());
  ClampView(&view_, duration_, width());
}

const QImage* TimelineStrip::Thumbnail(int slide) {
  if (slide < 0 || slide >= static_cast<int>(images_.size())) return nullptr;
  const QString& name = images_[slide];
  auto it = thumbs_.constFind(name);
  if (it != thumbs_.constEnd()) return &it.value();
  if (name.isEmpty()) return &thumbs_.insert(name, QImage()).value();
  // Decoded on the strip's thread; the strip is drawn again as each arrives.
  if (!thumbsLoading_.contains(name) && thumbsLoading_.size() < kThumbsQueued) {
    thumbsLoading_.insert(name);
    const QString path = SlideImagePath(ed_, name);
    const quint64 generation = thumbGeneration_;
    thumbPool_.start([this, name, path, generation] {
      const QImage image = ReadPictureFile(path, QSize(kThumbWidth, kThumbHeight));
      QMetaObject::invokeMethod(
          this, [this, name, image, generation] { ThumbnailArrived(name, image, generation); }, Qt::QueuedConnection);
    });
  }
  return nullptr;
}

void TimelineStrip::ThumbnailArrived(const QString& name, const QImage& image, quint64 generation) {
  if (generation != thumbGeneration_) return;
  thumbsLoading_.remove(name);
  if (thumbs_.size() >= kMaxThumbs) thumbs_.clear();
  thumbs_.insert(name, image);
  Invalidate();
}

void TimelineStrip::paintEvent(QPaintEvent*) {
  // Everything but the playhead is drawn into a picture kept until something it shows changes: the
  // playback's ticks only draw the playhead over it.
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * dpr).toSize();
  if (sceneDirty_ || scene_.view.start != view_.start || scene_.view.secondsPerPixel != view_.secondsPerPixel ||
      sceneImage_.size() != pixels) {
    if (sceneImage_.size() != pixels) sceneImage_ = QImage(pixels, QImage::Format_RGB32);
    sceneImage_.setDevicePixelRatio(dpr);
    std::vector<TimelineSlide> moved;
    scene_.view = view_;
    scene_.duration = duration_;
    scene_.playhead = -1;
    scene_.peaks = &peaks_;
    scene_.waveNote = waveNote_;
    scene_.slides = &slides_;
    if (drag_ == Drag::Edge && selected_ >= 0) {
      moved = slides_;
      moved[selected_].pos = dragTime_;
      scene_.slides = &moved;
    }
    scene_.pointTimes = &pointTimes_;
    scene_.pointGaps = &gaps_;
    scene_.selectedSlide = selected_;
    QPainter ip(&sceneImage_);
    ip.setFont(font());
    PaintTimeline(ip, rect(), scene_);
    if (!isEnabled()) ip.fillRect(rect(), QColor(255, 255, 255, 90));
    scene_.slides = &slides_;
    sceneDirty_ = false;
  }
  QPainter p(this);
  p.drawImage(0, 0, sceneImage_);
  scene_.playhead = playhead_;
  PaintPlayhead(p, rect(), scene_);
}

int TimelineStrip::EdgeNear(double x) const {
  if (slides_.empty()) return -1;
  const double t = view_.TimeAt(x);
  int i = FirstSlideFrom(slides_, t);
  int best = -1;
  double bestD = kEdgeGrabPixels + 0.5;
  for (int k : {i - 1, i}) {
    if (k < 0 || k >= static_cast<int>(slides_.size())) continue;
    // Among slides at one pixel, the last one's edge is the one on top.
    int j = k;
    while (j + 1 < static_cast<int>(slides_.size()) && std::abs(view_.XOf(slides_[j + 1].pos) - view_.XOf(slides_[k].pos)) < 0.5 && j + 1 <= i) ++j;
    const double d = std::abs(view_.XOf(slides_[j].pos) - x);
    if (d < bestD) {
      bestD = d;
      best = j;
    }
  }
  return best;
}

int TimelineStrip::SlideAt(double x) const {
  if (slides_.empty()) return -1;
  return std::max(0, FirstSlideFrom(slides_, view_.TimeAt(x) + 1e-9) - 1);
}

double TimelineStrip::DragTarget(double x, bool snap, bool* snapped) const {
  double t = view_.TimeAt(x) - grabOffset_;
  if (snapped) *snapped = false;
  if (snap) t = SnapTime(t, snapTargets_, kSnapPixels * view_.secondsPerPixel, snapped);
  std::vector<double> times(slides_.size());
  for (size_t i = 0; i < slides_.size(); ++i) times[i] = slides_[i].pos;
  const TimeRange r = SlideTimeRange(times, selected_, std::max(duration_, slides_.back().pos));
  return RoundToMilliseconds(std::clamp(t, r.lo, r.hi));
}

bool TimelineStrip::CanSeek() const {
  return playhead_ >= 0 && ed_.ui.cbPlay[0] ? ed_.ui.cbPlay[0]->isEnabled() : playhead_ >= 0;
}

void TimelineStrip::SeekTo(double t) {
  if (!CanSeek()) return;
  OnPlayerSeekRequest(ed_, std::clamp(t, 0.0, duration_));
  Refresh();
}

void TimelineStrip::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const double x = e->position().x();
  const TimelineRows rows = TimelineRows::For(rect());
  const int edge = e->position().y() >= rows.wave.top() ? EdgeNear(x) : -1;
  if (edge >= 0 && TimelineEditsAllowed(ed_)) {
    selected_ = edge;
    drag_ = Drag::Edge;
    dragTime_ = slides_[edge].pos;
    pressTime_ = view_.TimeAt(x);
    grabOffset_ = pressTime_ - dragTime_;
    // Edges drawn at one pixel: the first move decides which of them goes (leftwards the first,
    // rightwards the last; neither could pass the others).
    groupLo_ = groupHi_ = edge;
    const double ex = view_.XOf(slides_[edge].pos);
    while (groupLo_ > 0 && std::abs(view_.XOf(slides_[groupLo_ - 1].pos) - ex) < 0.5) --groupLo_;
    while (groupHi_ + 1 < static_cast<int>(slides_.size()) && std::abs(view_.XOf(slides_[groupHi_ + 1].pos) - ex) < 0.5)
      ++groupHi_;
    // Silence: below a tenth of the lecture's loudest peak (companded), for at least 0.3 s.
    int loudest = 0;
    for (const PeakPair& p : peaks_.levels[WaveformPeaks::kLevels - 1])
      loudest = std::max({loudest, -static_cast<int>(p.lo), static_cast<int>(p.hi)});
    snapTargets_ = SnapTargets(playhead_, FindSilences(peaks_, std::max(8, loudest / 10), 0.3), gaps_);
    Invalidate();
    return;
  }
  selected_ = -1;
  drag_ = Drag::Scrub;
  SeekTo(view_.TimeAt(x));
  Invalidate();
}

void TimelineStrip::mouseMoveEvent(QMouseEvent* e) {
  const double x = e->position().x();
  if (drag_ == Drag::Edge) {
    if (groupLo_ != groupHi_ && view_.TimeAt(x) != pressTime_) {
      selected_ = view_.TimeAt(x) < pressTime_ ? groupLo_ : groupHi_;
      grabOffset_ = pressTime_ - slides_[selected_].pos;
      groupLo_ = groupHi_ = selected_;
    }
    bool snapped = false;
    dragTime_ = DragTarget(x, !(e->modifiers() & Qt::AltModifier), &snapped);
    QToolTip::showText(e->globalPosition().toPoint(),
                       QStringLiteral("%1  %2%3").arg(selected_ + 1).arg(FormatTimeText(dragTime_),
                                                                       snapped ? QStringLiteral("（スナップ）") : QString()),
                       this);
    Invalidate();
    return;
  }
  if (drag_ == Drag::Scrub) {
    // The seeks of a scrub are spaced so that the player can follow them.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastScrubMs_ >= 60) {
      lastScrubMs_ = now;
      SeekTo(view_.TimeAt(x));
    }
    return;
  }
  const TimelineRows rows = TimelineRows::For(rect());
  const bool onEdge = e->position().y() >= rows.wave.top() && TimelineEditsAllowed(ed_) && EdgeNear(x) >= 0;
  setCursor(onEdge ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void TimelineStrip::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const Drag was = drag_;
  drag_ = Drag::None;
  if (was == Drag::Edge) {
    QToolTip::hideText();
    const int index = selected_;
    if (index >= 0 && index < static_cast<int>(slides_.size()) && dragTime_ != slides_[index].pos) {
      DropSlideTime(ed_, index, dragTime_);
      selected_ = index;
    }
    Refresh();
    Invalidate();
  } else if (was == Drag::Scrub) {
    SeekTo(view_.TimeAt(e->position().x()));
  }
}

void TimelineStrip::mouseDoubleClickEvent(QMouseEvent* e) {
  const TimelineRows rows = TimelineRows::For(rect());
  if (!rows.slides.contains(e->position().toPoint())) return;
  const int i = SlideAt(e->position().x());
  if (i < 0 || !ed_.RS_SLD || i >= ed_.RS_SLD->RecordCount()) return;
  selected_ = i;
  ed_.RS_SLD->MoveTo(i);
  Invalidate();
}

void TimelineStrip::wheelEvent(QWheelEvent* e) {
  const QPoint d = e->angleDelta();
  const double steps = (d.y() != 0 ? d.y() : d.x()) / 120.0;
  if (steps == 0) return;
  viewSet_ = true;
  if (e->modifiers() & Qt::ControlModifier) {
    ZoomAround(&view_, e->position().x(), std::pow(0.8, steps), duration_, width());
  } else {
    view_.start -= steps * width() * 0.1 * view_.secondsPerPixel;
    ClampView(&view_, duration_, width());
  }
  Invalidate();
  e->accept();
}

void TimelineStrip::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if ((key == Qt::Key_Left || key == Qt::Key_Right) && selected_ >= 0 && drag_ == Drag::None) {
    const double step = (e->modifiers() & Qt::ShiftModifier) ? 0.1 : 0.01;
    if (TimelineEditsAllowed(ed_) && selected_ < static_cast<int>(slides_.size())) {
      const int index = selected_;
      DropSlideTime(ed_, index, slides_[index].pos + (key == Qt::Key_Left ? -step : step));
      selected_ = index;
      Refresh();
      ScrollToShow(&view_, slides_[index].pos, 20, duration_, width());
      Invalidate();
    }
    e->accept();
    return;
  }
  if (key == Qt::Key_Escape && drag_ == Drag::Edge) {
    drag_ = Drag::None;
    QToolTip::hideText();
    Invalidate();
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

}  // namespace kemo
