#include "timeline/waveform_peaks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kemo {

namespace {

// sqrt companding by table: 32769 magnitudes, built once.
struct CompandTable {
  CompandTable() {
    for (int m = 0; m <= 32768; ++m) v[m] = static_cast<int8_t>(std::lround(127.0 * std::sqrt(m / 32768.0)));
  }
  int8_t v[32769];
};
const CompandTable& Table() {
  static const CompandTable t;
  return t;
}

PeakPair Merge(const PeakPair* first, size_t count) {
  PeakPair p{127, -127};
  for (size_t i = 0; i < count; ++i) {
    p.lo = std::min(p.lo, first[i].lo);
    p.hi = std::max(p.hi, first[i].hi);
  }
  return p;
}

}  // namespace

int8_t CompandSample(int16_t sample) {
  const int m = std::abs(static_cast<int>(sample));
  const int8_t c = Table().v[m];
  return sample < 0 ? static_cast<int8_t>(-c) : c;
}

size_t WaveformPeaks::Bytes() const {
  size_t b = 0;
  for (const auto& l : levels) b += l.size() * sizeof(PeakPair);
  return b;
}

int WaveformPeaks::LevelFor(double secondsPerPixel) {
  for (int l = kLevels - 1; l > 0; --l)
    if (kSpanSeconds[l] <= secondsPerPixel * (1 + 1e-9)) return l;
  return 0;
}

bool WaveformPeaks::Range(int level, double t0, double t1, PeakPair* out) const {
  if (level < 0 || level >= kLevels) return false;
  const std::vector<PeakPair>& l = levels[level];
  const double span = kSpanSeconds[level];
  const long long n = static_cast<long long>(l.size());
  long long a = static_cast<long long>(std::floor(t0 / span + 1e-9));
  long long b = static_cast<long long>(std::ceil(t1 / span - 1e-9));
  a = std::max(a, 0LL);
  b = std::min(b, n);
  if (b <= a) {
    // A pixel narrower than a span: the span it lies in.
    if (a < n && a >= 0 && t1 > t0) {
      *out = l[a];
      return true;
    }
    return false;
  }
  *out = Merge(l.data() + a, static_cast<size_t>(b - a));
  return true;
}

void WaveformPeaks::DeriveCoarseLevels() {
  for (int level = 1; level < kLevels; ++level) {
    const std::vector<PeakPair>& fine = levels[level - 1];
    const size_t ratio = static_cast<size_t>(kSpanSamples[level] / kSpanSamples[level - 1]);
    std::vector<PeakPair>& coarse = levels[level];
    // Only the last coarse span can have been incomplete: it and the new ones are made again.
    size_t from = coarse.empty() ? 0 : coarse.size() - 1;
    coarse.resize((fine.size() + ratio - 1) / ratio);
    for (size_t i = from; i < coarse.size(); ++i) {
      const size_t a = i * ratio;
      coarse[i] = Merge(fine.data() + a, std::min(ratio, fine.size() - a));
    }
  }
}

void PeakAccumulator::Feed(const char* bytes, size_t count) {
  const CompandTable& t = Table();
  const int span = WaveformPeaks::kSpanSamples[0];
  auto take = [&](int16_t s) {
    const int m = std::abs(static_cast<int>(s));
    const int8_t c = s < 0 ? static_cast<int8_t>(-t.v[m]) : t.v[m];
    lo_ = std::min(lo_, c);
    hi_ = std::max(hi_, c);
    if (++inSpan_ == span) {
      done_.push_back({lo_, hi_});
      inSpan_ = 0;
      lo_ = 127;
      hi_ = -127;
    }
  };
  size_t i = 0;
  if (haveOdd_ && count > 0) {
    const uint16_t u = static_cast<uint16_t>(oddByte_ | (static_cast<uint8_t>(bytes[0]) << 8));
    take(static_cast<int16_t>(u));
    haveOdd_ = false;
    i = 1;
  }
  for (; i + 1 < count; i += 2) {
    const uint16_t u = static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    take(static_cast<int16_t>(u));
  }
  if (i < count) {
    haveOdd_ = true;
    oddByte_ = static_cast<uint8_t>(bytes[i]);
  }
}

std::vector<PeakPair> PeakAccumulator::TakeSpans() {
  std::vector<PeakPair> out;
  out.swap(done_);
  return out;
}

void PeakAccumulator::Finish() {
  if (inSpan_ > 0) done_.push_back({lo_, hi_});
  inSpan_ = 0;
  lo_ = 127;
  hi_ = -127;
  haveOdd_ = false;
}

std::vector<TimeSpan> FindSilences(const WaveformPeaks& peaks, int threshold, double minSeconds) {
  std::vector<TimeSpan> out;
  const std::vector<PeakPair>& l = peaks.levels[0];
  const double span = WaveformPeaks::kSpanSeconds[0];
  size_t runStart = 0;
  bool inRun = false;
  auto close = [&](size_t end) {
    if (inRun && (end - runStart) * span >= minSeconds - 1e-9) out.push_back({runStart * span, end * span});
    inRun = false;
  };
  for (size_t i = 0; i < l.size(); ++i) {
    const bool quiet = std::max(-static_cast<int>(l[i].lo), static_cast<int>(l[i].hi)) <= threshold;
    if (quiet && !inRun) {
      inRun = true;
      runStart = i;
    } else if (!quiet) {
      close(i);
    }
  }
  close(l.size());
  return out;
}

}  // namespace kemo
