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
