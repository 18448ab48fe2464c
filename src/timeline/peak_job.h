#pragma once
// The job that makes a video's waveform peaks, off the window's thread. The peaks of a video seen
// before come from the per-user cache (when the cached file checks out); otherwise the encoder
// (ffmpeg, found as every encoder job finds it) decodes the video's sound to a pipe as 16-bit mono
// at a low rate, and the peaks are made as the samples arrive. The window takes what has arrived
// whenever it likes (TakeNew) and is told that something did through onUpdate, which is called on
// the job's own thread at most every 100 ms: the caller hands it on to the window's thread.
//
// The video reaches the encoder as an open file (its standard input) that went through the
// data-file checks: a FIFO, a device or a link out of the folder is never read, and no name in the
// folder is ever interpreted by the encoder. Starting again or destroying the job cancels the run:
// the encoder is killed, and a run that did not finish writes no cache.
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "timeline/waveform_peaks.h"

namespace kemo {

struct WaveformRequest {
  QString video;          // Video.flv or Video.avi of the data folder
  QString folder;         // the data folder
  QString programFolder;  // where the encoder is looked for first
  QString cacheFolder;    // "" keeps nothing
};

enum class WaveformStatus {
  Idle,       // nothing asked, or cancelled
  Working,    // peaks are arriving
  Done,       // all of the sound's peaks are there (decoded now)
  FromCache,  // all of them, read from the cache
  Failed,     // the video could not be read or decoded (see Reason)
};

class WaveformJob {
 public:
  explicit WaveformJob(std::function<void()> onUpdate = {});
  ~WaveformJob();
  WaveformJob(const WaveformJob&) = delete;
  WaveformJob& operator=(const WaveformJob&) = delete;

  void Start(const WaveformRequest& request);
  // Ends the run (if any) and waits until its thread has ended; the peaks taken so far stay.
  void Cancel();

  // Appends to *peaks the spans that arrived since it last got them (peaks->levels[0].size() says
  // how many it has) and derives its coarse levels; true when something was added.
  bool TakeNew(WaveformPeaks* peaks);
  WaveformStatus Status() const;
  // The sound's length as the encoder reported it (-1 while unknown), and the reason of a failure.
  double Duration() const;
  QString Reason() const;
  // Waits for the run to end (tests and benchmarks); false after timeoutMs.
  bool Wait(int timeoutMs);

 private:
  void Run(WaveformRequest request, int fd, QString encoder);
  bool Decode(int fd, const QString& encoder, bool avi);
  void Publish(std::vector<PeakPair>&& spans, bool force);

  std::function<void()> onUpdate_;
  std::thread thread_;
  std::atomic<bool> cancel_{false};
  mutable std::mutex mutex_;
  std::vector<PeakPair> spans_;  // the finest level as it arrives
  WaveformStatus status_ = WaveformStatus::Idle;
  double duration_ = -1;
  QString reason_;
  int child_ = -1;      // the encoder's process id while it may be signalled
  long long lastPublishMs_ = 0;
};

// The encoder's arguments: the open video on standard input, its sound as s16le mono at the peaks'
// rate on standard output (also what the benchmark's bare decode runs).
QStringList WaveformDecodeArguments(bool avi);

}  // namespace kemo
