#include "convert/convert.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <unistd.h>

#include "document/data_files.h"
#include "document/editor.h"
#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/process_runner.h"
#include "platform/services.h"
#include "document/time_text.h"

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

// Copies `from` to `to` through a hidden name beside `to` and one rename, so that `to` is either
// the old file or the complete new one, never a part, and nothing is written through a link. On a
// failure *reason says why.
bool InstallFile(const QString& from, const QString& to, QString* reason) {
  const FileError e = CopyDataFile(from, QString(), to, true);
  if (!e.ok()) *reason = ShowPath(to) + QStringLiteral(": ") + e.description;
  return e.ok();
}

bool converting = false;  // the command is not entered again while the encoder runs

}  // namespace

QString ConvertCommandLine(const QString& sourceName, const QString& targetName) {
  return QStringLiteral("ffmpeg -y -i ") + BareName(sourceName) +
         QStringLiteral("  -acodec wmav2 -vcodec msmpeg4v2 -ab 64k -b 512k -ac 2 -s 240x160 ") + BareName(targetName);
}

namespace {

const QString kNoEncoder = QStringLiteral("ffmpeg が見つかりません。");

RunOutcome OutcomeOf(EncoderJob::Outcome o) {
  switch (o) {
    case EncoderJob::Outcome::Succeeded: return RunOutcome::Succeeded;
    case EncoderJob::Outcome::FailedToStart: return RunOutcome::FailedToStart;
    case EncoderJob::Outcome::Cancelled: return RunOutcome::Cancelled;
    case EncoderJob::Outcome::Failed: break;
  }
  return RunOutcome::Failed;
}

}  // namespace

RunOutcome RunEncoderInDialog(Editor& ed, QProgressDialog& dialog, const QString& label, const QString& commandLine,
                              const QString& workFolder, QString* reason) {
  QStringList args = QProcess::splitCommand(commandLine);
  if (args.isEmpty()) return RunOutcome::FailedToStart;
  const QString program = args.takeFirst();

  QtProcessRunner defaultRunner;
  EncoderJob job(ed.svc.process ? *ed.svc.process : static_cast<ProcessRunner&>(defaultRunner));
  dialog.setRange(0, 1000);
  dialog.setValue(0);
  dialog.setLabelText(label);
  int shown = -1;
  const auto onProgress = [&](const EncoderProgress& p) {
    if (p.duration > 0 && p.seconds >= 0) {
      const int value = static_cast<int>(qBound(0.0, p.seconds / p.duration * 1000.0, 999.0));
      if (value != shown) {
        shown = value;
        dialog.setLabelText(label + QLatin1Char(' ') + FormatTimeText(CutToMilliseconds(p.seconds)) +
                            QStringLiteral(" / ") + FormatTimeText(CutToMilliseconds(p.duration)));
        dialog.setValue(value);
      }
    }
    return !dialog.wasCanceled();
  };
  const RunOutcome outcome = OutcomeOf(job.Run(program, args, workFolder, ed.ProgramFolder, onProgress));
  if (reason) {
    if (outcome == RunOutcome::FailedToStart)
      *reason = program == QLatin1String("ffmpeg") ? kNoEncoder : program + QStringLiteral(" が見つかりません。");
    else if (outcome == RunOutcome::Failed)
      *reason = job.LastErrorLine();
  }
  return outcome;
}

namespace {

void SetUpProgressDialog(QProgressDialog& dialog) {
  dialog.setObjectName(kConvertProgressName);
  dialog.setWindowTitle(kAppTitle);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setCancelButtonText(QStringLiteral("キャンセル"));
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  dialog.setRange(0, 1000);
  dialog.setValue(0);
  dialog.show();
}

enum class CopyOutcome { Done, Cancelled, Failed };

// Copies `from` to `to` in pieces under the dialog, which shows how much is done and can cancel.
// A copy that did not complete is removed.
CopyOutcome CopyUnderDialog(QProgressDialog& dialog, const QString& folder, const QString& from, const QString& to,
                            QString* reason) {
  // Only an FLV of the data folder, a regular file read without blocking, reaches the encoder.
  const QString refused = VideoRefusal(from, folder, VideoKind::Flv);
  if (!refused.isEmpty()) {
    if (reason) *reason = refused;
    return CopyOutcome::Failed;
  }
  int fd = -1;
  if (const FileError e = OpenDataFile(from, folder, &fd); !e.ok()) {
    if (reason) *reason = e.refusal != Refusal::None ? e.description : ShowPath(from) + QStringLiteral(": ") + e.description;
    return CopyOutcome::Failed;
  }
  QFile in;
  QFile out(to);
  const auto fail = [&](const QFile& f) {
    if (reason) *reason = ShowPath(f.fileName().isEmpty() ? from : f.fileName()) + QStringLiteral(": ") + f.errorString();
    out.close();
    QFile::remove(to);
    return CopyOutcome::Failed;
  };
  if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return fail(in);
  }
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(out);
  const qint64 size = in.size();
  dialog.setLabelText(FileNameOfPath(from) + QStringLiteral("を作業フォルダにコピーしています…"));
  dialog.setRange(0, 1000);
  dialog.setValue(0);
  QByteArray buffer(1 << 20, Qt::Uninitialized);
  qint64 done = 0;
  for (;;) {
    const qint64 n = in.read(buffer.data(), buffer.size());
    if (n < 0) return fail(in);
    if (n == 0) break;
    if (out.write(buffer.constData(), n) != n) return fail(out);
    done += n;
    if (size > 0) dialog.setValue(static_cast<int>(qBound(qint64(0), done * 1000 / size, qint64(999))));
    QCoreApplication::processEvents();
    if (dialog.wasCanceled()) {
      out.close();
      QFile::remove(to);
      return CopyOutcome::Cancelled;
    }
  }
  if (!out.flush()) return fail(out);
  out.close();
  if (out.error() != QFileDevice::NoError) return fail(out);
  return CopyOutcome::Done;
}

}  // namespace

RunOutcome RunAndWait(Editor& ed, const QString& commandLine, const QString& workFolder) {
  QProgressDialog dialog(ed.ui.frmMain);
  SetUpProgressDialog(dialog);
  const RunOutcome outcome = RunEncoderInDialog(ed, dialog, QStringLiteral("FLV⇒AVI変換中です…"), commandLine, workFolder);
  dialog.hide();
  return outcome;
}

int ConvertFlvToAvi(Editor& ed, const QString& folder, const QString& sourceName, const QString& workFolder,
                    const QString& targetName, QString* reason) {
  const QString workSource = JoinPath(workFolder, BareName(sourceName));
  const QString workTarget = JoinPath(workFolder, BareName(targetName));
  if (workFolder.isEmpty() || !QDir().mkpath(workFolder)) {
    if (reason) *reason = ShowPath(workFolder) + QStringLiteral("を作成できません。");
    return ConvertResult::Failed;
  }
  QFile::remove(workSource);
  QFile::remove(workTarget);

  if (Ask(ed, QStringLiteral("FLS⇒AVI変換を実行します。変換には時間がかかる場合があります。\r実行しますか？"),
          MsgButtons::YesNo) != MsgResult::Yes)
    return ConvertResult::Cancelled;

  // The copy (a lecture's video may be large) and the encoder under one dialog.
  SetWait(ed, true);
  QProgressDialog dialog(ed.ui.frmMain);
  SetUpProgressDialog(dialog);
  int result = ConvertResult::Failed;
  switch (CopyUnderDialog(dialog, folder, JoinPath(folder, BareName(sourceName)), workSource, reason)) {
    case CopyOutcome::Cancelled: result = ConvertResult::Cancelled; break;
    case CopyOutcome::Failed: result = ConvertResult::Failed; break;
    case CopyOutcome::Done: {
      const RunOutcome outcome = RunEncoderInDialog(ed, dialog, QStringLiteral("FLV⇒AVI変換中です…"),
                                                    ConvertCommandLine(sourceName, targetName), workFolder, reason);
      if (outcome == RunOutcome::Cancelled) {
        result = ConvertResult::Cancelled;
      } else if (outcome == RunOutcome::Succeeded && QFileInfo(workTarget).isFile()) {
        result = ConvertResult::Done;
      } else if (outcome == RunOutcome::Succeeded && reason) {
        *reason = ShowPath(workTarget) + QStringLiteral("が作られませんでした。");
      }
      break;
    }
  }
  dialog.hide();
  SetWait(ed, false);
  // Nothing of the video stays in the work folder but a finished result, which the caller moves
  // into the data folder; what a failed or cancelled encoder left behind is no result.
  QFile::remove(workSource);
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
  // Only an FLV file goes to the encoder: given a playlist, it would fetch what the playlist names.
  if (const QString notFlv = VideoRefusal(source, ed.DataFolder, VideoKind::Flv); !notFlv.isEmpty()) {
    Tell(ed, notFlv, MsgIcon::Critical);
    return;
  }
  converting = true;
  const QString workFolder = ed.WorkFolder();
  QString reason;
  const int result = ConvertFlvToAvi(ed, ed.DataFolder, QStringLiteral("\\Video.flv"), workFolder,
                                     QStringLiteral("\\Video.avi"), &reason);
  converting = false;
  if (result == ConvertResult::Cancelled) {
    Tell(ed, QStringLiteral("変換処理をキャンセルしました。"), MsgIcon::Critical);
    return;
  }
  const QString workTarget = JoinPath(workFolder, QStringLiteral("Video.avi"));
  const QString target = JoinPath(ed.DataFolder, QStringLiteral("Video.avi"));
  const bool installed = result == ConvertResult::Done && InstallFile(workTarget, target, &reason);
  QFile::remove(workTarget);
  if (!installed) {
    // The reason follows on a line of its own: the encoder's last error line, or what failed here.
    QString text = QStringLiteral("変換処理中にエラーが発生しました。");
    if (!reason.isEmpty()) text += QLatin1Char('\r') + reason;
    Tell(ed, text, MsgIcon::Critical);
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
