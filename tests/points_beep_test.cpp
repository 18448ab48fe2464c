// The recorder's beep: the generated tone has the asked frequency and length in any sample format,
// and asking for tones never blocks the caller.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
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
  // The editor prepares the sound machinery once, after its window is drawn (a first start of
  // GStreamer may build its plugin registry first); the beeps themselves never wait.
  beeper.Prepare();
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

TEST(Beep, RefusalsRepeatedEveryTickNeverPileUp) {
  // The real audio path: a sound server of the test's own whose only output is a null sink, which
  // takes the samples at the pace of a real device.
  const QString server = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
  if (server.isEmpty()) GTEST_SKIP() << "pulseaudio not installed";
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  const QString socket = runtime.filePath(QStringLiteral("native"));
  QProcess pulse;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("HOME"), runtime.path());
  env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), runtime.path());
  pulse.setProcessEnvironment(env);
  pulse.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  pulse.start(server, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                       QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-level=error"),
                       QStringLiteral("--load=module-null-sink"),
                       QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
  ASSERT_TRUE(pulse.waitForStarted(5000));
  QElapsedTimer up;
  up.start();
  while (!QFileInfo::exists(socket) && up.elapsed() < 10000) test::Pump(20);
  ASSERT_TRUE(QFileInfo::exists(socket)) << "the sound server did not come up";
  qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socket).toLocal8Bit());

  {
    ToneBeeper beeper;
    ASSERT_TRUE(beeper.HasOutput()) << "no audio output through the null sink";
    // One second of a held button over a refused time: every 50 ms tick beeps its pair.
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      beeper.Beep(415, 100);
      beeper.Beep(330, 200);
    });
    tick.start();
    test::Pump(1000);
    tick.stop();
    // Released: what still sounds is at most the pair under way (300 ms) and the device's latency,
    // not the five seconds of tone twenty ticks would have queued.
    QElapsedTimer released;
    released.start();
    while (beeper.Busy() && released.elapsed() < 10000) test::Pump(10);
    EXPECT_LT(released.elapsed(), 800);
    EXPECT_GE(beeper.Played(), 2);  // the tones went to the device
    EXPECT_GE(beeper.Dropped(), 20);
  }
  qunsetenv("PULSE_SERVER");
  pulse.terminate();
  pulse.waitForFinished(3000);
}
