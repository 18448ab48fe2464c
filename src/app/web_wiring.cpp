#include "app/web_wiring.h"

#include <QAction>
#include <QMenu>

#include "document/editor.h"
#include "web/web_command.h"

namespace kemo {

void WireWeb(Editor& ed) {
  QMenu* file = ed.ui.mnuFile;
  if (!file || !ed.ui.mnuFileExport) return;
  auto* item = new QAction(QStringLiteral("Web用に書き出し(&W)…"), file);
  item->setObjectName(QStringLiteral("mnuFileWeb"));
  // Right after 動画に書き出し: the item that follows it in the menu comes after the new one.
  const QList<QAction*> items = file->actions();
  const qsizetype at = items.indexOf(ed.ui.mnuFileExport);
  file->insertAction(at >= 0 && at + 1 < items.size() ? items[at + 1] : nullptr, item);
  // Enabled with 動画に書き出し: both need an open folder.
  QObject::connect(ed.ui.mnuFileExport, &QAction::changed, item,
                   [item, exportItem = ed.ui.mnuFileExport] { item->setEnabled(exportItem->isEnabled()); });
  item->setEnabled(ed.ui.mnuFileExport->isEnabled());
  Editor* e = &ed;
  QObject::connect(item, &QAction::triggered, item, [e] { OnWebCommand(*e); });
}

}  // namespace kemo
