#pragma once
// What the exported video shows and when, worked out from the registered tables before the encoder
// runs: which slide is in force over which span of time, where the pointer is over which span, the
// chapters, and the texts the encoder reads (the slide list, the pointer commands, the chapter
// metadata, the filter graph and its command line). Nothing here touches a file or a window.
//
// The frame (1280 x 720):
//   +-------------------------+--------+
//   |                         |presenter 320 x 240
//   |  slide in force         +--------+
//   |  960 x 720, stretched   | number |
//   |  + pointer marker       | caption|
//   |                         | time   |
//   +-------------------------+--------+
#include <QString>
#include <QStringList>
#include <vector>

#include "document/records.h"

namespace kemo {

namespace ExportFrame {
constexpr int Width = 1280;
constexpr int Height = 720;
constexpr int SlideWidth = 960;  // the stage's picture area, 4:3
constexpr int SlideHeight = 720;
constexpr int PresenterWidth = 320;
constexpr int PresenterHeight = 240;
constexpr int Rate = 15;  // frames per second
// The stage in the window, in twips, and its marker (160 x 160 twips, centred 10 twips right of
// and below the point): the marker keeps its size relative to the picture.
constexpr double StageWidthTwips = 9525;
constexpr double StageHeightTwips = 9525.0 * 3 / 4;
constexpr double MarkerTwips = 160;
constexpr double MarkerOffsetTwips = 10;
// Where the frame shows the time text (drawn by the encoder, it changes every frame).
constexpr int TimeTextLeft = SlideWidth + 20;
constexpr int TimeTextTop = 660;
constexpr int TimeTextSize = 30;
}  // namespace ExportFrame

// One slide in force from `start` to `end` (seconds of the video); `slide` indexes the slide list.
struct SlideSpan {
  int slide = 0;
  double start = 0;
  double end = 0;
};

// The spans of the slides over [0, duration): at every time the slide the stage shows during
// playback (the last one whose time is at or before it, the first one before the first time;
// times compare in single precision). Slides that are never in force get no span.
std::vector<SlideSpan> SlideSpans(const std::vector<SlideRecord>& slides, double duration);

// From `start` on, the pointer is drawn with its centre at (x, y), pixels of the frame, or not at
// all (`shown` false).
struct PointerStep {
  double start = 0;
  bool shown = false;
  double x = 0, y = 0;
};

// The marker size in pixels of the frame.
int PointerSize();
// Where the stage draws the marker of a point with fractions (fx, fy), as the centre in pixels of
// the frame: the fraction of the picture plus the stage's 10-twip offset.
double PointerCentreX(double fx);
double PointerCentreY(double fy);

// The steps of the pointer over [0, duration): the marker of the point in force, as the stage
// selects it during playback; none while the point in force has no position (an empty or
// non-numeric x or y, which the stage never places). Steps that change nothing are left out.
std::vector<PointerStep> PointerSteps(const std::vector<PointRecord>& points, double duration);

// The points the stage keeps shown whatever the time (their mark is the shown mark), as centres.
struct PointerMark {
  double x = 0, y = 0;
};
std::vector<PointerMark> ShownMarks(const std::vector<PointRecord>& points, const QString& symOn);

// The pointer's positions as timed commands to the overlay named "ptr": its top-left corner, or far
// outside the frame while no pointer is shown.
QString PointerCommands(const std::vector<PointerStep>& steps);
// True when a step's marker reaches past the slide area into the right-hand column (the stage
// clips it at the picture's edge; the column is drawn again over it).
bool PointerCrossesRightEdge(const std::vector<PointerStep>& steps);

struct ChapterMark {
  double start = 0, end = 0;
  QString title;
};
// One chapter per slide, from its time to the next slide's time (the last to the end), titled with
// its caption or "スライド N". Times are clamped to [0, duration]; a slide at or after the end has
// no chapter. The first chapter starts at 0: its slide is shown from the start.
std::vector<ChapterMark> Chapters(const std::vector<SlideRecord>& slides, double duration);
// The chapters as an ffmetadata file.
QString ChapterMetadata(const std::vector<ChapterMark>& chapters);

// The time text as the encoder's text expansion: minutes (at least two digits), ":", seconds, ".",
// milliseconds, as the time label shows it.
QString TimeTextExpansion();

// The work files the encoder reads, by their names in its work folder.
namespace ExportFile {
inline const QString SlideStream = QStringLiteral("slides.yuv");  // a named pipe
inline const QString PointerPicture = QStringLiteral("pointer.png");
inline const QString PointerCommandFile = QStringLiteral("pointer.cmd");
inline const QString ChapterFile = QStringLiteral("chapters.txt");
inline const QString TimeText = QStringLiteral("time.txt");
inline const QString Graph = QStringLiteral("graph.txt");
}  // namespace ExportFile

// The filter graph over the inputs 0 presenter video, 1 slide frames (raw, at the frame rate), 2
// pointer picture.
QString FilterGraph(bool clipPointerAtRightEdge);

// How hard the encoder works for a smaller file. Standard: under a third of the size of Fast (about 0.3
// on a generated lecture) at a look the eye cannot tell apart, still many times faster than
// real time; Small: smaller again, slower; Fast: the quickest.
enum class ExportQuality { Standard, Small, Fast };
// "標準"/"standard", "小さい"/"small", "速い"/"fast"; false for another word.
bool ParseExportQuality(const QString& word, ExportQuality* quality);
// The word of a choice that ParseExportQuality reads back: "standard", "small" or "fast".
QString ExportQualityName(ExportQuality quality);

// The encoder's arguments: presenter (a full path), output (a full path, written as MP4 whatever
// its name ends in), duration in seconds. The work files are named relative to the work folder.
QStringList EncoderArguments(const QString& presenter, const QString& output, double duration,
                             ExportQuality quality = ExportQuality::Standard);

}  // namespace kemo
