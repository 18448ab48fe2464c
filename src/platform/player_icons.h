#pragma once
// The symbols of the player's bar, drawn here at whatever size the bar asks for (the layout's
// scale times the screen's pixel ratio), so that they stay sharp on every screen and cost no
// look-up in the desktop's icon theme at start-up.
#include <QIcon>

namespace kemo {

enum class PlayerSymbol { Play, Pause, Stop, Sound, Muted };

QIcon PlayerIcon(PlayerSymbol symbol);

}  // namespace kemo
