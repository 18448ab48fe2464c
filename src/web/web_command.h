#pragma once
// The web package command: the File menu's Web用に書き出し and the command line's
// kemo-editor --web FOLDER OUTDIR, both through WriteWebPackage.
#include <QString>
#include <QStringList>

namespace kemo {

struct Editor;

// Asks for the folder that is to hold the package ("<folder name>_web" in it), writes the package of
// the lecture as the editor holds it with a progress dialog, and says where it is or why not.
void OnWebCommand(Editor& ed);
// Writes the package to `outDir` with the progress dialog, without asking; tells the outcome.
void WebWithProgress(Editor& ed, const QString& outDir);

// The command line "--web FOLDER OUTDIR": loads FOLDER's content.xml as the editor opens it and
// writes its package to OUTDIR. Progress and reasons go to the error output. Exit status:
//   0 written; 1 failed (nothing under OUTDIR's name changed); 2 wrong command line;
//   3 written, but slides whose picture is missing show the default picture (each listed).
int RunWebCommandLine(const QStringList& args, const QString& programFolder);
bool IsWebCommandLine(int argc, char** argv);

inline const QString kWebProgressName = QStringLiteral("dlgWebProgress");

}  // namespace kemo
