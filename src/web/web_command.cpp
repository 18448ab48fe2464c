#include "web/web_command.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <cstring>
#include <memory>

#include "document/editor.h"
#include "export/command_line_common.h"
#include "export/export_lecture.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "web/web_package.h"

namespace kemo {

namespace {

bool writing = false;  // the command is not entered again while the encoder runs

}  // namespace

void WebWithProgress(Editor& ed, const QString& outDir) {
  const std::unique_ptr<QProgressDialog> shown =
      MakeWriteProgress(QStringLiteral("Web用に書き出しています…"), kWebProgressName, ed.ui.frmMain);
  QProgressDialog& dialog = *shown;
  dialog.show();
  WebOptions options;
  options.programFolder = ed.ProgramFolder;
  options.runner = ed.svc.process;
  options.onProgress = [&](const ExportProgress& p) {
    if (const int permille = ProgressPermille(p); permille >= 0) dialog.setValue(permille);
    return !dialog.wasCanceled();
  };
  const WebResult r = WriteWebPackage(ExportSourceOf(ed), outDir, options);
  dialog.hide();
  const QString where = ShowPath(QFileInfo(outDir).absoluteFilePath());
  switch (r.kind) {
    case WebResult::Done:
      Tell(ed,
           QStringLiteral("Web用に書き出しました。\r") + where + QStringLiteral("\rindex.html をブラウザで開いてください。") +
               (r.missing.isEmpty() ? QString()
                                    : QStringLiteral("\r\r次のスライドの画像が見つからないか読めないため、代わりの画像で書き出しました。\r") +
                                          MissingPicturesText(r.missing)),
           r.missing.isEmpty() ? MsgIcon::Information : MsgIcon::Critical);
      break;
    case WebResult::Cancelled: Tell(ed, QStringLiteral("Web用の書き出しをキャンセルしました。"), MsgIcon::Critical); break;
    case WebResult::Failed:
      Tell(ed, QStringLiteral("Web用の書き出し中にエラーが発生しました。\r") + r.reason, MsgIcon::Critical);
      break;
  }
}

void OnWebCommand(Editor& ed) {
  if (writing || ed.DataFolder.isEmpty() || !ed.svc.dialogs) return;
  const QFileInfo data(ed.DataFolder);
  const QString place =
      ed.svc.dialogs->BrowseForFolder(data.absolutePath(), QStringLiteral("Web用に書き出し: 書き出し先のフォルダ"));
  if (place.isEmpty()) return;
  const QString outDir = JoinPath(place, data.fileName() + QStringLiteral("_web"));
  if (QFileInfo::exists(outDir)) {
    if (const QString why = WebOutputRefusal(ed.DataFolder, outDir); !why.isEmpty()) {
      Tell(ed, why, MsgIcon::Critical);
      return;
    }
    if (Ask(ed, ShowPath(outDir) + QStringLiteral("は既にあります。置き換えますか？"), MsgButtons::YesNo) != MsgResult::Yes)
      return;
  }
  writing = true;
  WebWithProgress(ed, outDir);
  writing = false;
}

bool IsWebCommandLine(int argc, char** argv) { return argc >= 2 && std::strcmp(argv[1], "--web") == 0; }

int RunWebCommandLine(const QStringList& args, const QString& programFolder) {
  if (args.size() != 3 || args[0] != QStringLiteral("--web")) {
    PrintErrorLine(QStringLiteral("使い方: kemo-editor --web データフォルダ 出力フォルダ"));
    return 2;
  }
  ErrorOutputMessages messages;
  const std::unique_ptr<Editor> ed = LoadFolderForCommandLine(args[1], programFolder, &messages);
  if (!ed) return 1;

  WebOptions options;
  options.programFolder = programFolder;
  int shownTenth = -1;
  options.onProgress = [&](const ExportProgress& p) {
    if (p.seconds >= 0 && p.duration > 0) {
      const int tenth = static_cast<int>(p.seconds / p.duration * 10);
      if (tenth != shownTenth) PrintErrorLine(QStringLiteral("書き出し中… %1%").arg(std::min(tenth, 10) * 10));
      shownTenth = tenth;
    }
    return true;
  };
  const WebResult r = WriteWebPackage(ExportSourceOf(*ed), args[2], options);
  if (r.kind != WebResult::Done) {
    PrintErrorLine(r.reason);
    return 1;
  }
  PrintMissingPictureWarnings(r.missing);
  return r.missing.isEmpty() ? 0 : 3;
}

}  // namespace kemo
