#include "export/export_command.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "document/editor.h"
#include "export/command_line_common.h"
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

// The choices of the quality, as the menu command offers them (in the order of ExportQuality).
const ExportQuality kQualities[] = {ExportQuality::Standard, ExportQuality::Small, ExportQuality::Fast};
QStringList QualityItems() {
  return {QStringLiteral("標準"), QStringLiteral("小さい（ファイルが小さくなり、書き出しに時間がかかります）"),
          QStringLiteral("速い（早く書き出せ、ファイルが大きくなります）")};
}

// The last quality chosen in the menu, kept for the next export.
const QString kQualityKey = QStringLiteral("export/quality");
QSettings UserSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kemo-editor"), QStringLiteral("kemo-editor"));
}
ExportQuality LastQuality() {
  ExportQuality quality = ExportQuality::Standard;
  if (!ParseExportQuality(UserSettings().value(kQualityKey).toString(), &quality)) return ExportQuality::Standard;
  return quality;
}

// Asks how the file is to be encoded, proposing the last choice; false for a cancel.
bool AskQuality(Editor& ed, const QString& output, ExportQuality* quality) {
  if (!ed.svc.messages) return true;
  const ExportQuality last = LastQuality();
  const int proposed = static_cast<int>(std::find(std::begin(kQualities), std::end(kQualities), last) - std::begin(kQualities));
  const int picked = ed.svc.messages->Choose(
      QStringLiteral("次のファイルに書き出す画質を選んでください。\r") + ShowPath(QFileInfo(output).absoluteFilePath()),
      QualityItems(), proposed);
  if (picked < 0 || picked >= static_cast<int>(std::size(kQualities))) return false;
  *quality = kQualities[picked];
  UserSettings().setValue(kQualityKey, ExportQualityName(*quality));
  return true;
}

}  // namespace

void ExportWithProgress(Editor& ed, const QString& output, ExportQuality quality) {
  const std::unique_ptr<QProgressDialog> shown =
      MakeWriteProgress(QStringLiteral("動画に書き出しています…"), kExportProgressName, ed.ui.frmMain);
  QProgressDialog& dialog = *shown;
  dialog.setValue(0);
  dialog.show();
  QElapsedTimer clock, encoding;
  clock.start();
  int shownSecond = -1;

  ExportOptions options;
  options.workFolder = ed.WorkFolder();
  options.programFolder = ed.ProgramFolder;
  options.runner = ed.svc.process;
  options.quality = quality;
  options.onProgress = [&](const ExportProgress& p) {
    const double elapsed = clock.elapsed() / 1000.0;
    // What is left is told from the encoder's own pace, the preparation before it left out.
    if (p.duration > 0 && !encoding.isValid()) encoding.start();
    if (const int permille = ProgressPermille(p); permille >= 0) dialog.setValue(permille);
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
  ExportQuality quality = ExportQuality::Standard;
  if (!AskQuality(ed, output, &quality)) return;
  // Slides whose picture would show as the stand-in are named before anything is written.
  const QStringList missing = MissingPictures(ExportSourceOf(ed));
  if (!missing.isEmpty() &&
      Ask(ed, QStringLiteral("次のスライドの画像が見つからないか読めません。代わりの画像で書き出しますか？\r") +
                  MissingPicturesText(missing),
          MsgButtons::YesNo, MsgIcon::Critical) != MsgResult::Yes)
    return;
  exporting = true;
  ExportWithProgress(ed, output, quality);
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
    PrintErrorLine(kExportUsage());
    return 2;
  }
  ErrorOutputMessages messages;
  const std::unique_ptr<Editor> ed = LoadFolderForCommandLine(names[0], programFolder, &messages);
  if (!ed) return 1;

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
    PrintErrorLine(QStringLiteral("中止しました。") + ShowPath(QFileInfo(names[1]).absoluteFilePath()) +
                                   QStringLiteral("は書き出していません。"));
    return 128 + interruption;
  }
  if (r.kind != ExportResult::Done) {
    PrintErrorLine(r.reason);
    return 1;
  }
  PrintMissingPictureWarnings(r.missingPictures);
  return r.missingPictures.isEmpty() ? 0 : 3;
}

}  // namespace kemo
