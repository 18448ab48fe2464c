#include "platform/paths.h"

#include <QDir>

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
