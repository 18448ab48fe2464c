#pragma once
// The one way the program opens, copies, replaces or deletes a file of a data folder.
//
// Data folders travel on USB sticks, shares and archives, so their files are untrusted input:
// - only regular files are read or copied (a FIFO would block for ever, a device never ends);
// - a link that leads out of its folder is neither read, copied nor written through;
// - "the same folder" and "the same file" are decided by device and inode, never by the text of
//   a path (a bind mount, or a case-insensitive stick typed in another case, gives one folder
//   many spellings);
// - new files are created exclusively (a planted link or file of that name is never opened);
// - a file is replaced by writing a hidden new file beside it and renaming it over the old one,
//   so the old file stays whole until the new one is complete, and nothing is written through
//   whatever the old name pointed to.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kemo {

// Why a file was not used. Callers name the file to the user with RefusalText.
enum class Refusal {
  None,
  NotRegular,    // a FIFO, a device, a socket or a folder (directly or through a link)
  LeavesFolder,  // a link whose target lies outside the folder the file belongs to
};

// Runtime error numbers of a failed file step; the messages are worded for them.
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
  QString description;  // the platform's own text for the failure, or RefusalText
  Refusal refusal = Refusal::None;
  int errnum = 0;  // the system's error number behind the failure, when there is one
  bool ok() const { return number == FileErr::None; }
};

// "<path>は通常のファイルではありません。" or "<path>はデータフォルダの外を指すリンクです。".
QString RefusalText(const QString& path, Refusal refusal);

// Whether the program may read or copy `path`: a regular file and, when `folder` is given, one
// that does not lead out of `folder` (a link into the folder or below it is fine). A missing
// file is not refused (reading it fails as missing). Never opens the file.
Refusal CheckDataFile(const QString& path, const QString& folder = QString());

// True when a and b exist and are one file or folder (device and inode, links followed).
bool SameFile(const QString& a, const QString& b);

// A file's identity: its device and inode.
struct FileId {
  quint64 device = 0;
  quint64 inode = 0;
  bool operator==(const FileId&) const = default;
};
// The identity of what path names (links followed); false when it does not exist.
bool IdOf(const QString& path, FileId* id);

// The two kinds of video a data folder holds.
enum class VideoKind { Avi, Flv };

// "" when path is a regular file of folder that begins as a video of the kind does (AVI: "RIFF"
// then "AVI "; FLV: "FLV" and version 1); else the sentence that names the file and says why it
// is not used: RefusalText, or "<path>はAVI形式の動画ファイルではありません。" ("FLV形式" for
// FLV). Only these headers let a file reach the player or the encoder, which would otherwise
// follow a playlist's addresses onto the network or into other folders.
QString VideoRefusal(const QString& path, const QString& folder, VideoKind kind);

// Reads the whole file, after CheckDataFile. Files of more than maxBytes are refused with EFBIG
// before anything is read. Never blocks on a FIFO or a device that was swapped in meanwhile.
// A refusal comes back as FileErr::PathAccess with refusal set and RefusalText as description.
FileError ReadDataFile(const QString& path, const QString& folder, QByteArray* bytes, qint64 maxBytes);

// The first `count` bytes (fewer when the file is shorter), with the checks of ReadDataFile.
FileError ReadDataFileHead(const QString& path, const QString& folder, int count, QByteArray* bytes);

// Opens the file for reading with the checks of ReadDataFile; on success *fd is a descriptor the
// caller owns and closes. For reading a large file in pieces.
FileError OpenDataFile(const QString& path, const QString& folder, int* fd);

// Copies source to destination. The source must pass CheckDataFile(source, sourceFolder) (an
// empty sourceFolder: a file the user chose, which need only be regular). The copy is written
// beside the destination under a hidden name (".NAME.kemo-PID-N") created exclusively and renamed
// over the destination when complete: the destination is never written through a link, and a
// failed copy leaves the destination as it was. An existing destination is replaced only when
// `overwrite`, and never when it is read-only (for root too) or a folder. Copying a file onto
// itself (same device and inode) succeeds without writing.
FileError CopyDataFile(const QString& source, const QString& sourceFolder, const QString& destination,
                       bool overwrite);

// Replaces (or creates) the file `path` of `folder` with bytes, by write-then-rename. A link that
// leads out of the folder is refused (LeavesFolder), a link within it is followed to its target;
// an existing file that is not regular is refused (NotRegular), one that is read-only is refused
// with EACCES whoever runs the program. The replaced file keeps its permissions.
FileError ReplaceDataFile(const QString& path, const QString& folder, const QByteArray& bytes);

// Creates `path` holding bytes, only when no file, folder or link of that name exists (EEXIST
// then, with FileErr::Exists). The file appears complete or not at all.
FileError CreateNewDataFile(const QString& path, const QByteArray& bytes);

// Removes the name `path` (a link itself, never what it points to). True when it is gone.
bool DeleteDataFile(const QString& path);

// Removes the hidden ".NAME.kemo-PID-N" files an interrupted copy or save left in folder (those
// of editors no longer running, and this editor's own, which it never leaves between commands).
// Returns the number removed.
int RemoveLeftovers(const QString& folder);

// The hidden temporary name beside `path` that the copies and replacements use.
QString LeftoverNameFor(const QString& path, int attempt);

}  // namespace kemo
