#include "timeline/peak_job.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "document/data_files.h"
#include "platform/encoder_job.h"
#include "platform/paths.h"
#include "platform/process_runner.h"
#include "timeline/peak_cache.h"

extern char** environ;

namespace kemo {

namespace {

long long NowMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.elapsed();
}

// The error output is read here; the encoder job's parser only reads it.
class NoRunner : public ProcessRunner {
 public:
  ProcessResult Run(const QString&, const QStringList&, const QString&,
                    const std::function<bool(const QByteArray&)>&) override {
    return {};
  }
};

constexpr int kDecodeNice = 5;

bool IsAvi(const QString& video) { return video.endsWith(QStringLiteral(".avi"), Qt::CaseInsensitive); }

}  // namespace

QStringList WaveformDecodeArguments(bool avi) {
  return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),      QStringLiteral("-loglevel"),
          QStringLiteral("info"),         QStringLiteral("-f"),            avi ? QStringLiteral("avi") : QStringLiteral("flv"),
          QStringLiteral("-i"),           QStringLiteral("pipe:0"),        QStringLiteral("-vn"),
          QStringLiteral("-sn"),          QStringLiteral("-dn"),           QStringLiteral("-ac"),
          QStringLiteral("1"),            QStringLiteral("-ar"),           QString::number(WaveformPeaks::kSampleRate),
          QStringLiteral("-f"),           QStringLiteral("s16le"),         QStringLiteral("-acodec"),
          QStringLiteral("pcm_s16le"),    QStringLiteral("pipe:1")};
}

WaveformJob::WaveformJob(std::function<void()> onUpdate) : onUpdate_(std::move(onUpdate)) {}

WaveformJob::~WaveformJob() { Cancel(); }

void WaveformJob::Cancel() {
  cancel_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (child_ > 0) ::kill(child_, SIGKILL);
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (status_ == WaveformStatus::Working) status_ = WaveformStatus::Idle;
}

void WaveformJob::Start(const WaveformRequest& request) {
  Cancel();
  cancel_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    spans_.clear();
    duration_ = -1;
    reason_.clear();
    status_ = WaveformStatus::Working;
  }
  // The checks and the opening happen here, where the folder is known to be the open one.
  int fd = -1;
  const QString refusal = VideoRefusal(request.video, request.folder,
                                       IsAvi(request.video) ? VideoKind::Avi : VideoKind::Flv);
  FileError e;
  if (refusal.isEmpty()) e = OpenDataFile(request.video, request.folder, &fd);
  if (!refusal.isEmpty() || !e.ok()) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = WaveformStatus::Failed;
    reason_ = refusal.isEmpty() ? ShowPath(request.video) + QStringLiteral("を読めません。") : refusal;
    return;
  }
  const QString encoder = FindProgram(QStringLiteral("ffmpeg"), request.programFolder);
  thread_ = std::thread([this, request, fd, encoder] { Run(request, fd, encoder); });
}

void WaveformJob::Run(WaveformRequest request, int fd, QString encoder) {
  const VideoIdentity id = IdentityOfOpenFile(fd);
  WaveformPeaks cached;
  if (ReadPeakCache(request.cacheFolder, id, &cached)) {
    ::close(fd);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      spans_ = std::move(cached.levels[0]);
      duration_ = spans_.size() * WaveformPeaks::kSpanSeconds[0];
      status_ = WaveformStatus::FromCache;
    }
    if (onUpdate_) onUpdate_();
    return;
  }
  bool ok = false;
  if (encoder.isEmpty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    reason_ = QStringLiteral("ffmpegを起動できません。");
  } else {
    ::lseek(fd, 0, SEEK_SET);
    ok = Decode(fd, encoder, IsAvi(request.video));
  }
  ::close(fd);
  if (cancel_) return;
  if (ok) {
    WaveformPeaks all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      all.levels[0] = spans_;
    }
    all.DeriveCoarseLevels();
    WritePeakCache(request.cacheFolder, id, all);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = ok ? WaveformStatus::Done : WaveformStatus::Failed;
    if (!ok && reason_.isEmpty()) reason_ = ShowPath(request.video) + QStringLiteral("の音声を読めません。");
  }
  if (onUpdate_) onUpdate_();
}

bool WaveformJob::Decode(int fd, const QString& encoder, bool avi) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return false;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return false;
  }
  const QByteArray program = QFile::encodeName(encoder);
  QList<QByteArray> argBytes{program};
  for (const QString& a : WaveformDecodeArguments(avi)) argBytes << a.toUtf8();
  std::vector<char*> argv;
  for (QByteArray& a : argBytes) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fd, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  pid_t pid = -1;
  // The encoder ends with the editor without further arrangement: its output is a pipe only the
  // editor reads, and its next write after the editor has gone kills it (SIGPIPE).
  const int spawned = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(out[0]);
    ::close(err[0]);
    std::lock_guard<std::mutex> lock(mutex_);
    reason_ = QStringLiteral("ffmpegを起動できません。");
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    child_ = pid;
  }
  if (cancel_) ::kill(pid, SIGKILL);
  // The decode is background work: on a busy machine the window's thread goes first.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), kDecodeNice);

  PeakAccumulator acc;
  NoRunner noRunner;
  EncoderJob errors(noRunner);
  std::vector<char> buffer(1 << 16);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, 100) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (pollfd& p : fds) {
      if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(p.fd, buffer.data(), buffer.size());
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        ::close(p.fd);
        p.fd = -1;
        --open;
      } else if (p.fd == out[0]) {
        acc.Feed(buffer.data(), static_cast<size_t>(n));
      } else {
        errors.Feed(QByteArray(buffer.data(), n));
      }
    }
    const double d = errors.Progress().duration;
    if (d > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      duration_ = d;
    }
    Publish(acc.TakeSpans(), false);
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) ::close(p.fd);
  errors.Flush();
  acc.Finish();
  Publish(acc.TakeSpans(), true);

  // Waited for without reaping first, so that a Cancel meanwhile never signals a reused number.
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    child_ = -1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const bool ok = !cancel_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok && !cancel_) {
    std::lock_guard<std::mutex> lock(mutex_);
    reason_ = errors.LastErrorLine();
  }
  return ok;
}

void WaveformJob::Publish(std::vector<PeakPair>&& spans, bool force) {
  bool tell = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    spans_.insert(spans_.end(), spans.begin(), spans.end());
    const long long now = NowMs();
    if (force || now - lastPublishMs_ >= 100) {
      lastPublishMs_ = now;
      tell = true;
    }
  }
  if (tell && onUpdate_) onUpdate_();
}

bool WaveformJob::TakeNew(WaveformPeaks* peaks) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<PeakPair>& mine = peaks->levels[0];
  if (mine.size() > spans_.size()) {
    // Another run's peaks: start again.
    *peaks = WaveformPeaks();
  }
  if (mine.size() == spans_.size()) return false;
  mine.insert(mine.end(), spans_.begin() + static_cast<std::ptrdiff_t>(mine.size()), spans_.end());
  peaks->DeriveCoarseLevels();
  return true;
}

WaveformStatus WaveformJob::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

double WaveformJob::Duration() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return duration_;
}

QString WaveformJob::Reason() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reason_;
}

bool WaveformJob::Wait(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired()) {
    const WaveformStatus s = Status();
    if (s != WaveformStatus::Working) {
      if (thread_.joinable()) thread_.join();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace kemo
