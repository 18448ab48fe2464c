#pragma once
// Drawing the timeline strip from what it shows: the view, the peaks, the slides, the point times
// and the playhead. It knows nothing of where any of them came from.
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <vector>

#include "timeline/timeline_view.h"
#include "timeline/waveform_peaks.h"

class QPainter;

namespace kemo {

struct TimelineSlide {
  double pos = 0;
  QString caption;
};

struct TimelineScene {
  TimelineView view;
  double duration = 0;
  double playhead = -1;  // -1: none
  const WaveformPeaks* peaks = nullptr;
  QString waveNote;  // shown over the waveform row ("波形を作成中…", a failure's reason)
  const std::vector<TimelineSlide>* slides = nullptr;
  const std::vector<double>* pointTimes = nullptr;  // ascending
  const std::vector<TimeSpan>* pointGaps = nullptr;
  int selectedSlide = -1;  // the slide edge selected (drawn bold)
  // The picture of slide i scaled to the thumbnail size, or null when it is not at hand yet.
  std::function<const QImage*(int slide)> thumbnail;
};

// The rows, top to bottom, in pixels.
struct TimelineRows {
  QRect ruler, wave, slides, points;
  static TimelineRows For(const QRect& area);
  int Height() const { return points.bottom() - ruler.top() + 1; }
};
constexpr int kTimelineHeight = 150;
constexpr int kThumbWidth = 48, kThumbHeight = 36;

void PaintTimeline(QPainter& p, const QRect& area, const TimelineScene& scene);
// The playhead alone (PaintTimeline draws it too).
void PaintPlayhead(QPainter& p, const QRect& area, const TimelineScene& scene);

// The first slide whose edge lies in or after time t (slides ascending by pos).
int FirstSlideFrom(const std::vector<TimelineSlide>& slides, double t);

}  // namespace kemo
