#include "export/command_line_common.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <cstdio>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "export/export_lecture.h"
#include "platform/paths.h"

namespace kemo {

void PrintErrorLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const QByteArray bytes = text.toLocal8Bit() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

MsgResult ErrorOutputMessages::Show(const QString& text, MsgButtons buttons, MsgIcon) {
  ++shown;
  PrintErrorLine(text);
  return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::No;
}

std::unique_ptr<Editor> LoadFolderForCommandLine(const QString& folder, const QString& programFolder,
                                                 ErrorOutputMessages* messages) {
  auto ed = std::make_unique<Editor>();
  ed->svc.messages = messages;
  ed->ProgramFolder = programFolder;
  ed->DataFolder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  if (!QFileInfo(ed->ContentPath()).isFile()) {
    PrintErrorLine(ShowPath(ed->ContentPath()) + QStringLiteral("が見つかりません。"));
    return nullptr;
  }
  // The tables as opening the folder builds them; the loader has said why when it fails.
  ReadSymbolFile(*ed);
  ClearAllTables(*ed);
  if (!LoadContentXml(*ed) || messages->shown > 0) return nullptr;
  BuildRecords(*ed);
  BuildSlideTable(*ed);
  BuildPointTable(*ed);
  return ed;
}

void PrintMissingPictureWarnings(const QStringList& slides) {
  for (const QString& slide : slides)
    PrintErrorLine(QStringLiteral("警告: ") + slide +
                   QStringLiteral("の画像が見つからないか読めないため、代わりの画像で書き出しました。"));
}

std::unique_ptr<QProgressDialog> MakeWriteProgress(const QString& text, const QString& objectName, QWidget* owner) {
  auto dialog = std::make_unique<QProgressDialog>(text, QStringLiteral("キャンセル"), 0, 1000, owner);
  dialog->setObjectName(objectName);
  dialog->setWindowTitle(kAppTitle);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAutoClose(false);
  dialog->setAutoReset(false);
  dialog->setMinimumDuration(0);
  return dialog;
}

int ProgressPermille(const ExportProgress& p) {
  if (!(p.seconds >= 0 && p.duration > 0)) return -1;
  return static_cast<int>(qBound(0.0, p.seconds / p.duration * 1000.0, 999.0));
}

}  // namespace kemo
