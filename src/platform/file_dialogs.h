#pragma once
// The folder browser and the open-file dialog. Both return "" when the user cancels.
#include <QString>
#include <deque>
#include <vector>

class QWidget;

namespace kemo {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // A folder picker opened at start; the chosen folder's full path.
  virtual QString BrowseForFolder(const QString& start, const QString& title) = 0;
  // An open-file dialog; filter as the toolkit writes it ("*.flv (*.flv)"); the chosen file must exist.
  virtual QString OpenFile(const QString& filter, const QString& start, const QString& title) = 0;
  // A save-file dialog opened at start (a folder, or a file to propose); it asks before an existing
  // file is overwritten. The chosen file's full path.
  virtual QString SaveFile(const QString& filter, const QString& start, const QString& title) = 0;
};

class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  QString BrowseForFolder(const QString& start, const QString& title) override;
  QString OpenFile(const QString& filter, const QString& start, const QString& title) override;
  QString SaveFile(const QString& filter, const QString& start, const QString& title) override;

 private:
  QWidget* owner_;
};

// Test double: answers from two scripts and records each call (start folder and title).
class ScriptedFileDialogs : public FileDialogs {
 public:
  struct Call {
    QString kind;  // "folder", "file" or "save"
    QString start;
    QString title;
    QString filter;
  };
  QString BrowseForFolder(const QString& start, const QString& title) override;
  QString OpenFile(const QString& filter, const QString& start, const QString& title) override;
  QString SaveFile(const QString& filter, const QString& start, const QString& title) override;

  std::deque<QString> folders;  // answers of BrowseForFolder; "" is a cancel
  std::deque<QString> files;    // answers of OpenFile
  std::deque<QString> saves;    // answers of SaveFile
  std::vector<Call> calls;
};

}  // namespace kemo
