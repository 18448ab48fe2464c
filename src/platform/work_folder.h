#pragma once
// This running editor's own work folder: "run-XXXXXX" under the user's work base (UserWorkBase),
// made for this process and removed with it, so that two editors of one user (on two displays)
// never share a file. A lock beside the folder ("run-XXXXXX.lock", flock'ed for the editor's life)
// tells a live editor's folder from one whose editor has gone (also by kill -9); the next editor
// to start removes those.
#include <QString>

namespace kemo {

class EditorWorkFolder {
 public:
  // base: the folder that holds the editors' work folders; "" gives no work folder.
  explicit EditorWorkFolder(const QString& base);
  ~EditorWorkFolder();
  EditorWorkFolder(const EditorWorkFolder&) = delete;
  EditorWorkFolder& operator=(const EditorWorkFolder&) = delete;

  QString base() const { return base_; }
  // The folder (made, empty, only this user may enter it); "" when it could not be made.
  QString path() const { return path_; }

  // Removes the work folders under base whose editor has ended. A lock younger than graceSeconds
  // is left alone: its editor may be between making it and locking it.
  static void RemoveAbandoned(const QString& base, int graceSeconds = 60);

 private:
  QString base_;
  QString path_;
  QString lockPath_;
  int lockFd_ = -1;
};

}  // namespace kemo
