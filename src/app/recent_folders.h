#pragma once
// The data folders opened lately, newest first, kept in the user's settings between runs, and the
// File menu's "最近使ったフォルダ" submenu that opens them again.
#include <QString>
#include <QStringList>
#include <functional>

#include "app/folder_probe.h"

class QAction;
class QMenu;

namespace kemo {

class RecentFolders {
 public:
  static constexpr int kMax = 10;

  // Reads the list from the user's settings.
  RecentFolders();

  const QStringList& Folders() const { return folders_; }
  // The newest folder, or "".
  QString Last() const { return folders_.value(0); }
  // Puts the folder first (another spelling of a folder already listed replaces it), keeps the
  // newest ten and writes the list to the settings. "" is ignored.
  void Add(const QString& folder);

  // Empties the list kept in the user's settings (tests start from a clean slate).
  static void Forget();

 private:
  QStringList folders_;
};

// Fills `menu` with one item per folder, newest first, numbered &1-&9 (the tenth plain 10). What is
// known of each folder comes from `known`: a folder that no longer exists is greyed, one whose file
// system does not answer is greyed and says so, one not yet known is shown usable. Choosing an item
// calls open with the folder.
void FillRecentMenu(QMenu* menu, const QStringList& folders, const std::function<void(const QString&)>& open,
                    const std::function<FolderProbe::Known(const QString&)>& known);
// Shows `a`, the item of `folder`, as `known` says now (after a check answered while the menu is up).
void ShowRecentItem(QAction* a, const QString& folder, FolderProbe::Known known);

}  // namespace kemo
