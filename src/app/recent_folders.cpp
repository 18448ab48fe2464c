#include "app/recent_folders.h"

#include <QAction>
#include <QDir>
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

void ShowRecentItem(QAction* a, const QString& folder, FolderProbe::Known known) {
  const int index = a->property("recentIndex").toInt();
  // "&" in a path would be taken for a mnemonic.
  QString text = QString(ShowPath(folder)).replace(QLatin1Char('&'), QStringLiteral("&&"));
  text = (index < 9 ? QStringLiteral("&%1 ").arg(index + 1) : QStringLiteral("%1 ").arg(index + 1)) + text;
  if (known == FolderProbe::Known::NotAnswering) text += QStringLiteral("（応答なし）");
  a->setText(text);
  a->setEnabled(known == FolderProbe::Known::Present || known == FolderProbe::Known::Unknown);
}

void FillRecentMenu(QMenu* menu, const QStringList& folders, const std::function<void(const QString&)>& open,
                    const std::function<FolderProbe::Known(const QString&)>& known) {
  if (!menu) return;
  menu->clear();
  for (int i = 0; i < folders.size(); ++i) {
    const QString folder = folders[i];
    QAction* a = menu->addAction(QString());
    a->setData(folder);
    a->setProperty("recentIndex", i);
    ShowRecentItem(a, folder, known(folder));
    QObject::connect(a, &QAction::triggered, menu, [open, folder] { open(folder); });
  }
  menu->menuAction()->setEnabled(!folders.isEmpty());
}

}  // namespace kemo
