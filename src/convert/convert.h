#pragma once
// FLV to AVI conversion through the external ffmpeg. The encoder runs in the program's work folder
// on a copy of the data folder's Video.flv; a progress dialog with a cancel button keeps the
// window alive meanwhile. The result reaches the data folder only when the encoder succeeded, and
// then in one rename, so a failed or cancelled run never leaves a partial Video.avi there.
#include <QString>
#include <QStringList>

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
int ConvertFlvToAvi(Editor& ed, const QString& folder, const QString& sourceName, const QString& workFolder,
                    const QString& targetName);

// How a run of the encoder ended.
enum class RunOutcome { Succeeded, FailedToStart, Failed, Cancelled };

// Runs a command line ("program arg arg ...", no quoting) in workFolder to its end, with the
// progress dialog. The program is looked up in the program folder first, then on the search path.
RunOutcome RunAndWait(Editor& ed, const QString& commandLine, const QString& workFolder);

// The encoder's command line for the two names (their separators removed).
QString ConvertCommandLine(const QString& sourceName, const QString& targetName);

// From ffmpeg's error output: the input's length ("Duration: 00:01:00.04") and the last progress
// time ("time=00:00:12.34"), in seconds; -1 when the text holds none.
double ParseFfmpegDuration(const QString& text);
double ParseFfmpegTime(const QString& text);

// The object name of the progress dialog (tests find it by this name).
inline const QString kConvertProgressName = QStringLiteral("dlgConvertProgress");

void WireConvert(Editor& ed);

}  // namespace kemo
