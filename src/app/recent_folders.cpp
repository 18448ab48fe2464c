#include "app/recent_folders.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <algorithm>

#include "document/file_copy.h"
#include "platform/paths.h"

namespace kemo {

namespace {

const QString kKey = QStringLiteral("recentFolders");

QSettings UserSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kemo-editor"),
                   QStringLiteral("kemo-editor"));
}

}  // namespace

RecentFolders::RecentFolders() {
  const QStringList kept = UserSettings().value(kKey).toStringList();
  for (const QString& f : kept) {
    // The settings file is the user's to edit: blanks, relative paths and repeats are dropped.
    if (f.isEmpty() || QDir::isRelativePath(f)) continue;
    if (std::any_of(folders_.cbegin(), folders_.cend(), [&f](const QString& g) { return SamePath(f, g); })) continue;
    folders_ << f;
    if (folders_.size() == kMax) break;
  }
}

void RecentFolders::Add(const QString& folder) {
  if (folder.isEmpty()) return;
  folders_.removeIf([&folder](const QString& f) { return f == folder || SamePath(f, folder); });
  folders_.prepend(folder);
  while (folders_.size() > kMax) folders_.removeLast();
  QSettings settings = UserSettings();
  settings.setValue(kKey, folders_);
  settings.sync();
}

void RecentFolders::Forget() {
  QSettings settings = UserSettings();
  settings.remove(kKey);
  settings.sync();
}

void FillRecentMenu(QMenu* menu, const QStringList& folders, const std::function<void(const QString&)>& open) {
  if (!menu) return;
  menu->clear();
  for (const QString& folder : folders) {
    // "&" would be taken for a mnemonic.
    QAction* a = menu->addAction(QString(ShowPath(folder)).replace(QLatin1Char('&'), QStringLiteral("&&")));
    a->setData(folder);
    a->setEnabled(QFileInfo(folder).isDir());
    QObject::connect(a, &QAction::triggered, menu, [open, folder] { open(folder); });
  }
  menu->menuAction()->setEnabled(!folders.isEmpty());
}

}  // namespace kemo
