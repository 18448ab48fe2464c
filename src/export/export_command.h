#pragma once
// The export command: the File menu's 動画に書き出し and the command line's
// kemo-editor --export FOLDER OUT.mp4, both through ExportLecture.
#include <QString>

#include "export/export_plan.h"

namespace kemo {

struct Editor;

// Asks for the output file (starting in the data folder, "<folder name>.mp4") and the quality (the
// last one chosen proposed), exports the folder's lecture as the editor holds it with a progress
// dialog, and says where the file is or why not.
void OnExportCommand(Editor& ed);
// Exports to `output` with the progress dialog, without asking for the file; the message it shows.
void ExportWithProgress(Editor& ed, const QString& output, ExportQuality quality = ExportQuality::Standard);

void WireExport(Editor& ed);

// The command line "--export FOLDER OUT [--quality 標準|小さい|速い] [--strict]": loads FOLDER's
// content.xml as the editor opens it and exports it to OUT. 0 when the file is written; 3 when it is
// written with missing pictures (each named on the error output; --strict refuses them before
// encoding, 1); otherwise the reason goes to the error output and the result is 1 (2 for a wrong
// command line, 130 after Ctrl+C, which prints 中止 and leaves nothing). programFolder holds symbol.csv and 000.jpg; the
// work files go to a work folder of the run's own under the user's work base (UserWorkBase).
int RunExportCommandLine(const QStringList& args, const QString& programFolder);
// True when the command line asks for an export (the window is then never made).
bool IsExportCommandLine(int argc, char** argv);

// The object name of the progress dialog (tests find it by this name).
inline const QString kExportProgressName = QStringLiteral("dlgExportProgress");

}  // namespace kemo
