#pragma once
// State of the data-folder commands.
#include <QString>

namespace kemo {

struct DocumentState {
  // Start folder of the FLV file dialog; "" until its first use.
  QString LastFlvFolder;
  // The data folder whose content.xml could not be read by the last open or reload ("" when it
  // was read): the tables are not that file, so saving over it asks first.
  QString UnreadContentFolder;
  // The data folder opened last (in this run or, as the window seeds it, an earlier one); the
  // folder pickers start in its parent.
  QString LastDataFolder;
};

}  // namespace kemo
