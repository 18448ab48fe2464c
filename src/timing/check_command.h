#pragma once
// The command line "kemo-editor --check FOLDER [--json]": the timing check of one data folder without
// a window. It changes nothing.
//
// Output: the problems on the standard output, one Japanese line each ("スライド 3（00:04.000）：…"),
// or with --json one document:
//   {"folder": "/abs/path", "video_length": 60.04 (or null), "problems": [
//     {"kind": "short_slide", "table": "slides", "row": 3, "time": 4.0, "detail": "…"}, ...]}
// The count of problems, or the reason the folder could not be read, goes to the error output.
// Exit status: 0 no problem, 1 problems found, 2 the folder could not be read (or a wrong command line).
#include <QByteArray>
#include <QStringList>

namespace kemo {

struct FolderCheck;

bool IsCheckCommandLine(int argc, char** argv);
// args: the arguments after the program's name.
int RunCheckCommandLine(const QStringList& args);

// The JSON document of a folder's check, as --json prints it.
QByteArray CheckJson(const QString& folder, const FolderCheck& check);

}  // namespace kemo
