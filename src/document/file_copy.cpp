#include "document/file_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kemo {

namespace {

QString Describe(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

FileError Fail(int number, int err) { return {number, Describe(err)}; }

// The number for a failure to create or write the destination.
int DestinationNumber(int err) {
  switch (err) {
    case EACCES: case EPERM: case EBUSY: case ETXTBSY: return FileErr::Denied;
    case EROFS: case ENOENT: case ENOTDIR: case EISDIR: case ENAMETOOLONG: case ELOOP: return FileErr::PathAccess;
    case ENOSPC: case EDQUOT: return FileErr::DiskFull;
    default: return FileErr::DeviceIo;
  }
}

// Closes a descriptor on every way out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool WriteAll(int fd, const char* data, ssize_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, static_cast<size_t>(n));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= w;
  }
  return true;
}

// A hidden name beside the target for the copy in progress.
QString JoinTempName(const QFileInfo& target, int attempt) {
  return target.absolutePath() + QStringLiteral("/.") + target.fileName() +
         QStringLiteral(".kemo-%1-%2").arg(::getpid()).arg(attempt);
}

}  // namespace

FileError CopyOneFile(const QString& source, const QString& destination, bool overwrite) {
  const QByteArray src = QFile::encodeName(source);
  const QByteArray dst = QFile::encodeName(destination);

  Fd in;
  in.fd = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
  if (in.fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return Fail(FileErr::NotFound, err);
    if (err == EACCES || err == EPERM || err == EBUSY) return Fail(FileErr::Denied, err);
    return Fail(FileErr::DeviceIo, err);
  }
  struct stat ss {};
  if (::fstat(in.fd, &ss) != 0) return Fail(FileErr::DeviceIo, errno);
  if (S_ISDIR(ss.st_mode)) return Fail(FileErr::PathAccess, EISDIR);

  struct stat ds {};
  const bool exists = ::stat(dst.constData(), &ds) == 0;
  mode_t keepMode = 0;
  if (exists) {
    if (ds.st_dev == ss.st_dev && ds.st_ino == ss.st_ino) {
      // Copying a file onto itself: the destination already holds the content.
      return overwrite ? FileError{} : Fail(FileErr::Exists, EEXIST);
    }
    if (!overwrite) return Fail(FileErr::Exists, EEXIST);
    if (S_ISDIR(ds.st_mode)) return Fail(FileErr::PathAccess, EISDIR);
    // A read-only file is not replaced, even where the folder would let a rename do it (and even
    // for root, to whom the permission check does not apply).
    if ((ds.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Fail(FileErr::PathAccess, EACCES);
    if (::access(dst.constData(), W_OK) != 0) return Fail(DestinationNumber(errno), errno);
    keepMode = ds.st_mode & 07777;
  }

  // The temporary file beside the destination, so that the final rename stays in one file system.
  const QFileInfo target(destination);
  Fd out;
  QByteArray temp;
  for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
    temp = QFile::encodeName(JoinTempName(target, attempt));
    out.fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out.fd < 0 && errno != EEXIST) return Fail(DestinationNumber(errno), errno);
  }
  if (out.fd < 0) return Fail(FileErr::DeviceIo, EEXIST);

  auto abandon = [&](int err) {
    ::close(out.fd);
    out.fd = -1;
    ::unlink(temp.constData());
    return Fail(DestinationNumber(err), err);
  };

  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon(errno);
    }
    if (n == 0) break;
    if (!WriteAll(out.fd, buffer, n)) return abandon(errno);
  }
  if (keepMode != 0 && ::fchmod(out.fd, keepMode) != 0) return abandon(errno);
  if (::fsync(out.fd) != 0 && errno != EINVAL) return abandon(errno);
  const int closed = ::close(out.fd);
  out.fd = -1;
  if (closed != 0) {
    const int err = errno;
    ::unlink(temp.constData());
    return Fail(DestinationNumber(err), err);
  }
  if (!overwrite && ::access(dst.constData(), F_OK) == 0) {
    ::unlink(temp.constData());
    return Fail(FileErr::Exists, EEXIST);
  }
  if (::rename(temp.constData(), dst.constData()) != 0) {
    const int err = errno;
    ::unlink(temp.constData());
    return Fail(DestinationNumber(err), err);
  }
  return {};
}

QStringList FilesIn(const QString& folder) {
  if (folder.isEmpty()) return {};
  QStringList paths;
  const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
  for (const QFileInfo& fi : entries) paths << fi.absoluteFilePath();
  return paths;
}

int DeleteFilesIn(const QString& folder, const QString& keep) {
  int deleted = 0;
  for (const QString& path : FilesIn(folder)) {
    if (!keep.isEmpty() && SamePath(path, keep)) continue;
    // QFile::remove unlinks: a link is removed, never what it points to.
    if (QFile::remove(path)) ++deleted;
  }
  return deleted;
}

bool SamePath(const QString& a, const QString& b) {
  if (a == b) return true;
  if (a.isEmpty() || b.isEmpty()) return false;
  const QString ca = QFileInfo(a).canonicalFilePath();
  const QString cb = QFileInfo(b).canonicalFilePath();
  if (!ca.isEmpty() && !cb.isEmpty()) return ca == cb;
  return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

}  // namespace kemo
