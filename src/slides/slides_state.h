#pragma once
// State of the slide list and the slide editor.
#include <QString>

namespace kemo {

struct SlidesState {
  // The folder in which the image-copy dialog opens.
  QString LastImageFolder;
};

}  // namespace kemo
