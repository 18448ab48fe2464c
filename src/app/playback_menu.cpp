#include "app/playback_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace kemo {

QMenu* AddPlaybackMenu(QMenuBar* bar, QAction* playPause) {
  QMenu* menu = bar->addMenu(QStringLiteral("再生(&P)"));
  menu->setObjectName(QStringLiteral("mnuPlay"));
  playPause->setText(QStringLiteral("再生／一時停止(&P)"));
  menu->addAction(playPause);
  return menu;
}

}  // namespace kemo
