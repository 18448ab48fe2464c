#pragma once
// Writing a data folder's lecture as one MP4 video: the slides, the pointer, the presenter video and
// its sound, with one chapter per slide, in one run of the encoder. The menu command and the command
// line (kemo-editor --export FOLDER OUT.mp4) both come here.
//
// The place is checked before anything is done (CheckOutputPlace). The encoder writes to a temporary
// name beside the chosen file, held against a second export of the same name and renamed to it only
// when the run succeeded: a cancelled or failed export leaves nothing at the chosen name (and an
// existing file there as it was). The slide frames reach the encoder through a pipe (SlideFeed);
// the work files (lists, the pointer picture) go into a folder of their own under the given work
// folder, removed at the end.
#include <QString>
#include <functional>
#include <vector>

#include "document/records.h"
#include "export/export_plan.h"

namespace kemo {

struct Editor;
class ProcessRunner;

// What an export reads: the folder's video and its registered tables.
struct ExportSource {
  QString folder;          // the data folder
  QString presenter;       // its Video.flv, else its Video.avi; "" when it has neither
  QString defaultPicture;  // the program's 000.jpg, shown where a slide has no picture
  std::vector<SlideRecord> slides;
  std::vector<PointRecord> points;
  QString symOn;  // the mark of points the stage keeps shown
};

// The tables as the editor holds them (what the stage shows, saved or not).
ExportSource ExportSourceOf(const Editor& ed);
// The presenter video of a folder: Video.flv, else Video.avi; "" when neither is a file.
QString PresenterVideoOf(const QString& folder);

struct ExportProgress {
  double seconds = -1;   // encoded so far
  double duration = -1;  // the video's length
};

struct ExportResult {
  enum Kind { Done, Cancelled, Failed };
  Kind kind = Failed;
  QString reason;  // why it failed, in words for the user (the encoder's own line after it)
  QString output;  // the file written (the chosen name, ".mp4" added when it had no extension)
  // The slides shown with the stand-in picture, "スライド N（name）" each.
  QStringList missingPictures;
};

// The slides ever shown whose picture cannot be shown (no name, not in the folder, missing, not a
// readable picture), as "スライド N（name）"; read from the files' headers, quickly.
QStringList MissingPictures(const ExportSource& source);
// The list of them for a message: the first `shown`, then how many more.
QString MissingPicturesText(const QStringList& missing, int shown = 15);

struct ExportOptions {
  QString workFolder;     // where the export's own work folder is made
  QString programFolder;  // searched for the encoder before the search path
  ProcessRunner* runner = nullptr;  // null: a runner on QProcess
  ExportQuality quality = ExportQuality::Standard;
  bool strict = false;  // refuse, before encoding, a lecture with a missing picture
  // Called as the encoder goes on (and at least every 100 ms); false cancels the export.
  std::function<bool(const ExportProgress&)> onProgress;
};

// Why the folder's presenter video may not reach the encoder ("" when it may): missing, or not a
// regular file of the folder that begins as its name says.
QString PresenterRefusal(const ExportSource& source);

ExportResult ExportLecture(const ExportSource& source, const QString& output, const ExportOptions& options);

// The encoder's work files for a video `duration` seconds long, written into `folder`: the pointer's
// picture, the pointer commands, the chapters, the time text and the filter graph (the slide frames
// come through the pipe). The encoder then runs there with EncoderArguments.
bool WriteExportFiles(const ExportSource& source, double duration, const QString& folder);

// The number of frames of a video `duration` seconds long, the last one reaching its end.
qint64 FrameCount(double duration);

// The sentence for an encoder that failed, from its last lines: the disk full, no permission, or
// else its own last line.
QString EncoderFailureText(const QStringList& lastLines, const QString& output);

// The temporary name beside `output` that the encoder writes to.
QString ExportPartPath(const QString& output);

}  // namespace kemo
