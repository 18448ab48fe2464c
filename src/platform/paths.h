#pragma once
// Path helpers. The system's texts write "\" between folder and name; here every path is built with
// JoinPath (the platform's separator) and shown with native separators.
#include <QString>

namespace kemo {

// folder + separator + name; a name that is empty gives folder + separator, as "folder\" + "" would.
QString JoinPath(const QString& folder, const QString& name);

// The text after the last path separator ("/" or "\"); the whole text when there is none.
QString FileNameOfPath(const QString& path);

// True for a name that can safely stand beside a data folder's files: not empty, not "." or "..",
// and without any path separator or NUL. Slide image names must be plain file names.
bool IsPlainFileName(const QString& name);

// The path with native separators, for messages.
QString ShowPath(const QString& path);

// The root of the file system that holds path ("/" here; "C:\" on a system with drive letters).
QString DriveRootOf(const QString& path);

}  // namespace kemo

namespace kemo {

// The program's own read-only data (symbol.csv, 000.jpg, temp/_content.xml): the first of
//   the executable's folder itself, when it holds symbol.csv (an unpacked copy),
//   <executable's folder>/../share/kemo-editor (the install prefix, and the build tree's layout),
//   kemo-editor/ in the XDG data folders ($XDG_DATA_HOME, $XDG_DATA_DIRS)
// that holds symbol.csv; the prefix's folder when none does (the messages then name it).
QString FindProgramDataFolder(const QString& executableFolder);

// The per-user writable place that holds the editors' work folders: kemo-editor/ in the XDG cache
// folder, else in the XDG runtime folder, else kemo-editor-<uid> in the temporary folder; the first
// one that can be made. "" when none can.
QString UserWorkBase();

}  // namespace kemo
