#pragma once
// The timeline's geometry: which time stands at which pixel, the zoom around the mouse, and where a
// dragged slide edge may go (its neighbours' limits and the times it snaps to).
#include <vector>

#include "timeline/waveform_peaks.h"

namespace kemo {

// The closest zoom: 10 ms a pixel.
constexpr double kFinestSecondsPerPixel = 0.01;
// Gaps between two points longer than this many seconds are marked (the timing check's default).
constexpr double kPointGapSeconds = 10.0;  // CheckOptions::pointGap

struct TimelineView {
  double start = 0;              // the time at x = 0
  double secondsPerPixel = 1.0;  // the zoom
  double XOf(double t) const { return (t - start) / secondsPerPixel; }
  double TimeAt(double x) const { return start + x * secondsPerPixel; }
};

// The view kept within the lecture: no closer than kFinestSecondsPerPixel, no wider than the whole
// lecture across `width` pixels, and scrolled no further than its ends.
void ClampView(TimelineView* view, double duration, int width);
// The whole lecture across width.
TimelineView WholeView(double duration, int width);
// Zooms by factor (below 1: closer) keeping the time at pixel x where it is, then clamps.
void ZoomAround(TimelineView* view, double x, double factor, double duration, int width);
// Scrolls so that t stands at least `margin` pixels inside the view; nothing when it already does.
void ScrollToShow(TimelineView* view, double t, double margin, double duration, int width);

// The range a registered slide's time may take, given the times of all slides: after the slide
// before it and before the one after it (by a millisecond each; 0 .. duration at the ends).
struct TimeRange {
  double lo = 0, hi = 0;
};
TimeRange SlideTimeRange(const std::vector<double>& slideTimes, int index, double duration);

// The nearest of `targets` within tolerance of t (which is returned when none is).
double SnapTime(double t, const std::vector<double>& targets, double tolerance, bool* snapped = nullptr);

// The gaps of the pointer track: between two consecutive point times (ascending) more than
// minSeconds apart.
std::vector<TimeSpan> FindPointGaps(const std::vector<double>& sortedTimes, double minSeconds);

// What a slide edge snaps to: the playhead, the edges of silences and of pointer gaps, ascending.
std::vector<double> SnapTargets(double playhead, const std::vector<TimeSpan>& silences,
                                const std::vector<TimeSpan>& gaps);

}  // namespace kemo
