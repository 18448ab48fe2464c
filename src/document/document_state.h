#pragma once
// State of the data-folder commands.
#include <QString>

namespace kemo {

struct DocumentState {
  // Start folder of the FLV file dialog; "" until its first use.
  QString LastFlvFolder;
};

}  // namespace kemo
