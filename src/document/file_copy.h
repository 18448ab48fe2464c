#pragma once
// File-system steps of the folder commands: one file copy that reports the runtime error numbers
// the messages are worded for, the listing and deletion of the files directly in a folder, and the
// test whether two spellings name one folder.
#include <QString>
#include <QStringList>

namespace kemo {

// Runtime error numbers of a failed copy.
namespace FileErr {
constexpr int None = 0;
constexpr int NotFound = 53;      // the source file does not exist
constexpr int Exists = 58;        // the destination exists and overwriting was not asked for
constexpr int DiskFull = 61;
constexpr int DeviceIo = 57;      // any other failure of the file system
constexpr int Denied = 70;        // permission denied, or the file is in use
constexpr int PathAccess = 75;    // the destination is read-only, or its path can't be used
}  // namespace FileErr

struct FileError {
  int number = FileErr::None;
  QString description;  // the platform's own text for the failure
  bool ok() const { return number == FileErr::None; }
};

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
