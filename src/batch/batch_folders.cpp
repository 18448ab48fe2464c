#include "batch/batch_folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <sys/stat.h>

#include "document/data_files.h"
#include "platform/paths.h"

namespace kemo {

namespace {

bool Lstat(const QString& path, struct stat* st) { return ::lstat(QFile::encodeName(path).constData(), st) == 0; }

bool IsRegular(const QString& path) {
  struct stat st {};
  return Lstat(path, &st) && S_ISREG(st.st_mode);
}

bool IsDataFolder(const QString& folder) {
  return IsRegular(JoinPath(folder, QStringLiteral("content.xml"))) &&
         (IsRegular(JoinPath(folder, QStringLiteral("Video.flv"))) || IsRegular(JoinPath(folder, QStringLiteral("Video.avi"))));
}

void Walk(const QString& root, const QString& relative, int depth, QStringList* found) {
  const QString folder = relative == QStringLiteral(".") ? root : JoinPath(root, relative);
  if (IsDataFolder(folder)) found->append(relative);
  if (depth > 64) return;
  const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
  for (const QString& name : names) {
    struct stat st {};
    // Checked again without following: a folder swapped for a link meanwhile is not entered.
    if (!Lstat(JoinPath(folder, name), &st) || !S_ISDIR(st.st_mode)) continue;
    Walk(root, relative == QStringLiteral(".") ? name : JoinPath(relative, name), depth + 1, found);
  }
}

}  // namespace

QStringList FindDataFolders(const QString& root) {
  QStringList found;
  Walk(QDir::cleanPath(root), QStringLiteral("."), 0, &found);
  found.sort();
  return found;
}

QString FileStamp(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return QStringLiteral("%1:%2.%3").arg(st.st_size).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
}

QString FolderFingerprint(const QString& folder) {
  QByteArray content;
  if (!ReadDataFile(JoinPath(folder, QStringLiteral("content.xml")), folder, &content, 64 * 1024 * 1024).ok())
    return {};
  QCryptographicHash hash(QCryptographicHash::Sha1);
  hash.addData(content);
  // The video the jobs read: Video.flv, else Video.avi (a conversion's product is not an input).
  const QString flv = FileStamp(JoinPath(folder, QStringLiteral("Video.flv")));
  const QString video = flv.isEmpty() ? QStringLiteral("avi=") + FileStamp(JoinPath(folder, QStringLiteral("Video.avi")))
                                      : QStringLiteral("flv=") + flv;
  hash.addData(video.toUtf8());
  return QString::fromLatin1(hash.result().toHex());
}

}  // namespace kemo
