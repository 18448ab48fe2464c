#include "document/file_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>


namespace kemo {

FileError CopyOneFile(const QString& source, const QString& destination, bool overwrite) {
  return CopyDataFile(source, QString(), destination, overwrite);
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
    // A link is removed, never what it points to.
    if (DeleteDataFile(path)) ++deleted;
  }
  return deleted;
}

bool SamePath(const QString& a, const QString& b) {
  if (a == b) return true;
  if (a.isEmpty() || b.isEmpty()) return false;
  // Existing files and folders are compared by device and inode: a bind mount or a
  // case-insensitive file system gives one folder spellings that no path text resolves.
  if (QFileInfo::exists(a) && QFileInfo::exists(b)) return SameFile(a, b);
  const QString ca = QFileInfo(a).canonicalFilePath();
  const QString cb = QFileInfo(b).canonicalFilePath();
  if (!ca.isEmpty() && !cb.isEmpty()) return ca == cb;
  return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

}  // namespace kemo
