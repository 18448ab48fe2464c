// The backups of content.xml: named after the minute of the save, never written over an earlier one.
#include <sys/stat.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "document/content_xml.h"
#include "document/content_xml_internal.h"
#include "document/data_files.h"
#include "document/editor.h"
#include "platform/paths.h"

namespace kemo {

namespace xmlio {

// Keeps a byte copy of content.xml under the first free backup name from `wanted` on. The copy is
// a new file (never written through a planted link or over an earlier backup); a content.xml that
// is no regular file of the folder is refused.
FileError WriteBackup(const QString& contentPath, const QString& folder, const QString& wanted) {
  FileError e;
  for (int tries = 0; tries < 100; ++tries) {
    const QString path = FreeBackupPath(wanted);
    if (path.isEmpty()) break;
    e = CopyDataFile(contentPath, folder, path, false);
    if (e.number != FileErr::Exists) return e;  // taken since it was found free: look again
  }
  e = FileError{};
  e.number = FileErr::Exists;
  e.errnum = EEXIST;
  e.description = QStringLiteral("no free backup name");
  return e;
}

}  // namespace xmlio

QString BackupPathFor(const Editor& ed, const QDateTime& now) {
  return JoinPath(ed.DataFolder, QStringLiteral("content-backup-") + now.toString(QStringLiteral("-yyMMdd-HHmm")) +
                                     QStringLiteral(".xml"));
}

QString FreeBackupPath(const QString& wanted) {
  const auto taken = [](const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;  // a dangling link takes its name too
  };
  if (!taken(wanted)) return wanted;
  QString stem = wanted;
  if (stem.endsWith(QStringLiteral(".xml"))) stem.chop(4);
  for (int n = 2; n <= 9999; ++n) {
    const QString path = stem + QLatin1Char('-') + QString::number(n) + QStringLiteral(".xml");
    if (!taken(path)) return path;
  }
  return {};
}

}  // namespace kemo
