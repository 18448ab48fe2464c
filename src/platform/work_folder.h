#pragma once
// This running editor's own work folder: "run-XXXXXX" under the user's work base (UserWorkBase),
// made for this process and removed with it, so that two editors of one user (on two displays)
// never share a file. A lock beside the folder ("run-XXXXXX.lock", flock'ed for the editor's life)
// tells a live editor's folder from one whose editor has gone (also by kill -9); the next editor
// to start removes those. A work folder whose new content a recovery journal holds is kept, ended
// editor or not, for as long as that journal is there (its name is in the folder's
// "recovery-journal" file).
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

  // The file of a work folder that names the journal holding its new content.
  static QString JournalMarkName() { return QStringLiteral("recovery-journal"); }
  // Whether the work folder `folder` is kept for the journal its mark names.
  static bool KeptForJournal(const QString& folder);

 private:
  QString base_;
  QString path_;
  QString lockPath_;
  int lockFd_ = -1;
};

}  // namespace kemo
