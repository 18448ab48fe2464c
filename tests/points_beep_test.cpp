// The recorder's beep: the generated tone has the asked frequency and length in any sample format,
// and asking for tones never blocks the caller.
#include <QElapsedTimer>
#include <cstring>
#include <gtest/gtest.h>

#include "platform/beep.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

QAudioFormat Format(int rate, int channels, QAudioFormat::SampleFormat sf) {
  QAudioFormat f;
  f.setSampleRate(rate);
  f.setChannelCount(channels);
  f.setSampleFormat(sf);
  return f;
}

// Sign changes of the first channel: twice the frequency per second.
int ZeroCrossings(const QByteArray& data, const QAudioFormat& f) {
  const int frame = f.bytesPerFrame();
  int crossings = 0;
  double prev = 0;
  for (qsizetype off = 0; off + frame <= data.size(); off += frame) {
    double v = 0;
    if (f.sampleFormat() == QAudioFormat::Int16) {
      qint16 s;
      std::memcpy(&s, data.constData() + off, 2);
      v = s;
    } else if (f.sampleFormat() == QAudioFormat::Float) {
      float s;
      std::memcpy(&s, data.constData() + off, 4);
      v = s;
    }
    if (v != 0 && prev != 0 && (v > 0) != (prev > 0)) ++crossings;
    if (v != 0) prev = v;
  }
  return crossings;
}

}  // namespace

TEST(Beep, ToneHasTheFrequencyAndDurationAsked) {
  const QAudioFormat mono = Format(44100, 1, QAudioFormat::Int16);
  const QByteArray high = ToneBeeper::ToneSamples(415, 100, mono);
  EXPECT_EQ(high.size(), 4410 * 2);
  EXPECT_NEAR(ZeroCrossings(high, mono), 83, 2);

  const QAudioFormat stereo = Format(48000, 2, QAudioFormat::Float);
  const QByteArray low = ToneBeeper::ToneSamples(330, 200, stereo);
  EXPECT_EQ(low.size(), 9600 * 2 * 4);
  EXPECT_NEAR(ZeroCrossings(low, stereo), 132, 2);

  // Not louder than half scale, and silent at both ends (no click).
  qint16 first, peak = 0;
  std::memcpy(&first, high.constData(), 2);
  EXPECT_EQ(first, 0);
  for (qsizetype i = 0; i < high.size(); i += 2) {
    qint16 s;
    std::memcpy(&s, high.constData() + i, 2);
    peak = std::max<qint16>(peak, static_cast<qint16>(std::abs(s)));
  }
  EXPECT_GT(peak, 15000);
  EXPECT_LE(peak, 16384);
  EXPECT_TRUE(ToneBeeper::ToneSamples(0, 100, mono).isEmpty());
  EXPECT_TRUE(ToneBeeper::ToneSamples(415, 0, mono).isEmpty());
}

TEST(Beep, BeepingDoesNotBlock) {
  ToneBeeper beeper;
  QElapsedTimer t;
  t.start();
  beeper.Beep(415, 100);
  beeper.Beep(330, 200);
  EXPECT_LT(t.elapsed(), 100);
  // Whatever the machine has (a device or the bell), the queue drains by itself.
  QElapsedTimer wait;
  wait.start();
  while (beeper.Busy() && wait.elapsed() < 3000) test::Pump(20);
  EXPECT_FALSE(beeper.Busy());
}
