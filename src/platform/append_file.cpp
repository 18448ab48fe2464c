#include "platform/append_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kemo {

AppendFile::AppendFile() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Sync(); });
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const QString& path, bool create) {
  Close();
  const QByteArray native = QFile::encodeName(path);
  int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW;
  if (create) flags |= O_CREAT | O_EXCL;
  fd_ = ::open(native.constData(), flags, S_IRUSR | S_IWUSR);
  if (fd_ < 0) return false;
  path_ = path;
  sinceSync_.start();
  dirty_ = false;
  return true;
}

void AppendFile::Adopt(int fd, const QString& path) {
  if (fd == fd_) {  // the same file under another name
    path_ = path;
    return;
  }
  Close();
  fd_ = fd;
  path_ = path;
  sinceSync_.start();
  dirty_ = false;
}

bool AppendFile::Append(const QByteArray& bytes) {
  if (fd_ < 0) return false;
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    p += n;
    left -= n;
  }
  dirty_ = true;
  if (sinceSync_.elapsed() >= kSyncGapMs)
    Sync();
  else if (!timer_.isActive())
    timer_.start(static_cast<int>(kSyncGapMs - sinceSync_.elapsed()));
  return true;
}

void AppendFile::Sync() {
  timer_.stop();
  if (fd_ < 0 || !dirty_) return;
  ::fdatasync(fd_);
  dirty_ = false;
  ++syncs_;
  sinceSync_.restart();
}

void AppendFile::Close() {
  if (fd_ < 0) return;
  Sync();
  ::close(fd_);
  fd_ = -1;
  path_.clear();
}

void AppendFile::Remove() {
  timer_.stop();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  dirty_ = false;
  if (!path_.isEmpty()) QFile::remove(path_);
  path_.clear();
}

}  // namespace kemo
