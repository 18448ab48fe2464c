#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace kemo {

QString JoinPath(const QString& folder, const QString& name) {
  if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) return folder + name;
  return folder + QLatin1Char('/') + name;
}

QString FileNameOfPath(const QString& path) {
  const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return slash < 0 ? path : path.mid(slash + 1);
}

bool IsPlainFileName(const QString& name) {
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
  for (QChar c : name) {
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() == 0) return false;
  }
  return true;
}

QString ShowPath(const QString& path) { return QDir::toNativeSeparators(path); }

QString DriveRootOf(const QString& path) {
  if (path.size() >= 2 && path.at(1) == QLatin1Char(':')) return path.left(2) + QLatin1Char('\\');
  return QStringLiteral("/");
}

}  // namespace kemo

namespace kemo {

namespace {
bool HoldsProgramData(const QString& folder) { return QFileInfo(JoinPath(folder, QStringLiteral("symbol.csv"))).isFile(); }
}  // namespace

QString FindProgramDataFolder(const QString& executableFolder) {
  const QString prefixData =
      QDir::cleanPath(JoinPath(executableFolder, QStringLiteral("../share/kemo-editor")));
  QStringList candidates{executableFolder, prefixData};
  for (const QString& base : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
    candidates << JoinPath(base, QStringLiteral("kemo-editor"));
  for (const QString& c : candidates) {
    if (!c.isEmpty() && HoldsProgramData(c)) return QDir::cleanPath(c);
  }
  return prefixData;
}

QString UserWorkBase() {
  QStringList candidates;
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  if (!cache.isEmpty()) candidates << JoinPath(cache, QStringLiteral("kemo-editor"));
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) candidates << JoinPath(runtime, QStringLiteral("kemo-editor"));
  candidates << JoinPath(QDir::tempPath(), QStringLiteral("kemo-editor-%1").arg(::getuid()));
  for (const QString& c : candidates) {
    if (!QDir().mkpath(c)) continue;
    QFile::setPermissions(c, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QFileInfo info(c);
    // A folder of another user (a planted one in the shared temporary folder) is not ours to use.
    if (info.isDir() && info.isWritable() && info.ownerId() == ::getuid()) return QDir::cleanPath(c);
  }
  return QString();
}

}  // namespace kemo
