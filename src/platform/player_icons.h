#pragma once
// The symbols of the player's bar, drawn here at whatever size the bar asks for (the layout's
// scale times the screen's pixel ratio), so that they stay sharp on every screen and cost no
// look-up in the desktop's icon theme at start-up.
#include <QIcon>

class QStyle;

namespace kemo {

enum class PlayerSymbol { Play, Pause, Stop, Sound, Muted, MoreRight, MoreDown };

QIcon PlayerIcon(PlayerSymbol symbol);

// The application's style: the toolkit's own, except that the pictures it would read from its
// files at start-up (the menu bar's extension button) are drawn here, as the player's are. The
// toolkit reads those files by asking every image plugin of the system which format they are.
QStyle* CreateEditorStyle();

}  // namespace kemo
