#pragma once
// A file that only grows, one write a record: what is appended is with the system when Append
// returns (a killed process loses nothing of it), and it is forced to the disk at most a few
// times a second, the last forcing following the last write by at most that gap.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

namespace kemo {

class AppendFile {
 public:
  static constexpr int kSyncGapMs = 300;

  AppendFile();
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates `path` (readable by the user only; false when a file of that name is there already) or,
  // with `create` false, opens an existing file; either for appending.
  bool Open(const QString& path, bool create);
  // Takes an open descriptor (written to by appending) as the file at `path`.
  void Adopt(int fd, const QString& path);
  bool IsOpen() const { return fd_ >= 0; }
  const QString& Path() const { return path_; }
  // One write of all of `bytes`; false when the system took less (errno tells why).
  bool Append(const QByteArray& bytes);
  // Forces what was written to the disk now.
  void Sync();
  // Closes the file, keeping it (forgotten: a later Remove does not delete it).
  void Close();
  // Closes and deletes the file.
  void Remove();
  // How many times the file was forced to the disk (for tests of the pacing).
  int SyncCount() const { return syncs_; }

 private:
  int fd_ = -1;
  QString path_;
  QElapsedTimer sinceSync_;
  bool dirty_ = false;
  int syncs_ = 0;
  QTimer timer_;
};

}  // namespace kemo
