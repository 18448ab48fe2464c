#include "export/export_command.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <atomic>
#include <csignal>
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
#include "platform/process_runner.h"
#include "platform/services.h"
#include "platform/work_folder.h"

namespace kemo {

namespace {

bool exporting = false;  // the command is not entered again while the encoder runs

// Minutes and seconds of a span of time, for the progress dialog.
QString Clock(double seconds) {
  const qint64 s = seconds > 0 ? static_cast<qint64>(seconds) : 0;
  return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString ProgressText(double elapsed, double encoding, const ExportProgress& p) {
  QString remaining = QStringLiteral("--:--");
  if (p.seconds > 0 && p.duration > 0) remaining = Clock(encoding * (p.duration - p.seconds) / p.seconds);
  return QStringLiteral("動画に書き出しています… 経過 ") + Clock(elapsed) + QStringLiteral("　残り 約 ") + remaining;
}

// The message seam of the command line: every text goes to the error output.
class ErrorOutputMessages : public MessageBoxes {
 public:
  MsgResult Show(const QString& text, MsgButtons buttons, MsgIcon) override {
    ++shown;
    PrintLine(text);
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::No;
  }
  static void PrintLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
  }
  int shown = 0;
};

}  // namespace

void ExportWithProgress(Editor& ed, const QString& output) {
  QProgressDialog dialog(QStringLiteral("動画に書き出しています…"), QStringLiteral("キャンセル"), 0, 1000, ed.ui.frmMain);
  dialog.setObjectName(kExportProgressName);
  dialog.setWindowTitle(kAppTitle);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  dialog.setValue(0);
  dialog.show();
  QElapsedTimer clock, encoding;
  clock.start();
  int shownSecond = -1;

  ExportOptions options;
  options.workFolder = ed.WorkFolder();
  options.programFolder = ed.ProgramFolder;
  options.runner = ed.svc.process;
  options.onProgress = [&](const ExportProgress& p) {
    const double elapsed = clock.elapsed() / 1000.0;
    // What is left is told from the encoder's own pace, the preparation before it left out.
    if (p.duration > 0 && !encoding.isValid()) encoding.start();
    if (p.seconds >= 0 && p.duration > 0)
      dialog.setValue(static_cast<int>(qBound(0.0, p.seconds / p.duration * 1000.0, 999.0)));
    if (static_cast<int>(elapsed) != shownSecond || p.seconds >= 0) {
      shownSecond = static_cast<int>(elapsed);
      dialog.setLabelText(ProgressText(elapsed, encoding.isValid() ? encoding.elapsed() / 1000.0 : 0, p));
    }
    return !dialog.wasCanceled();
  };
  const ExportResult r = ExportLecture(ExportSourceOf(ed), output, options);
  dialog.hide();
  const QString written = ShowPath(r.output.isEmpty() ? QFileInfo(output).absoluteFilePath() : r.output);
  switch (r.kind) {
    case ExportResult::Done:
      Tell(ed, QStringLiteral("動画を書き出しました。\r") + written, MsgIcon::Information);
      break;
    case ExportResult::Cancelled: Tell(ed, QStringLiteral("動画の書き出しをキャンセルしました。"), MsgIcon::Critical); break;
    case ExportResult::Failed:
      Tell(ed, QStringLiteral("動画の書き出し中にエラーが発生しました。\r") + r.reason, MsgIcon::Critical);
      break;
  }
}

void OnExportCommand(Editor& ed) {
  if (exporting || ed.DataFolder.isEmpty()) return;
  const QString name = QFileInfo(ed.DataFolder).fileName() + QStringLiteral(".mp4");
  if (!ed.svc.dialogs) return;
  const QString output = ed.svc.dialogs->SaveFile(QStringLiteral("MP4 動画 (*.mp4)"), JoinPath(ed.DataFolder, name),
                                                  QStringLiteral("動画に書き出し"));
  if (output.isEmpty()) return;
  // Slides whose picture would show as the stand-in are named before anything is written.
  const QStringList missing = MissingPictures(ExportSourceOf(ed));
  if (!missing.isEmpty() &&
      Ask(ed, QStringLiteral("次のスライドの画像が見つからないか読めません。代わりの画像で書き出しますか？\r") +
                  MissingPicturesText(missing),
          MsgButtons::YesNo, MsgIcon::Critical) != MsgResult::Yes)
    return;
  exporting = true;
  ExportWithProgress(ed, output);
  exporting = false;
}

void WireExport(Editor& ed) {
  QAction* item = ed.ui.mnuFileExport;
  if (!item) return;
  Editor* e = &ed;
  QObject::connect(item, &QAction::triggered, item, [e] { OnExportCommand(*e); });
}

bool IsExportCommandLine(int argc, char** argv) { return argc >= 2 && std::strcmp(argv[1], "--export") == 0; }

namespace {

// Ctrl+C (or an end asked of the process) cancels the export, which then cleans up.
std::atomic<int> interruption{0};
extern "C" void OnInterrupt(int signal) { interruption = signal; }

QString kExportUsage() {
  return QStringLiteral("使い方: kemo-editor --export データフォルダ 出力.mp4 [--quality 標準|小さい|速い] [--strict]");
}

}  // namespace

int RunExportCommandLine(const QStringList& args, const QString& programFolder) {
  QStringList names;
  ExportOptions options;
  bool usage = args.value(0) != QStringLiteral("--export");
  for (qsizetype i = 1; i < args.size() && !usage; ++i) {
    if (args[i] == QStringLiteral("--strict")) options.strict = true;
    else if (args[i] == QStringLiteral("--quality")) usage = ++i >= args.size() || !ParseExportQuality(args[i], &options.quality);
    else if (args[i].startsWith(QStringLiteral("--"))) usage = true;
    else names << args[i];
  }
  if (usage || names.size() != 2) {
    ErrorOutputMessages::PrintLine(kExportUsage());
    return 2;
  }
  ErrorOutputMessages messages;
  auto ed = std::make_unique<Editor>();
  ed->svc.messages = &messages;
  ed->ProgramFolder = programFolder;
  ed->DataFolder = QDir::cleanPath(QFileInfo(names[0]).absoluteFilePath());
  if (!QFileInfo(ed->ContentPath()).isFile()) {
    ErrorOutputMessages::PrintLine(ShowPath(ed->ContentPath()) + QStringLiteral("が見つかりません。"));
    return 1;
  }
  // The tables as opening the folder builds them.
  ReadSymbolFile(*ed);
  ClearAllTables(*ed);
  if (!LoadContentXml(*ed) || messages.shown > 0) return 1;
  BuildRecords(*ed);
  BuildSlideTable(*ed);
  BuildPointTable(*ed);

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);

  // A work folder of this run's own, as an editor has one.
  const EditorWorkFolder work(UserWorkBase());
  options.workFolder = work.path();
  options.programFolder = programFolder;
  options.onProgress = [](const ExportProgress&) { return interruption == 0; };
  const ExportResult r = ExportLecture(ExportSourceOf(*ed), names[1], options);
  if (interruption != 0 && r.kind != ExportResult::Failed) {
    ErrorOutputMessages::PrintLine(QStringLiteral("中止しました。") + ShowPath(QFileInfo(names[1]).absoluteFilePath()) +
                                   QStringLiteral("は書き出していません。"));
    return 128 + interruption;
  }
  if (r.kind != ExportResult::Done) {
    ErrorOutputMessages::PrintLine(r.reason);
    return 1;
  }
  if (r.missingPictures.isEmpty()) return 0;
  for (const QString& slide : r.missingPictures)
    ErrorOutputMessages::PrintLine(QStringLiteral("警告: ") + slide + QStringLiteral("の画像が見つからないか読めないため、代わりの画像で書き出しました。"));
  return 3;
}

}  // namespace kemo
