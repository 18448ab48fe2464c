#include "document/data_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace kemo {

namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

QString Describe(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

FileError Fail(int number, int err) {
  FileError e;
  e.number = number;
  e.description = Describe(err);
  e.errnum = err;
  return e;
}

FileError Refused(const QString& path, Refusal refusal) {
  FileError e;
  e.number = FileErr::PathAccess;
  e.description = RefusalText(path, refusal);
  e.refusal = refusal;
  e.errnum = refusal == Refusal::NotRegular ? EINVAL : ELOOP;
  return e;
}

// The number for a failure to create or write a destination.
int DestinationNumber(int err) {
  switch (err) {
    case EACCES: case EPERM: case EBUSY: case ETXTBSY: return FileErr::Denied;
    case EROFS: case ENOENT: case ENOTDIR: case EISDIR: case ENAMETOOLONG: case ELOOP: return FileErr::PathAccess;
    case ENOSPC: case EDQUOT: return FileErr::DiskFull;
    case EEXIST: return FileErr::Exists;
    default: return FileErr::DeviceIo;
  }
}

// The number for a failure to open a source.
int SourceNumber(int err) {
  if (err == ENOENT || err == ENOTDIR) return FileErr::NotFound;
  if (err == EACCES || err == EPERM || err == EBUSY) return FileErr::Denied;
  return FileErr::DeviceIo;
}

// Closes a descriptor on every way out.
struct Fd {
  int fd = -1;
  Fd() = default;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }
  int Close() {
    const int r = fd >= 0 ? ::close(fd) : 0;
    fd = -1;
    return r;
  }
};

bool WriteAll(int fd, const char* data, qint64 n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, static_cast<size_t>(std::min<qint64>(n, 1 << 20)));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {  // a write that makes no progress is a full device
      errno = ENOSPC;
      return false;
    }
    data += w;
    n -= w;
  }
  return true;
}

bool IsWriteProtected(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

QString ParentOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return QStringLiteral(".");
  if (slash == 0) return QStringLiteral("/");
  return path.left(slash);
}

QString RealPath(const QString& path) {
  char* resolved = ::realpath(Native(path).constData(), nullptr);
  if (resolved == nullptr) return {};
  const QString result = QFile::decodeName(resolved);
  std::free(resolved);
  return result;
}

// True when the real (resolved) path lies in `folder` or below it. Walks up the resolved path's
// folders comparing device and inode, so a spelling of the folder in another case or through a
// bind mount counts as the folder.
bool RealPathInside(const QString& real, const struct stat& folderStat) {
  QString dir = ParentOf(real);
  for (int depth = 0; depth < 256; ++depth) {
    struct stat st {};
    if (::stat(Native(dir).constData(), &st) == 0 && st.st_dev == folderStat.st_dev &&
        st.st_ino == folderStat.st_ino)
      return true;
    if (dir == QLatin1String("/") || dir.isEmpty()) return false;
    dir = ParentOf(dir);
  }
  return false;
}

// True when `path` (a link or a file) leads out of folder. A link whose target does not exist is
// judged by the folder its target would be in.
bool LeadsOutOf(const QString& path, const QString& folder) {
  struct stat folderStat {};
  if (::stat(Native(folder).constData(), &folderStat) != 0) return true;
  QString real = RealPath(path);
  if (real.isEmpty()) {
    // A dangling link: where would its target be?
    char target[PATH_MAX];
    const ssize_t n = ::readlink(Native(path).constData(), target, sizeof target - 1);
    if (n < 0) return false;  // not a link: a missing file is no way out
    QString text = QFile::decodeName(QByteArray(target, static_cast<int>(n)));
    if (!text.startsWith(QLatin1Char('/'))) text = ParentOf(path) + QLatin1Char('/') + text;
    const QString parent = RealPath(ParentOf(text));
    if (parent.isEmpty()) return true;
    real = parent + QStringLiteral("/x");
  }
  return !RealPathInside(real, folderStat);
}

// Opens a file for reading after the checks, without blocking on a FIFO or a device that was
// put in the file's place after the check.
FileError OpenForReading(const QString& path, const QString& folder, Fd& in, struct stat& st) {
  // A folder in a file's place is a failure to read it, as it always was; the refusals are for
  // what would block, never end or lead elsewhere.
  struct stat ds {};
  if (::stat(Native(path).constData(), &ds) == 0 && S_ISDIR(ds.st_mode)) return Fail(FileErr::PathAccess, EISDIR);
  const Refusal refusal = CheckDataFile(path, folder);
  if (refusal != Refusal::None) return Refused(path, refusal);
  in.fd = ::open(Native(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (in.fd < 0) return Fail(SourceNumber(errno), errno);
  if (::fstat(in.fd, &st) != 0) return Fail(FileErr::DeviceIo, errno);
  if (!S_ISREG(st.st_mode)) return Refused(path, Refusal::NotRegular);
  return {};
}

// Puts the finished temporary file in the place of `destination` only when no entry of that name
// exists. RENAME_NOREPLACE where the file system has it, else a hard link (which refuses an
// existing name too), else a check right before the rename.
int InstallNoReplace(const QByteArray& temp, const QByteArray& destination) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, destination.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
  if (::link(temp.constData(), destination.constData()) == 0) {
    ::unlink(temp.constData());
    return 0;
  }
  if (errno == EEXIST) return EEXIST;
  struct stat st {};
  if (::lstat(destination.constData(), &st) == 0) return EEXIST;
  return ::rename(temp.constData(), destination.constData()) == 0 ? 0 : errno;
}

// Creates the hidden temporary file beside `target` exclusively.
int CreateTemp(const QString& target, QByteArray* temp, int* err) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = Native(LeftoverNameFor(target, attempt));
    const int fd = ::open(temp->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      *err = errno;
      return -1;
    }
  }
  *err = EEXIST;
  return -1;
}

enum class Install { Replace, NoReplace };

// Writes what `fill` produces into a new hidden file beside target and puts it in target's place.
// fill writes into the descriptor and returns 0 or an error number.
template <typename Fill>
FileError WriteThenInstall(const QString& target, Install how, mode_t keepMode, Fill&& fill) {
  QByteArray temp;
  int err = 0;
  Fd out;
  out.fd = CreateTemp(target, &temp, &err);
  if (out.fd < 0) return Fail(DestinationNumber(err), err);
  auto abandon = [&](int e) {
    out.Close();
    ::unlink(temp.constData());
    return Fail(DestinationNumber(e), e);
  };
  if (const int e = fill(out.fd); e != 0) return abandon(e);
  if (keepMode != 0 && ::fchmod(out.fd, keepMode) != 0) return abandon(errno);
  if (::fsync(out.fd) != 0 && errno != EINVAL) return abandon(errno);
  if (out.Close() != 0) return abandon(errno);
  const QByteArray dst = Native(target);
  if (how == Install::NoReplace) {
    if (const int e = InstallNoReplace(temp, dst); e != 0) {
      ::unlink(temp.constData());
      return Fail(DestinationNumber(e), e);
    }
    return {};
  }
  if (::rename(temp.constData(), dst.constData()) != 0) {
    const int e = errno;
    ::unlink(temp.constData());
    return Fail(DestinationNumber(e), e);
  }
  return {};
}

int WriteBytes(int fd, const QByteArray& bytes) {
  return WriteAll(fd, bytes.constData(), bytes.size()) ? 0 : errno;
}

}  // namespace

QString RefusalText(const QString& path, Refusal refusal) {
  switch (refusal) {
    case Refusal::NotRegular: return ShowPath(path) + QStringLiteral("は通常のファイルではありません。");
    case Refusal::LeavesFolder: return ShowPath(path) + QStringLiteral("はデータフォルダの外を指すリンクです。");
    case Refusal::None: break;
  }
  return {};
}

Refusal CheckDataFile(const QString& path, const QString& folder) {
  const QByteArray native = Native(path);
  struct stat ls {};
  if (::lstat(native.constData(), &ls) != 0) return Refusal::None;
  struct stat st {};
  const bool resolves = ::stat(native.constData(), &st) == 0;
  if (resolves && !S_ISREG(st.st_mode)) return Refusal::NotRegular;
  if (!folder.isEmpty() && S_ISLNK(ls.st_mode) && LeadsOutOf(path, folder)) return Refusal::LeavesFolder;
  return Refusal::None;
}

bool SameFile(const QString& a, const QString& b) {
  if (a.isEmpty() || b.isEmpty()) return false;
  struct stat sa {}, sb {};
  if (::stat(Native(a).constData(), &sa) != 0 || ::stat(Native(b).constData(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IdOf(const QString& path, FileId* id) {
  struct stat st {};
  if (path.isEmpty() || ::stat(Native(path).constData(), &st) != 0) return false;
  *id = FileId{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
  return true;
}

QString VideoRefusal(const QString& path, const QString& folder, VideoKind kind) {
  QByteArray head;
  const FileError e = ReadDataFileHead(path, folder, 12, &head);
  if (e.refusal != Refusal::None) return e.description;
  const bool fits = kind == VideoKind::Avi
                        ? e.ok() && head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "AVI "
                        : e.ok() && head.size() >= 4 && head.startsWith("FLV\x01");
  if (fits) return {};
  return ShowPath(path) + (kind == VideoKind::Avi ? QStringLiteral("はAVI形式の動画ファイルではありません。")
                                                  : QStringLiteral("はFLV形式の動画ファイルではありません。"));
}

FileError ReadDataFile(const QString& path, const QString& folder, QByteArray* bytes, qint64 maxBytes) {
  Fd in;
  struct stat st {};
  if (FileError e = OpenForReading(path, folder, in, st); !e.ok()) return e;
  if (st.st_size > maxBytes) return Fail(FileErr::DeviceIo, EFBIG);
  QByteArray data;
  data.resize(static_cast<qsizetype>(st.st_size));
  qint64 got = 0;
  for (;;) {
    if (got == data.size()) {
      // The file grew since fstat: read on up to the limit.
      if (got >= maxBytes) {
        char probe;
        const ssize_t more = ::read(in.fd, &probe, 1);
        if (more > 0) return Fail(FileErr::DeviceIo, EFBIG);
        break;
      }
      data.resize(std::min<qint64>(maxBytes, got + 65536));
    }
    const ssize_t n = ::read(in.fd, data.data() + got, static_cast<size_t>(data.size() - got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(FileErr::DeviceIo, errno);
    }
    if (n == 0) break;
    got += n;
  }
  data.truncate(static_cast<qsizetype>(got));
  *bytes = std::move(data);
  return {};
}

FileError ReadDataFileHead(const QString& path, const QString& folder, int count, QByteArray* bytes) {
  Fd in;
  struct stat st {};
  if (FileError e = OpenForReading(path, folder, in, st); !e.ok()) return e;
  QByteArray data(std::max(count, 0), '\0');
  qsizetype got = 0;
  while (got < data.size()) {
    const ssize_t n = ::read(in.fd, data.data() + got, static_cast<size_t>(data.size() - got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(FileErr::DeviceIo, errno);
    }
    if (n == 0) break;
    got += n;
  }
  data.truncate(got);
  *bytes = std::move(data);
  return {};
}

FileError OpenDataFile(const QString& path, const QString& folder, int* fd) {
  Fd in;
  struct stat st {};
  if (FileError e = OpenForReading(path, folder, in, st); !e.ok()) return e;
  *fd = in.fd;
  in.fd = -1;
  return {};
}

FileError CopyDataFile(const QString& source, const QString& sourceFolder, const QString& destination,
                       bool overwrite) {
  Fd in;
  struct stat ss {};
  if (FileError e = OpenForReading(source, sourceFolder, in, ss); !e.ok()) return e;

  const QByteArray dst = Native(destination);
  struct stat dl {};
  const bool exists = ::lstat(dst.constData(), &dl) == 0;
  mode_t keepMode = 0;
  if (exists) {
    // Copying a file onto itself (its one name): the destination already holds the content. A link
    // to the source, symbolic or hard, is no copy of its own: it is replaced by one.
    if (!S_ISLNK(dl.st_mode) && dl.st_nlink <= 1 && dl.st_dev == ss.st_dev && dl.st_ino == ss.st_ino)
      return overwrite ? FileError{} : Fail(FileErr::Exists, EEXIST);
    if (!overwrite) return Fail(FileErr::Exists, EEXIST);
    if (S_ISDIR(dl.st_mode)) return Fail(FileErr::PathAccess, EISDIR);
    if (S_ISREG(dl.st_mode)) {
      // A read-only file is not replaced, even where the folder would let a rename do it (and even
      // for root, to whom the permission check does not apply).
      if (IsWriteProtected(dl)) return Fail(FileErr::PathAccess, EACCES);
      if (::access(dst.constData(), W_OK) != 0) return Fail(DestinationNumber(errno), errno);
      keepMode = dl.st_mode & 07777;
    }
    // Anything else of that name (a link, a FIFO) is replaced by the rename, never opened.
  }

  const auto copy = [&](int outFd) -> int {
    static thread_local char buffer[1 << 16];
    for (;;) {
      const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return 0;
      if (!WriteAll(outFd, buffer, n)) return errno;
    }
  };
  return WriteThenInstall(destination, overwrite ? Install::Replace : Install::NoReplace, keepMode, copy);
}

FileError ReplaceDataFile(const QString& path, const QString& folder, const QByteArray& bytes) {
  QString target = path;
  const QByteArray native = Native(path);
  struct stat ls {};
  if (::lstat(native.constData(), &ls) == 0 && S_ISLNK(ls.st_mode)) {
    if (!folder.isEmpty() && LeadsOutOf(path, folder)) return Refused(path, Refusal::LeavesFolder);
    // A link within the folder: its target is the file that is replaced. A dangling one is
    // replaced itself.
    const QString real = RealPath(path);
    if (!real.isEmpty()) target = real;
  }
  mode_t keepMode = 0;
  struct stat st {};
  if (::lstat(Native(target).constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) return Fail(FileErr::PathAccess, EISDIR);
    if (!S_ISREG(st.st_mode)) return Refused(path, Refusal::NotRegular);
    // Read-only means read-only for root as well: the rename would replace the file and its mode.
    if (IsWriteProtected(st)) return Fail(FileErr::PathAccess, EACCES);
    if (::access(Native(target).constData(), W_OK) != 0) return Fail(DestinationNumber(errno), errno);
    keepMode = st.st_mode & 07777;
  }
  return WriteThenInstall(target, Install::Replace, keepMode, [&](int fd) { return WriteBytes(fd, bytes); });
}

FileError CreateNewDataFile(const QString& path, const QByteArray& bytes) {
  struct stat st {};
  if (::lstat(Native(path).constData(), &st) == 0) return Fail(FileErr::Exists, EEXIST);
  return WriteThenInstall(path, Install::NoReplace, 0, [&](int fd) { return WriteBytes(fd, bytes); });
}

bool DeleteDataFile(const QString& path) {
  if (::unlink(Native(path).constData()) == 0) return true;
  return errno == ENOENT;
}

QString LeftoverNameFor(const QString& path, int attempt) {
  const QFileInfo target(path);
  return target.absolutePath() + QStringLiteral("/.") + target.fileName() +
         QStringLiteral(".kemo-%1-%2").arg(::getpid()).arg(attempt);
}

namespace {

// The writer's process id in the name of a work file left behind, ".<name>.kemo-<pid>-<n>"; 0 when
// the name is not one. (Read by hand: a regular expression here would bring its engine into every
// folder open.)
qlonglong LeftoverWriter(const QString& name) {
  static const QString kMark = QStringLiteral(".kemo-");
  const qsizetype at = name.lastIndexOf(kMark);
  if (!name.startsWith(QLatin1Char('.')) || at < 2) return 0;
  const QStringView rest = QStringView(name).mid(at + kMark.size());
  const qsizetype dash = rest.indexOf(QLatin1Char('-'));
  const auto digits = [](QStringView v) {
    return !v.isEmpty() && std::all_of(v.begin(), v.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
  };
  if (dash < 0 || !digits(rest.left(dash)) || !digits(rest.mid(dash + 1))) return 0;
  bool ok = false;
  const qlonglong pid = rest.left(dash).toLongLong(&ok);
  return ok ? pid : 0;
}

}  // namespace

int RemoveLeftovers(const QString& folder) {
  if (folder.isEmpty()) return 0;
  const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  int removed = 0;
  for (const QString& name : names) {
    const qlonglong pid = LeftoverWriter(name);
    if (pid <= 0 || pid > INT_MAX) continue;
    // Another running editor may be writing this one right now.
    if (pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) continue;
    if (::unlink(Native(folder + QLatin1Char('/') + name).constData()) == 0) ++removed;
  }
  return removed;
}

}  // namespace kemo
