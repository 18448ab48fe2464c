#pragma once
// What the single-folder writing commands (--export, --web, and their menu items) have in common: the
// error output that takes every message on the command line, reading a folder as opening it does,
// the warning lines for slides shown with the stand-in picture, and the window's progress dialog.
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/message_box.h"

class QProgressDialog;
class QWidget;

namespace kemo {

struct Editor;
struct ExportProgress;

// One line on the error output (a carriage return starts a new line).
void PrintErrorLine(QString text);

// The message seam of the command line: every text goes to the error output.
class ErrorOutputMessages : public MessageBoxes {
 public:
  MsgResult Show(const QString& text, MsgButtons buttons, MsgIcon) override;
  int shown = 0;
};

// An editor without a window holding `folder`'s content.xml as opening the folder builds its tables;
// null when it cannot be read, after saying why on the error output. `messages` is its message seam
// and must outlive it.
std::unique_ptr<Editor> LoadFolderForCommandLine(const QString& folder, const QString& programFolder,
                                                 ErrorOutputMessages* messages);

// A "警告: " line for each slide shown with the stand-in picture (the batch reads them per folder).
void PrintMissingPictureWarnings(const QStringList& slides);

// The window's modal progress dialog for a write that takes a while: titled "KemoEditor", named
// `objectName` for the tests, with キャンセル; the caller shows it.
std::unique_ptr<QProgressDialog> MakeWriteProgress(const QString& text, const QString& objectName, QWidget* owner);
// The encoder's progress as the dialog's value out of 1000 (999 at the most); -1 while it is unknown.
int ProgressPermille(const ExportProgress& p);

}  // namespace kemo
