#pragma once
// The command lines for many folders, without a window:
//   kemo-editor --batch ACTION ROOT [--jobs N] [--out DIR] [--report FILE] [--resume] [--force]
//   kemo-editor --convert FOLDER [--force]      (the FLV to AVI conversion of one folder)
// ACTION is one of BatchActions() (check, convert, export), or several joined by commas. Each
// folder's job is the editor's own single-folder command, run as a process of its own, N at a time
// (default: the number of processors): a crash of one never takes the batch down. Checks go first
// and keep a place of their own beside the encodes. Progress goes to the error output (a line per
// finished job and done/total with the time left; a live line on a terminal).
//
// Exit status: 0 when every job succeeded (warnings included), 1 when some failed or an existing
// product was kept, 2 for a wrong command line, 130 after Ctrl+C (the finished jobs are in the
// report and the journal; --resume goes on from there).
#include <QString>
#include <QStringList>

namespace kemo {

// True when the command line is one of these (the window is then never made).
bool IsBatchCommandLine(int argc, char** argv);
// Runs it; `program` is the editor's own executable, run for each folder's job.
int RunBatchCommandLine(const QStringList& args, const QString& program, const QString& programFolder);

}  // namespace kemo
