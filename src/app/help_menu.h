#pragma once
// The ヘルプ menu: the editor's manual (installed with the program, shown in a window of the
// editor) and the version with the licences of the libraries it uses; and the same facts for
// `kemo-editor --help` and `--version`.
#include <QString>

class QMenuBar;
class QWidget;

namespace kemo {
class MessageBoxes;
}

namespace kemo {

// The text of the version window and of --version: the editor's version, and the versions and
// licences of Qt, libxml2 and ffmpeg (ffmpeg as the installed program names itself).
QString VersionText();
// The usage --help prints.
QString UsageText();

// The manual's file in the program's data folder.
QString ManualPath(const QString& programFolder);

// Adds ヘルプ(&H) with 操作説明 (F1) and バージョン情報 to the bar; the windows stand over `owner`.
// A manual that cannot be read is told through `messages`.
void AddHelpMenu(QMenuBar* bar, QWidget* owner, const QString& programFolder, MessageBoxes* messages);

// --help and --version: prints on stdout and gives the exit status 0; -1 for any other command line.
int RunInfoCommandLine(int argc, char** argv);

}  // namespace kemo
