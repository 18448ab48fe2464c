#pragma once
// Work from the keyboard: Tab goes from control to control in reading order (the left column top
// to bottom, then the right one), never from row to row inside a grid, and the control that has
// the focus is framed where everyone can see it; a button with the focus takes Space.
class QWidget;

namespace kemo {

struct Controls;

// Orders Tab over the focusable controls below `client`, takes Tab away from the grids and puts up
// the focus frame. Called once the controls are built, at the design size.
void SetUpKeyboard(Controls& ui, QWidget* client);

}  // namespace kemo
