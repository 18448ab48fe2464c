#include "convert/convert.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>

#include "document/editor.h"
#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/process_runner.h"
#include "platform/services.h"
#include "playback/time_text.h"

namespace kemo {

namespace {

// "\Video.flv" -> "Video.flv": the names are formed with their separator, the encoder gets bare names.
QString BareName(QString name) {
  name.remove(QLatin1Char('\\'));
  name.remove(QLatin1Char('/'));
  return name;
}

void SetWait(Editor& ed, bool wait) {
  if (ed.svc.pointer) ed.svc.pointer->SetWait(wait);
}

double SecondsOf(const QRegularExpressionMatch& m) {
  return m.captured(1).toDouble() * 3600.0 + m.captured(2).toDouble() * 60.0 + m.captured(3).toDouble();
}

// Copies `from` to `to` through a temporary name beside `to` and one rename, so that `to` is
// either the old file or the complete new one, never a part.
bool InstallFile(const QString& from, const QString& to) {
  const QFileInfo target(to);
  const QString part = JoinPath(target.path(), QStringLiteral(".") + target.fileName() + QStringLiteral(".part"));
  QFile::remove(part);
  if (!QFile::copy(from, part)) {
    QFile::remove(part);
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(std::filesystem::path(QFile::encodeName(part).toStdString()),
                          std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
  if (ec) {
    QFile::remove(part);
    return false;
  }
  return true;
}

bool converting = false;  // the command is not entered again while the encoder runs

}  // namespace

QString ConvertCommandLine(const QString& sourceName, const QString& targetName) {
  return QStringLiteral("ffmpeg -y -i ") + BareName(sourceName) +
         QStringLiteral("  -acodec wmav2 -vcodec msmpeg4v2 -ab 64k -b 512k -ac 2 -s 240x160 ") + BareName(targetName);
}

double ParseFfmpegDuration(const QString& text) {
  static const QRegularExpression re(QStringLiteral(R"(Duration:\s*(\d+):(\d+):(\d+(?:\.\d+)?))"));
  const QRegularExpressionMatch m = re.match(text);
  return m.hasMatch() ? SecondsOf(m) : -1.0;
}

double ParseFfmpegTime(const QString& text) {
  static const QRegularExpression re(QStringLiteral(R"(time=\s*(\d+):(\d+):(\d+(?:\.\d+)?))"));
  double last = -1.0;
  for (auto it = re.globalMatch(text); it.hasNext();) last = SecondsOf(it.next());
  return last;
}

RunOutcome RunAndWait(Editor& ed, const QString& commandLine, const QString& workFolder) {
  QStringList args = QProcess::splitCommand(commandLine);
  if (args.isEmpty()) return RunOutcome::FailedToStart;
  const QString program = FindProgram(args.takeFirst(), ed.ProgramFolder);
  if (program.isEmpty()) return RunOutcome::FailedToStart;

  QtProcessRunner defaultRunner;
  ProcessRunner& runner = ed.svc.process ? *ed.svc.process : defaultRunner;

  QProgressDialog dialog(QStringLiteral("FLV⇒AVI変換中です…"), QStringLiteral("キャンセル"), 0, 1000, ed.ui.frmMain);
  dialog.setObjectName(kConvertProgressName);
  dialog.setWindowTitle(kAppTitle);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  dialog.setValue(0);
  dialog.show();

  QString output;  // ffmpeg's error output; only its tail once the length is known
  double duration = -1.0;
  int shown = -1;
  const auto onOutput = [&](const QByteArray& piece) {
    if (!piece.isEmpty()) {
      output += QString::fromLocal8Bit(piece);
      if (duration <= 0) duration = ParseFfmpegDuration(output);
      if (duration > 0 && output.size() > 8192) output = output.right(4096);
      const double t = ParseFfmpegTime(output.right(4096));
      if (duration > 0 && t >= 0) {
        const int value = static_cast<int>(qBound(0.0, t / duration * 1000.0, 999.0));
        if (value != shown) {
          shown = value;
          dialog.setLabelText(QStringLiteral("FLV⇒AVI変換中です… ") + FormatTimeText(CutToMilliseconds(t)) +
                              QStringLiteral(" / ") + FormatTimeText(CutToMilliseconds(duration)));
          dialog.setValue(value);
        }
      }
    }
    return !dialog.wasCanceled();
  };
  const ProcessResult r = runner.Run(program, args, workFolder, onOutput);
  dialog.hide();
  switch (r.kind) {
    case ProcessResult::FailedToStart: return RunOutcome::FailedToStart;
    case ProcessResult::Cancelled: return RunOutcome::Cancelled;
    case ProcessResult::Crashed: return RunOutcome::Failed;
    case ProcessResult::Finished: break;
  }
  return r.exitCode == 0 ? RunOutcome::Succeeded : RunOutcome::Failed;
}

int ConvertFlvToAvi(Editor& ed, const QString& folder, const QString& sourceName, const QString& workFolder,
                    const QString& targetName) {
  const QString workSource = JoinPath(workFolder, BareName(sourceName));
  const QString workTarget = JoinPath(workFolder, BareName(targetName));
  QDir().mkpath(workFolder);
  QFile::remove(workSource);
  QFile::remove(workTarget);
  if (!QFile::copy(JoinPath(folder, BareName(sourceName)), workSource)) return ConvertResult::Failed;

  if (Ask(ed, QStringLiteral("FLS⇒AVI変換を実行します。変換には時間がかかる場合があります。\r実行しますか？"),
          MsgButtons::YesNo) != MsgResult::Yes)
    return ConvertResult::Cancelled;

  SetWait(ed, true);
  const RunOutcome outcome = RunAndWait(ed, ConvertCommandLine(sourceName, targetName), workFolder);
  SetWait(ed, false);

  int result = ConvertResult::Failed;
  if (outcome == RunOutcome::Cancelled)
    result = ConvertResult::Cancelled;
  else if (outcome == RunOutcome::Succeeded && QFileInfo(workTarget).isFile())
    result = ConvertResult::Done;
  // What a failed or cancelled encoder left behind is no result.
  if (result != ConvertResult::Done) QFile::remove(workTarget);
  return result;
}

void OnConvertCommand(Editor& ed) {
  if (converting) return;
  // The conversion empties its work folder of Video.flv and Video.avi: with a program folder as the
  // data folder it would delete the very videos it converts. New content, which lives in the
  // program's working folder for new content until it is saved, is converted there.
  if (IsProgramFolder(ed, ed.DataFolder) && ed.DataFolder != ed.NewWorkFolder()) {
    Tell(ed, ShowPath(ed.DataFolder) + QStringLiteral("はプログラムのフォルダのため、変換できません。"), MsgIcon::Critical);
    return;
  }
  const QString source = JoinPath(ed.DataFolder, QStringLiteral("Video.flv"));
  if (!QFileInfo(source).isFile()) {
    Tell(ed,
         ShowPath(source) + QStringLiteral("が見つかりません。\rKemo.Recorderのデータフォルダを指定してください。"),
         MsgIcon::Critical);
    return;
  }
  converting = true;
  const QString workFolder = ed.WorkFolder();
  const int result =
      ConvertFlvToAvi(ed, ed.DataFolder, QStringLiteral("\\Video.flv"), workFolder, QStringLiteral("\\Video.avi"));
  converting = false;
  if (result == ConvertResult::Cancelled) {
    Tell(ed, QStringLiteral("変換処理をキャンセルしました。"), MsgIcon::Critical);
    return;
  }
  const QString workTarget = JoinPath(workFolder, QStringLiteral("Video.avi"));
  const QString target = JoinPath(ed.DataFolder, QStringLiteral("Video.avi"));
  const bool installed = result == ConvertResult::Done && InstallFile(workTarget, target);
  QFile::remove(workTarget);
  if (!installed) {
    Tell(ed, QStringLiteral("変換処理中にエラーが発生しました。"), MsgIcon::Critical);
    return;
  }
  // Idle before the video loads: the player reports its loading while the message box is up, and a
  // refresh in the no-video state would unload the video again.
  ed.EditorState = State::Idle;
  if (ed.svc.player) ed.svc.player->SetURL(target);
  Tell(ed, QStringLiteral("FLV⇒AVI変換が完了しました。"), MsgIcon::None);
  RefreshModeDisplay(ed);
}

void WireConvert(Editor& ed) {
  if (!ed.ui.mnuFileConv) return;
  Editor* e = &ed;
  QObject::connect(ed.ui.mnuFileConv, &QAction::triggered, ed.ui.mnuFileConv, [e] { OnConvertCommand(*e); });
}

}  // namespace kemo
