#include "platform/beep.h"

#include "platform/media_plugins.h"

#include <QApplication>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kemo {

namespace {

QAudioFormat ChooseFormat(const QAudioDevice& device) {
  QAudioFormat f;
  f.setSampleRate(44100);
  f.setChannelCount(1);
  f.setSampleFormat(QAudioFormat::Int16);
  if (device.isNull() || device.isFormatSupported(f)) return f;
  return device.preferredFormat();
}

}  // namespace

ToneBeeper::ToneBeeper(QObject* parent) : QObject(parent) {}

void ToneBeeper::Prepare() {
  if (prepared_) return;
  prepared_ = true;
  LeaveOutCaptureDevices();
  // No sound device: the bell, without asking the sound libraries (which print their failures).
  if (!SoundOutputPresent()) return;
  device_ = QMediaDevices::defaultAudioOutput();
  format_ = ChooseFormat(device_);
}

bool ToneBeeper::HasOutput() {
  Prepare();
  return !device_.isNull();
}

ToneBeeper::~ToneBeeper() {
  queue_.clear();
  if (sink_) {
    sink_->disconnect(this);
    sink_->stop();
    delete sink_;
    sink_ = nullptr;
  }
}

QByteArray ToneBeeper::ToneSamples(int frequency, int durationMs, const QAudioFormat& format) {
  const int rate = format.sampleRate();
  const int channels = std::max(1, format.channelCount());
  const int bytes = format.bytesPerSample();
  if (rate <= 0 || bytes <= 0 || durationMs <= 0 || frequency <= 0) return {};
  const qint64 frames = static_cast<qint64>(rate) * durationMs / 1000;
  const qint64 fade = std::min<qint64>(rate * 5 / 1000, frames / 2);  // 5 ms
  QByteArray out(static_cast<qsizetype>(frames * channels * bytes), '\0');
  char* p = out.data();
  const double amplitude = 0.5;
  for (qint64 i = 0; i < frames; ++i) {
    double gain = amplitude;
    if (fade > 0) {
      if (i < fade) gain *= static_cast<double>(i) / fade;
      if (frames - 1 - i < fade) gain *= static_cast<double>(frames - 1 - i) / fade;
    }
    const double v = gain * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
    for (int c = 0; c < channels; ++c) {
      switch (format.sampleFormat()) {
        case QAudioFormat::UInt8: {
          const auto s = static_cast<quint8>(std::lround(128 + v * 127));
          std::memcpy(p, &s, 1);
          break;
        }
        case QAudioFormat::Int16: {
          const auto s = static_cast<qint16>(std::lround(v * 32767));
          std::memcpy(p, &s, 2);
          break;
        }
        case QAudioFormat::Int32: {
          const auto s = static_cast<qint32>(std::llround(v * 2147483647.0));
          std::memcpy(p, &s, 4);
          break;
        }
        case QAudioFormat::Float: {
          const auto s = static_cast<float>(v);
          std::memcpy(p, &s, 4);
          break;
        }
        default: break;
      }
      p += bytes;
    }
  }
  return out;
}

void ToneBeeper::Beep(int frequency, int durationMs) {
  if (!HasOutput()) {
    QApplication::beep();
    return;
  }
  // The tones asked for in one turn of the event loop make one group (a refusal's pair). While a
  // group sounds, a new one is dropped: a refusal repeated every tick would otherwise queue its
  // beeps faster than they play, and they would go on long after the cause is gone.
  if (!groupOpen_) {
    if (Busy()) {
      ++dropped_;
      return;
    }
    groupOpen_ = true;
    QTimer::singleShot(0, this, [this] { groupOpen_ = false; });
  }
  queue_.emplace_back(frequency, durationMs);
  if (!sink_) PlayNext();
}

void ToneBeeper::PlayNext() {
  while (!queue_.empty() && !sink_) {
    const auto [frequency, durationMs] = queue_.front();
    queue_.pop_front();
    samples_ = ToneSamples(frequency, durationMs, format_);
    if (samples_.isEmpty()) continue;
    buffer_.close();
    buffer_.setData(samples_);
    buffer_.open(QIODevice::ReadOnly);
    sink_ = new QAudioSink(device_, format_, this);
    QAudioSink* sink = sink_;
    connect(sink_, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
      if (sink != sink_) return;
      const bool failed = sink->error() != QAudio::NoError && sink->error() != QAudio::UnderrunError;
      if (state == QAudio::IdleState || (state == QAudio::StoppedState && failed))
        // Leave the sink's own signal before it goes.
        QTimer::singleShot(0, this, [this, sink, failed] { Finish(sink, failed); });
    });
    sink_->start(&buffer_);
    ++played_;
    if (sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError) Finish(sink_, true);
  }
}

void ToneBeeper::Finish(QAudioSink* sink, bool failed) {
  if (sink != sink_ || !sink_) return;
  sink_->disconnect(this);
  sink_->stop();
  sink_->deleteLater();
  sink_ = nullptr;
  // The device would not play: the bell says the same.
  if (failed) QApplication::beep();
  PlayNext();
}

}  // namespace kemo
