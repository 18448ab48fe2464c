#pragma once
// FLV to AVI conversion through the external ffmpeg. After the user's yes, Video.flv is copied into
// this editor's own work folder and the encoder runs there on the copy, both under one progress
// dialog with a cancel button that keeps the window alive. The result reaches the data folder only
// when the encoder succeeded, and then in one rename, so a failed or cancelled run never leaves a
// partial Video.avi there; the work copy and the encoder's output are removed after every run.
#include <QString>
#include <QStringList>

#include "platform/encoder_job.h"

class QProgressDialog;

namespace kemo {

struct Editor;

// Result codes of ConvertFlvToAvi.
namespace ConvertResult {
constexpr int Done = 0;
constexpr int Cancelled = 1;
constexpr int Failed = -1;
}  // namespace ConvertResult

void OnConvertCommand(Editor& ed);
// 0 success, 1 cancelled, -1 the encoder failed (could not start, failed, or wrote no output).
// The names carry their leading separator ("\Video.flv"), as the callers form them.
// After a failure *reason (when given) holds the reason shown after "変換処理中にエラーが発生しました。".
int ConvertFlvToAvi(Editor& ed, const QString& folder, const QString& sourceName, const QString& workFolder,
                    const QString& targetName, QString* reason = nullptr);

// How a run of the encoder ended.
enum class RunOutcome { Succeeded, FailedToStart, Failed, Cancelled };

// Runs a command line ("program arg arg ...", no quoting) in workFolder to its end, with the
// progress dialog. The program is looked up in the program folder first, then on the search path.
RunOutcome RunAndWait(Editor& ed, const QString& commandLine, const QString& workFolder);

// The same run under a progress dialog the caller owns (an export can show its own label): the
// dialog's range becomes 0..1000 and follows the encoder's time out of the input's length, its
// label is `label` followed by " 00:05.000 / 00:10.000"; its cancel button ends the encoder. On a
// failure *reason (when given) gets what the user is told after the failure message: the
// encoder's last error line, or "ffmpeg が見つかりません。" when it could not be started.
RunOutcome RunEncoderInDialog(Editor& ed, QProgressDialog& dialog, const QString& label, const QString& commandLine,
                              const QString& workFolder, QString* reason = nullptr);

// The encoder's command line for the two names (their separators removed).
QString ConvertCommandLine(const QString& sourceName, const QString& targetName);

// The object name of the progress dialog (tests find it by this name).
inline const QString kConvertProgressName = QStringLiteral("dlgConvertProgress");

void WireConvert(Editor& ed);

}  // namespace kemo
