#include "timeline/timeline_view.h"

#include <algorithm>
#include <cmath>

namespace kemo {

void ClampView(TimelineView* view, double duration, int width) {
  const double w = std::max(1, width);
  const double widest = std::max(kFinestSecondsPerPixel, duration / w);
  view->secondsPerPixel = std::clamp(view->secondsPerPixel, kFinestSecondsPerPixel, widest);
  const double last = std::max(0.0, duration - w * view->secondsPerPixel);
  view->start = std::clamp(view->start, 0.0, last);
}

TimelineView WholeView(double duration, int width) {
  TimelineView v;
  v.start = 0;
  v.secondsPerPixel = duration / std::max(1, width);
  ClampView(&v, duration, width);
  return v;
}

void ZoomAround(TimelineView* view, double x, double factor, double duration, int width) {
  const double t = view->TimeAt(x);
  view->secondsPerPixel *= factor;
  ClampView(view, duration, width);
  view->start = t - x * view->secondsPerPixel;
  ClampView(view, duration, width);
}

void ScrollToShow(TimelineView* view, double t, double margin, double duration, int width) {
  const double x = view->XOf(t);
  margin = std::min(margin, width / 2.0);
  if (x >= margin && x <= width - margin) return;
  view->start = t - (x < margin ? margin : width - margin) * view->secondsPerPixel;
  ClampView(view, duration, width);
}

TimeRange SlideTimeRange(const std::vector<double>& slideTimes, int index, double duration) {
  TimeRange r{0, std::max(0.0, duration)};
  const int n = static_cast<int>(slideTimes.size());
  if (index < 0 || index >= n) return r;
  if (index > 0) r.lo = slideTimes[index - 1] + 0.001;
  if (index + 1 < n) r.hi = slideTimes[index + 1] - 0.001;
  else if (duration <= 0) r.hi = 1e9;
  if (r.hi < r.lo) r.hi = r.lo = slideTimes[index];
  return r;
}

double SnapTime(double t, const std::vector<double>& targets, double tolerance, bool* snapped) {
  if (snapped) *snapped = false;
  auto it = std::lower_bound(targets.begin(), targets.end(), t);
  double best = t, bestD = tolerance;
  for (auto c : {it, it == targets.begin() ? targets.end() : it - 1}) {
    if (c == targets.end()) continue;
    const double d = std::abs(*c - t);
    if (d <= bestD) {
      best = *c;
      bestD = d;
      if (snapped) *snapped = true;
    }
  }
  return best;
}

std::vector<TimeSpan> FindPointGaps(const std::vector<double>& sortedTimes, double minSeconds) {
  std::vector<TimeSpan> gaps;
  for (size_t i = 1; i < sortedTimes.size(); ++i)
    if (sortedTimes[i] - sortedTimes[i - 1] > minSeconds) gaps.push_back({sortedTimes[i - 1], sortedTimes[i]});
  return gaps;
}

std::vector<double> SnapTargets(double playhead, const std::vector<TimeSpan>& silences,
                                const std::vector<TimeSpan>& gaps) {
  std::vector<double> t;
  t.reserve(1 + 2 * (silences.size() + gaps.size()));
  if (playhead >= 0) t.push_back(playhead);
  for (const TimeSpan& s : silences) {
    t.push_back(s.start);
    t.push_back(s.end);
  }
  for (const TimeSpan& g : gaps) {
    t.push_back(g.start);
    t.push_back(g.end);
  }
  std::sort(t.begin(), t.end());
  return t;
}

}  // namespace kemo
