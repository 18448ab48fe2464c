#pragma once
// State of the slide list and the slide editor.
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

class QMenu;

namespace kemo {

struct SlidesState {
  // The folder in which the image-copy dialog opens.
  QString LastImageFolder;
  // The folder whose pictures the image drop-down offers (the data folder, set when the slide-edit
  // grid is laid out).
  QString File1Folder;
  // Set while insert and delete rewrite the working grid, so that passing over its rows does not
  // redraw the stage for every row.
  bool RewritingRows = false;
  // Opens a popup menu at a screen position; unset, the menu pops up. Tests set it to record the
  // request instead of showing a menu.
  std::function<void(QMenu*, const QPoint&)> PopupHook;
  // Alive while the editor is; handlers connected to widgets that outlive the editor during the
  // window's teardown check it before touching the editor.
  std::shared_ptr<int> Alive = std::make_shared<int>(0);
};

}  // namespace kemo
