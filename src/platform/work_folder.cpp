#include "platform/work_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace kemo {

namespace {
const QString kLockSuffix = QStringLiteral(".lock");
}

bool EditorWorkFolder::KeptForJournal(const QString& folder) {
  QFile mark(JoinPath(folder, JournalMarkName()));
  if (!mark.open(QIODevice::ReadOnly)) return false;
  const QString journal = QString::fromUtf8(mark.read(4096)).trimmed();
  return !journal.isEmpty() && QFileInfo(journal).isFile();
}

void EditorWorkFolder::RemoveAbandoned(const QString& base, int graceSeconds) {
  if (base.isEmpty()) return;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  // Matched by hand: a name filter would bring in the regular expression engine at every start.
  const QStringList names = QDir(base).entryList(QDir::Files | QDir::Hidden);
  for (const QString& name : names) {
    if (!name.startsWith(QLatin1String("run-")) || !name.endsWith(kLockSuffix) ||
        name.size() < 4 + kLockSuffix.size())
      continue;
    const QString lock = JoinPath(base, name);
    if (QFileInfo(lock).lastModified().toUTC().secsTo(now) < graceSeconds) continue;
    const QByteArray encoded = QFile::encodeName(lock);
    const int fd = ::open(encoded.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    const QString folder = JoinPath(base, name.chopped(kLockSuffix.size()));
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && !KeptForJournal(folder)) {
      // Nobody holds it: its editor has ended. The folder goes first, then the lock.
      QDir(folder).removeRecursively();
      ::unlink(encoded.constData());
    }
    ::close(fd);
  }
}

EditorWorkFolder::EditorWorkFolder(const QString& base) : base_(base) {
  if (base.isEmpty()) return;
  RemoveAbandoned(base);
  QByteArray pattern = QFile::encodeName(JoinPath(base, QStringLiteral("run-XXXXXX") + kLockSuffix));
  const int fd = ::mkostemps(pattern.data(), static_cast<int>(kLockSuffix.size()), O_CLOEXEC);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::unlink(pattern.constData());
    ::close(fd);
    return;
  }
  const QString lock = QFile::decodeName(pattern);
  const QString folder = lock.chopped(kLockSuffix.size());
  if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0) {
    ::unlink(pattern.constData());
    ::close(fd);
    return;
  }
  lockFd_ = fd;
  lockPath_ = lock;
  path_ = folder;
}

EditorWorkFolder::~EditorWorkFolder() {
  if (lockFd_ < 0) return;
  if (KeptForJournal(path_)) {
    // An end that keeps the journal of new content keeps the content too; the next editor restores
    // it, or removes it once the journal is gone.
    ::close(lockFd_);
    return;
  }
  QDir(path_).removeRecursively();
  ::unlink(QFile::encodeName(lockPath_).constData());
  ::close(lockFd_);
}

}  // namespace kemo
