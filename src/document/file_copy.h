#pragma once
// File-system steps of the folder commands: one file copy that reports the runtime error numbers
// the messages are worded for, the listing and deletion of the files directly in a folder, and the
// test whether two spellings name one folder.
#include <QString>
#include <QStringList>

#include "document/data_files.h"

namespace kemo {

// Copies one file. The copy is written beside the destination under a temporary name and renamed
// over it only when complete, so a failed copy never leaves a truncated destination. A destination
// that is read-only is refused (not replaced), whatever the folder's permissions would allow.
FileError CopyOneFile(const QString& source, const QString& destination, bool overwrite);

// The files (not folders, not hidden files) directly in folder, as full paths, sorted by name.
QStringList FilesIn(const QString& folder);

// Deletes the files FilesIn lists, except `keep` (a full path; "" keeps nothing). Failures are
// skipped. Returns the number deleted.
int DeleteFilesIn(const QString& folder, const QString& keep = QString());

// True when a and b name the same folder or file: equal texts, or equal after resolving links,
// "." and ".." and trailing separators.
bool SamePath(const QString& a, const QString& b);

}  // namespace kemo
