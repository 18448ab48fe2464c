#pragma once
// The slide frames handed to the encoder as a stream of raw pictures through a named pipe, frame by
// frame at the video's rate, instead of picture files in the work folder: a lecture of thousands of
// slides then takes no room on disk. The frames are drawn on threads of their own, a few slides
// ahead of the one being written, so neither the window nor the encoder waits for them.
#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "export/export_lecture.h"

namespace kemo {

// A run of frames showing one slide: frames first .. first + count - 1 (frame n is at n / Rate s).
struct FrameRun {
  int slide = 0;
  qint64 first = 0;
  qint64 count = 0;
};

// The slide of each of `frames` frames: frame n shows the slide the stage shows at n / Rate seconds,
// so each slide appears at the first frame at or after its time. Consecutive frames of one slide are
// one run; a slide whose time falls between two frames, with another after it before the next
// frame, never shows.
std::vector<FrameRun> FrameRuns(const std::vector<SlideRecord>& slides, qint64 frames);

// The raw picture format of the stream (for the encoder's input options).
inline const char* const kFeedPixelFormat = "yuv420p";

// One frame as 8-bit Y, then U and V at half the size (BT.601, studio range, as the encoder's own
// conversion does).
QByteArray ToYuv420(const QImage& rgb32);

class SlideFeed {
 public:
  // Starts drawing and writing the frames of `runs` into the named pipe `pipePath` (made by the
  // caller), which the writer opens once the encoder has opened it for reading.
  SlideFeed(const ExportSource& source, std::vector<FrameRun> runs, const QString& pipePath);
  ~SlideFeed();
  SlideFeed(const SlideFeed&) = delete;
  SlideFeed& operator=(const SlideFeed&) = delete;

  // Ends the drawing and writing at once (the encoder stopped or was ended).
  void Stop();
  // Waits for the threads; true when every frame was written.
  bool Finish();
  // The slides (0-based) whose picture could not be shown (drawn with the stand-in), ascending.
  std::vector<int> SlidesNotFound();

 private:
  void Draw();
  void Write();

  const ExportSource& source_;
  const std::vector<FrameRun> runs_;
  const QString pipe_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> complete_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextToDraw_ = 0;
  size_t written_ = 0;
  std::map<size_t, QByteArray> drawn_;
  std::vector<int> notFound_;
  std::vector<std::thread> threads_;
};

}  // namespace kemo
