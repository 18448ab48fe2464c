#include "export/slide_feed.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include "export/export_frames.h"
#include "export/export_plan.h"
#include "playback/sync.h"

namespace kemo {

namespace {

constexpr size_t kAhead = 4;  // slides drawn ahead of the one being written

// The first frame whose time, in single precision as the stage compares, is at or after `t`.
qint64 FirstFrameAtOrAfter(float t) {
  if (!(t > 0)) return 0;
  qint64 n = std::max<qint64>(0, static_cast<qint64>(std::floor(static_cast<double>(t) * ExportFrame::Rate)) - 1);
  while (static_cast<float>(static_cast<double>(n) / ExportFrame::Rate) < t) ++n;
  return n;
}

}  // namespace

std::vector<FrameRun> FrameRuns(const std::vector<SlideRecord>& slides, qint64 frames) {
  std::vector<FrameRun> runs;
  if (frames <= 0 || slides.empty()) return runs;
  const double end = static_cast<double>(frames) / ExportFrame::Rate;
  // The spans follow each other, and so do their frames.
  for (const SlideSpan& s : SlideSpans(slides, end)) {
    const qint64 first = FirstFrameAtOrAfter(static_cast<float>(s.start));
    const qint64 last = std::min(frames, FirstFrameAtOrAfter(static_cast<float>(s.end)));
    if (last <= first) continue;  // in force between two frames only
    if (!runs.empty() && runs.back().slide == s.slide)
      runs.back().count = last - runs.back().first;
    else
      runs.push_back(FrameRun{s.slide, first, last - first});
  }
  return runs;
}

QByteArray ToYuv420(const QImage& rgb32) {
  const int w = rgb32.width(), h = rgb32.height();
  QByteArray out(static_cast<qsizetype>(w) * h * 3 / 2, Qt::Uninitialized);
  uchar* y = reinterpret_cast<uchar*>(out.data());
  uchar* u = y + static_cast<qsizetype>(w) * h;
  uchar* v = u + static_cast<qsizetype>(w / 2) * (h / 2);
  for (int row = 0; row < h; ++row) {
    const QRgb* in = reinterpret_cast<const QRgb*>(rgb32.constScanLine(row));
    uchar* yr = y + static_cast<qsizetype>(row) * w;
    for (int x = 0; x < w; ++x)
      yr[x] = static_cast<uchar>((66 * qRed(in[x]) + 129 * qGreen(in[x]) + 25 * qBlue(in[x]) + 128 + (16 << 8)) >> 8);
  }
  for (int row = 0; row + 1 < h; row += 2) {
    const QRgb* a = reinterpret_cast<const QRgb*>(rgb32.constScanLine(row));
    const QRgb* b = reinterpret_cast<const QRgb*>(rgb32.constScanLine(row + 1));
    uchar* ur = u + static_cast<qsizetype>(row / 2) * (w / 2);
    uchar* vr = v + static_cast<qsizetype>(row / 2) * (w / 2);
    for (int x = 0; x + 1 < w; x += 2) {
      const int r = qRed(a[x]) + qRed(a[x + 1]) + qRed(b[x]) + qRed(b[x + 1]);
      const int g = qGreen(a[x]) + qGreen(a[x + 1]) + qGreen(b[x]) + qGreen(b[x + 1]);
      const int bl = qBlue(a[x]) + qBlue(a[x + 1]) + qBlue(b[x]) + qBlue(b[x + 1]);
      ur[x / 2] = static_cast<uchar>((-38 * r - 74 * g + 112 * bl + 512 + (128 << 10)) >> 10);
      vr[x / 2] = static_cast<uchar>((112 * r - 94 * g - 18 * bl + 512 + (128 << 10)) >> 10);
    }
  }
  return out;
}

SlideFeed::SlideFeed(const ExportSource& source, std::vector<FrameRun> runs, const QString& pipePath)
    : source_(source), runs_(std::move(runs)), pipe_(pipePath) {
  threads_.emplace_back([this] { Write(); });
  const unsigned drawers = std::clamp(std::thread::hardware_concurrency(), 1U, 2U);
  for (unsigned i = 0; i < drawers; ++i) threads_.emplace_back([this] { Draw(); });
}

SlideFeed::~SlideFeed() {
  Stop();
  Finish();
}

void SlideFeed::Stop() {
  stop_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}

bool SlideFeed::Finish() {
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  return complete_;
}

std::vector<int> SlideFeed::SlidesNotFound() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<int> slides = notFound_;
  std::sort(slides.begin(), slides.end());
  slides.erase(std::unique(slides.begin(), slides.end()), slides.end());
  return slides;
}

void SlideFeed::Draw() {
  const std::vector<PointerMark> marks = ShownMarks(source_.points, source_.symOn);
  const int count = static_cast<int>(source_.slides.size());
  QImage picture, frame;  // this thread's own, drawn into again for every slide
  for (;;) {
    size_t k = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || nextToDraw_ >= runs_.size() || nextToDraw_ < written_ + kAhead; });
      if (stop_ || nextToDraw_ >= runs_.size()) return;
      k = nextToDraw_++;
    }
    const int index = runs_[k].slide;
    const SlideRecord& r = source_.slides[static_cast<size_t>(index)];
    const bool found = LoadStageSlidePicture(&picture, source_.folder, r.image, source_.defaultPicture,
                                             QSize(ExportFrame::SlideWidth, ExportFrame::SlideHeight));
    DrawSlideFrame(&frame, picture, !found, marks, SlideFrameText{index + 1, count, r.caption});
    QByteArray yuv = ToYuv420(frame);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!found) notFound_.push_back(index);
    drawn_[k] = std::move(yuv);
    changed_.notify_all();
  }
}

void SlideFeed::Write() {
  // A write to a pipe the encoder has closed fails with EPIPE here instead of ending the program.
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
  const auto finish = [&] {
    const timespec none{0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
    }
    Stop();
  };

  // The encoder opens the pipe when it starts reading its inputs.
  const QByteArray name = QFile::encodeName(pipe_);
  int fd = -1;
  while (!stop_ && fd < 0) {
    fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno != ENXIO) return finish();
    if (fd < 0) ::usleep(10000);
  }
  bool ok = !stop_;
  for (size_t k = 0; ok && k < runs_.size(); ++k) {
    QByteArray frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || drawn_.count(k) > 0; });
      if (stop_) break;
      frame = std::move(drawn_[k]);
      drawn_.erase(k);
    }
    for (qint64 n = 0; ok && n < runs_[k].count; ++n) {
      const char* at = frame.constData();
      qsizetype left = frame.size();
      while (ok && left > 0) {
        pollfd p{fd, POLLOUT, 0};
        if (stop_) ok = false;
        else if (::poll(&p, 1, 100) <= 0) continue;
        else {
          const ssize_t wrote = ::write(fd, at, static_cast<size_t>(left));
          if (wrote > 0) at += wrote, left -= wrote;
          else if (wrote < 0 && errno != EAGAIN && errno != EINTR) ok = false;
        }
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    written_ = k + 1;
    changed_.notify_all();
  }
  if (fd >= 0) ::close(fd);
  complete_ = ok && !stop_;
  finish();
}

}  // namespace kemo
