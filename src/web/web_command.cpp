#include "web/web_command.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <cstdio>
#include <cstring>
#include <memory>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "export/export_lecture.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "web/web_package.h"

namespace kemo {

namespace {

bool writing = false;  // the command is not entered again while the encoder runs

void PrintLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const QByteArray bytes = text.toLocal8Bit() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

// The message seam of the command line: every text goes to the error output.
class ErrorOutputMessages : public MessageBoxes {
 public:
  MsgResult Show(const QString& text, MsgButtons buttons, MsgIcon) override {
    ++shown;
    PrintLine(text);
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::No;
  }
  int shown = 0;
};

}  // namespace

void WebWithProgress(Editor& ed, const QString& outDir) {
  QProgressDialog dialog(QStringLiteral("Web用に書き出しています…"), QStringLiteral("キャンセル"), 0, 1000,
                         ed.ui.frmMain);
  dialog.setObjectName(kWebProgressName);
  dialog.setWindowTitle(kAppTitle);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  dialog.show();
  WebOptions options;
  options.programFolder = ed.ProgramFolder;
  options.runner = ed.svc.process;
  options.onProgress = [&](const ExportProgress& p) {
    if (p.seconds >= 0 && p.duration > 0)
      dialog.setValue(static_cast<int>(qBound(0.0, p.seconds / p.duration * 1000.0, 999.0)));
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
    PrintLine(QStringLiteral("使い方: kemo-editor --web データフォルダ 出力フォルダ"));
    return 2;
  }
  ErrorOutputMessages messages;
  auto ed = std::make_unique<Editor>();
  ed->svc.messages = &messages;
  ed->ProgramFolder = programFolder;
  ed->DataFolder = QDir::cleanPath(QFileInfo(args[1]).absoluteFilePath());
  if (!QFileInfo(ed->ContentPath()).isFile()) {
    PrintLine(ShowPath(ed->ContentPath()) + QStringLiteral("が見つかりません。"));
    return 1;
  }
  // The tables as opening the folder builds them.
  ReadSymbolFile(*ed);
  ClearAllTables(*ed);
  if (!LoadContentXml(*ed) || messages.shown > 0) return 1;
  BuildRecords(*ed);
  BuildSlideTable(*ed);
  BuildPointTable(*ed);

  WebOptions options;
  options.programFolder = programFolder;
  int shownTenth = -1;
  options.onProgress = [&](const ExportProgress& p) {
    if (p.seconds >= 0 && p.duration > 0) {
      const int tenth = static_cast<int>(p.seconds / p.duration * 10);
      if (tenth != shownTenth) PrintLine(QStringLiteral("書き出し中… %1%").arg(std::min(tenth, 10) * 10));
      shownTenth = tenth;
    }
    return true;
  };
  const WebResult r = WriteWebPackage(ExportSourceOf(*ed), args[2], options);
  if (r.kind != WebResult::Done) {
    PrintLine(r.reason);
    return 1;
  }
  // Worded as the export's warnings, which the batch reports per folder.
  for (const QString& slide : r.missing)
    PrintLine(QStringLiteral("警告: ") + slide + QStringLiteral("の画像が見つからないか読めないため、代わりの画像で書き出しました。"));
  return r.missing.isEmpty() ? 0 : 3;
}

}  // namespace kemo
