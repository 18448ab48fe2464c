#include "batch/folder_convert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "convert/convert.h"
#include "document/data_files.h"
#include "document/editor.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/process_runner.h"
#include "platform/work_folder.h"

namespace kemo {

namespace {

void PrintLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const QByteArray bytes = text.toLocal8Bit() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

// The conversion's question is answered yes (the command is the user's yes); its texts go to the
// error output.
class CommandLineMessages : public MessageBoxes {
 public:
  MsgResult Show(const QString& text, MsgButtons buttons, MsgIcon) override {
    if (buttons == MsgButtons::Ok) PrintLine(text);
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
  }
};

}  // namespace

int RunConvertCommandLine(const QStringList& args, const QString& programFolder) {
  const bool force = args.contains(QStringLiteral("--force"));
  QStringList rest = args.mid(1);
  rest.removeAll(QStringLiteral("--force"));
  if (rest.size() != 1 || rest[0].startsWith(QStringLiteral("--"))) {
    PrintLine(QStringLiteral("使い方: kemo-editor --convert データフォルダ [--force]"));
    return 2;
  }
  const QString folder = QDir::cleanPath(QFileInfo(rest[0]).absoluteFilePath());
  const QString source = JoinPath(folder, QStringLiteral("Video.flv"));
  const QString target = JoinPath(folder, QStringLiteral("Video.avi"));
  if (!QFileInfo(source).isFile()) {
    PrintLine(ShowPath(source) + QStringLiteral("が見つかりません。"));
    return 1;
  }
  if (const QString notFlv = VideoRefusal(source, folder, VideoKind::Flv); !notFlv.isEmpty()) {
    PrintLine(notFlv);
    return 1;
  }
  if (QFileInfo::exists(target) && !force) {
    PrintLine(ShowPath(target) + QStringLiteral("が既にあるため、変換しませんでした（--force で置き換えます）。"));
    return 1;
  }
  if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0) {
    PrintLine(ShowPath(folder) + QStringLiteral("に書き込めません（読み取り専用か、権限がありません）。"));
    return 1;
  }

  CommandLineMessages messages;
  QtProcessRunner runner;
  auto ed = std::make_unique<Editor>();
  ed->svc.messages = &messages;
  ed->svc.process = &runner;
  ed->ProgramFolder = programFolder;
  ed->DataFolder = folder;
  const EditorWorkFolder work(UserWorkBase());
  QString reason;
  const int result = ConvertFlvToAvi(*ed, folder, QStringLiteral("\\Video.flv"), work.path(), QStringLiteral("\\Video.avi"), &reason);
  const QString made = JoinPath(work.path(), QStringLiteral("Video.avi"));
  if (result == ConvertResult::Done) {
    const FileError e = CopyDataFile(made, QString(), target, true);
    QFile::remove(made);
    if (e.ok()) return 0;
    reason = ShowPath(target) + QStringLiteral(": ") + e.description;
  }
  PrintLine(QStringLiteral("変換処理中にエラーが発生しました。") + (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason));
  return 1;
}

}  // namespace kemo
