#pragma once
// The 再生 menu: what the player's own bar and the keys do, named where a user looks for it.
class QAction;
class QMenu;
class QMenuBar;

namespace kemo {

// Adds 再生(&P) to the bar with the window's play/pause action (Space) in it.
QMenu* AddPlaybackMenu(QMenuBar* bar, QAction* playPause);

}  // namespace kemo
