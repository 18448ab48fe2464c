#pragma once
// The beep as a real tone: a sine of the given frequency and duration played on the default audio
// output, without blocking the caller. The tones asked for in one turn of the event loop (a pair)
// play one after the other; tones asked for while such a group still sounds are dropped, so that
// beeps never pile up behind a repeated cause. Where there is no audio output the toolkit's bell
// stands in.
#include <QAudioFormat>
#include <QAudioDevice>
#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <deque>
#include <utility>

#include "platform/services.h"

class QAudioSink;

namespace kemo {

class ToneBeeper : public QObject, public Beeper {
 public:
  explicit ToneBeeper(QObject* parent = nullptr);
  ~ToneBeeper() override;

  void Beep(int frequency, int durationMs) override;

  // The samples of one tone in the given format (interleaved channels), with a few milliseconds of
  // fade at both ends so that the tone starts and stops without a click.
  static QByteArray ToneSamples(int frequency, int durationMs, const QAudioFormat& format);

  // True while a tone plays or waits.
  bool Busy() const { return sink_ != nullptr || !queue_.empty(); }
  // Finds the audio output (which starts the sound system): done at the first beep unless called
  // before, once the window shows.
  void Prepare();
  // True when tones go to an audio output (not to the bell).
  bool HasOutput();
  // Tones handed to the audio output, and tones dropped because a group still sounded.
  int Played() const { return played_; }
  int Dropped() const { return dropped_; }

 private:
  void PlayNext();
  void Finish(QAudioSink* sink, bool failed);

  bool prepared_ = false;
  QAudioDevice device_;
  QAudioFormat format_;
  QAudioSink* sink_ = nullptr;
  QBuffer buffer_;
  QByteArray samples_;
  std::deque<std::pair<int, int>> queue_;
  bool groupOpen_ = false;
  int played_ = 0;
  int dropped_ = 0;
};

}  // namespace kemo
