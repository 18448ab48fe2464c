#pragma once
// The sound's waveform as the timeline draws it: the lowest and highest sample of each short span
// of time, at three levels of detail (10 ms, 100 ms and 1 s a span). The finest level is filled from
// the decoded sound as it arrives; the two coarser ones are made from it. A value is a companded
// byte (-127..127 stands for the square root of the amplitude), so quiet speech still shows and an
// hour costs 720 kB at the finest level.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemo {

struct PeakPair {
  int8_t lo = 0;
  int8_t hi = 0;
};

struct WaveformPeaks {
  static constexpr int kLevels = 3;
  // The samples of one span at each level, at the rate the sound is decoded with.
  static constexpr int kSampleRate = 8000;
  static constexpr std::array<int, kLevels> kSpanSamples = {80, 800, 8000};
  static constexpr std::array<double, kLevels> kSpanSeconds = {0.01, 0.1, 1.0};

  std::array<std::vector<PeakPair>, kLevels> levels;
  // Seconds of sound the finest level covers.
  double Seconds() const { return levels[0].size() * kSpanSeconds[0]; }
  bool Empty() const { return levels[0].empty(); }
  size_t Bytes() const;

  // The coarsest level whose span is not longer than secondsPerPixel (the finest when all are).
  static int LevelFor(double secondsPerPixel);
  // Lowest and highest value over [t0, t1) at `level`; false when no span lies there.
  bool Range(int level, double t0, double t1, PeakPair* out) const;
  // The coarser levels made again from the finest (after it grew).
  void DeriveCoarseLevels();
};

// Companding of one sample: sign * round(127 * sqrt(|s| / 32768)).
int8_t CompandSample(int16_t sample);

// Turns decoded 16-bit mono samples into spans of the finest level, as they arrive in pieces of any
// length (a sample may even be split between two pieces).
class PeakAccumulator {
 public:
  void Feed(const char* bytes, size_t count);
  // The spans completed since the last call; the last incomplete span stays until Finish.
  std::vector<PeakPair> TakeSpans();
  // Completes the incomplete span at the end of the sound.
  void Finish();

 private:
  std::vector<PeakPair> done_;
  int inSpan_ = 0;
  bool haveOdd_ = false;
  uint8_t oddByte_ = 0;
  int8_t lo_ = 127, hi_ = -127;
};

// Spans of silence at the finest level: every run of spans whose peaks stay within `threshold`
// (companded) lasting at least minSeconds, as [start, end) in seconds.
struct TimeSpan {
  double start = 0, end = 0;
};
std::vector<TimeSpan> FindSilences(const WaveformPeaks& peaks, int threshold, double minSeconds);

}  // namespace kemo
