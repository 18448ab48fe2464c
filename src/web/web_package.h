#pragma once
// The lecture as a web page: a folder that any browser opens straight from the disk or from any
// static web server, with no network access and no server-side code. It holds
//   index.html, kemo-player.js, kemo-player.css   the page (copied from the program's web/ folder)
//   video.mp4                                    the presenter video, H.264/AAC, fast start
//   slides/NNNN.webp|png|jpg, thumbs/NNNN.*      the slide pictures (at most 1280 px wide), thumbnails:
//                                                each a 256-colour PNG (sharp text) where its colours
//                                                keep the picture as it is and it is smaller than a
//                                                JPEG, else the smaller of a WebP (where Qt's WebP
//                                                writer is installed) and a JPEG; a picture of the
//                                                same content as another written once
//   data.js                                      the slides, spans, pointer and chapters, as a
//                                                classic script (window.KEMO_DATA = {...}): a page
//                                                opened from file:// may not fetch a file beside it
//   chapters.vtt                                 one chapter per slide, for other players
//
// The package is written into a hidden sibling "OUTDIR.part-XXXXXX" and renamed to OUTDIR only when
// complete, so a failed or cancelled run never leaves a half-written package under OUTDIR's name.
// An existing OUTDIR is replaced only when it is empty or an earlier package of ours.
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "document/records.h"
#include "export/export_lecture.h"

namespace kemo {

class ProcessRunner;

struct WebOptions {
  QString programFolder;  // holds web/ (the page's files) and 000.jpg; searched for the encoder
  ProcessRunner* runner = nullptr;  // null: a runner on QProcess
  // Called as the encoder goes on (and at least every 100 ms); false cancels.
  std::function<bool(const ExportProgress&)> onProgress;
};

struct WebResult {
  enum Kind { Done, Cancelled, Failed };
  Kind kind = Failed;
  QString reason;
  // Slides whose picture could not be used (shown as the default picture with "File Not Found", as
  // on the stage), "スライド N（name）" each, in slide order, as the export names them.
  QStringList missing;
};

WebResult WriteWebPackage(const ExportSource& source, const QString& outDir, const WebOptions& options);

// Why `outDir` cannot take the package of the data folder `folder`, as a sentence naming it; ""
// when it can: it must not be the data folder, lie inside it or hold it, and an existing one must
// be a folder that is empty or an earlier package.
QString WebOutputRefusal(const QString& folder, const QString& outDir);

// The page's data as a classic script: "window.KEMO_DATA = {...};\n", the JSON escaped so that no
// text of content.xml can end the script or start markup ("<", ">", "&", U+2028, U+2029 as \uXXXX).
struct WebSlide {
  QString caption;
  QString image;  // the name content.xml gives
  double pos = 0;
  bool missing = false;
  QString picture;  // its picture and thumbnail in the package ("slides/0001.png", "thumbs/0001.jpg"),
  QString thumb;    // shared by slides that show the same picture
};
QByteArray WebDataScript(const QString& title, double duration, const std::vector<WebSlide>& slides,
                         const std::vector<SlideRecord>& records, const std::vector<PointRecord>& points,
                         const QString& symOn);

// The encoder's arguments for the package's video: presenter (a full path) to output (a full path),
// H.264/AAC in an MP4 with its index first.
QStringList WebEncoderArguments(const QString& presenter, const QString& output);

// The chapters as WebVTT.
QString ChaptersVtt(const std::vector<SlideRecord>& slides, double duration);

// The names of the package's files.
namespace WebFile {
inline const QString Page = QStringLiteral("index.html");
inline const QString Data = QStringLiteral("data.js");
inline const QString Video = QStringLiteral("video.mp4");
inline const QString Chapters = QStringLiteral("chapters.vtt");
inline const QStringList PageFiles = {QStringLiteral("index.html"), QStringLiteral("kemo-player.js"),
                                      QStringLiteral("kemo-player.css")};
QString SlidePicture(int file, const QString& ext);  // "slides/0001.png" for file 0 and "png"
QString Thumbnail(int file, const QString& ext);     // "thumbs/0001.jpg"
}  // namespace WebFile

namespace WebSize {
constexpr int MaxWidth = 1280;
constexpr int ThumbWidth = 160;
constexpr int SlideQuality = 60;  // JPEG qualities: text stays readable at these
constexpr int ThumbQuality = 50;
// WebP qualities. At these a slide's text is as sharp as in the JPEG above, with about half its
// error (root mean square 2.5 levels of 255 against 4.5, less ringing around the letters), in
// two thirds of its bytes.
constexpr int SlideWebpQuality = 75;
constexpr int ThumbWebpQuality = 60;
}  // namespace WebSize

// The picture in at most 256 colours without dithering: its own colours when it has no more, else a
// table cut from its colours (median cut). Null when that would change the picture visibly (a photo,
// a gradient: a root-mean-square error over its channels above 2.5 levels of 255).
QImage PalettePicture(const QImage& picture);

}  // namespace kemo
