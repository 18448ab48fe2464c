#pragma once
// kemo-editor --convert FOLDER [--force]: the FLV to AVI conversion of one data folder without a
// window, as the menu's FLS⇒AVI変換 does it (through the work folder, installed in one rename). An
// existing Video.avi is kept unless --force; a folder that cannot be written is refused with the
// reason. 0 when converted, 1 with the reason on the error output, 2 for a wrong command line.
#include <QString>
#include <QStringList>

namespace kemo {

int RunConvertCommandLine(const QStringList& args, const QString& programFolder);

}  // namespace kemo
