#include "export/export_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/tables.h"
#include "playback/sync.h"

namespace kemo {

namespace {

// Microseconds, the unit the encoder's readers count time in: spans are cut there so that their
// durations add up to the boundaries exactly.
qint64 Micro(double seconds) { return static_cast<qint64>(std::llround(seconds * 1e6)); }
QString Seconds(qint64 micro) { return QString::number(static_cast<double>(micro) / 1e6, 'f', 6); }

// The times at which the entry in force may change: 0 and every entry's time in single
// precision, within [0, duration), ascending, each once. Between two of them the choice of the
// row search is the same at every time.
std::vector<float> Boundaries(int count, double duration, const std::function<double(int)>& timeAt) {
  std::vector<float> b{0.0F};
  for (int i = 0; i < count; ++i) {
    const float t = static_cast<float>(timeAt(i));
    if (std::isfinite(t) && t > 0.0F && t < duration) b.push_back(t);
  }
  std::sort(b.begin(), b.end());
  b.erase(std::unique(b.begin(), b.end()), b.end());
  return b;
}

// The entry in force just after boundary `from`: a time exactly on an entry's time is an instant
// that no frame dwells on, so the choice is made at the next time a float can hold.
template <typename TimeAt>
int InForceAfter(int count, float from, TimeAt timeAt) {
  return FindRowInForce(count, std::nextafter(from, std::numeric_limits<float>::infinity()), timeAt);
}

double Scale() { return ExportFrame::SlideWidth / ExportFrame::StageWidthTwips; }

// A point's position as the stage reads it: both fractions numbers, else the stage never placed it.
bool PointPosition(const PointRecord& p, double* fx, double* fy) {
  bool okX = false, okY = false;
  *fx = ReadNumber(p.x, &okX);
  *fy = ReadNumber(p.y, &okY);
  return okX && okY && std::isfinite(*fx) && std::isfinite(*fy);
}

// ffmetadata values escape '=', ';', '#', '\' and line ends with a backslash.
QString MetadataValue(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    if (c == QLatin1Char('=') || c == QLatin1Char(';') || c == QLatin1Char('#') || c == QLatin1Char('\\'))
      out += QLatin1Char('\\');
    out += c;
  }
  return out;
}

}  // namespace

std::vector<SlideSpan> SlideSpans(const std::vector<SlideRecord>& slides, double duration) {
  std::vector<SlideSpan> spans;
  if (slides.empty() || !(duration > 0)) return spans;
  const int count = static_cast<int>(slides.size());
  const auto timeAt = [&](int i) { return slides[static_cast<size_t>(i)].pos; };
  const std::vector<float> b = Boundaries(count, duration, timeAt);
  for (size_t k = 0; k < b.size(); ++k) {
    const int slide = InForceAfter(count, b[k], timeAt);
    const double end = k + 1 < b.size() ? static_cast<double>(b[k + 1]) : duration;
    if (!spans.empty() && spans.back().slide == slide)
      spans.back().end = end;
    else
      spans.push_back(SlideSpan{slide, static_cast<double>(b[k]), end});
  }
  return spans;
}

int PointerSize() { return static_cast<int>(std::lround(ExportFrame::MarkerTwips * Scale())); }

double PointerCentreX(double fx) { return fx * ExportFrame::SlideWidth + ExportFrame::MarkerOffsetTwips * Scale(); }
double PointerCentreY(double fy) {
  return fy * ExportFrame::SlideHeight +
         ExportFrame::MarkerOffsetTwips * ExportFrame::SlideHeight / ExportFrame::StageHeightTwips;
}

std::vector<PointerStep> PointerSteps(const std::vector<PointRecord>& points, double duration) {
  std::vector<PointerStep> steps;
  if (points.empty() || !(duration > 0)) return steps;
  const int count = static_cast<int>(points.size());
  const auto timeAt = [&](int i) { return points[static_cast<size_t>(i)].t; };
  const std::vector<float> b = Boundaries(count, duration, timeAt);
  for (const float from : b) {
    const PointRecord& p = points[static_cast<size_t>(InForceAfter(count, from, timeAt))];
    PointerStep s;
    s.start = from;
    double fx = 0, fy = 0;
    if (PointPosition(p, &fx, &fy)) {
      s.shown = true;
      s.x = PointerCentreX(fx);
      s.y = PointerCentreY(fy);
    }
    if (!steps.empty() && steps.back().shown == s.shown && (!s.shown || (steps.back().x == s.x && steps.back().y == s.y)))
      continue;
    steps.push_back(s);
  }
  return steps;
}

std::vector<PointerMark> ShownMarks(const std::vector<PointRecord>& points, const QString& symOn) {
  std::vector<PointerMark> marks;
  if (symOn.isEmpty()) return marks;
  for (const PointRecord& p : points) {
    double fx = 0, fy = 0;
    if (p.mark == symOn && PointPosition(p, &fx, &fy)) marks.push_back({PointerCentreX(fx), PointerCentreY(fy)});
  }
  return marks;
}

namespace {
constexpr int kHidden = -10000;  // an overlay position that draws nothing
int Corner(double centre) { return static_cast<int>(std::lround(centre - PointerSize() / 2.0)); }
}  // namespace

QString PointerCommands(const std::vector<PointerStep>& steps) {
  // The encoder refuses an empty command file: without points, the pointer is put out of sight.
  if (steps.empty()) return PointerCommands({PointerStep{}});
  QString text;
  text.reserve(static_cast<qsizetype>(steps.size()) * 48);
  for (const PointerStep& s : steps) {
    const int x = s.shown ? Corner(s.x) : kHidden;
    const int y = s.shown ? Corner(s.y) : kHidden;
    text += Seconds(Micro(s.start)) + QStringLiteral(" [enter] overlay@ptr x ") + QString::number(x) +
            QStringLiteral(", [enter] overlay@ptr y ") + QString::number(y) + QStringLiteral(";\n");
  }
  return text;
}

bool PointerCrossesRightEdge(const std::vector<PointerStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const PointerStep& s) {
    return s.shown && Corner(s.x) + PointerSize() > ExportFrame::SlideWidth;
  });
}

std::vector<ChapterMark> Chapters(const std::vector<SlideRecord>& slides, double duration) {
  std::vector<ChapterMark> chapters;
  if (!(duration > 0)) return chapters;
  for (size_t k = 0; k < slides.size(); ++k) {
    const double start = std::clamp(slides[k].pos, 0.0, duration);
    if (!std::isfinite(slides[k].pos) || start >= duration) continue;
    double end = duration;
    for (size_t n = k + 1; n < slides.size(); ++n) {
      if (std::isfinite(slides[n].pos)) {
        end = std::clamp(slides[n].pos, start, duration);
        break;
      }
    }
    const QString caption = slides[k].caption.trimmed();
    // The first slide is on show from the very start (the stage shows it before its time), and an
    // MP4 chapter track begins at 0 whatever its first chapter says.
    chapters.push_back({chapters.empty() ? 0.0 : start, end,
                        caption.isEmpty() ? QStringLiteral("スライド ") + QString::number(k + 1) : slides[k].caption});
  }
  return chapters;
}

QString ChapterMetadata(const std::vector<ChapterMark>& chapters) {
  QString text = QStringLiteral(";FFMETADATA1\n");
  for (const ChapterMark& c : chapters) {
    text += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\n");
    text += QStringLiteral("START=") + QString::number(std::llround(c.start * 1000)) + QLatin1Char('\n');
    text += QStringLiteral("END=") + QString::number(std::llround(c.end * 1000)) + QLatin1Char('\n');
    text += QStringLiteral("title=") + MetadataValue(c.title) + QLatin1Char('\n');
  }
  return text;
}

QString TimeTextExpansion() {
  // Whole milliseconds first (the time label cuts the position to them), then its parts.
  const QString ms = QStringLiteral("floor(t*1000+0.000001)");
  return QStringLiteral("%{eif:floor(") + ms + QStringLiteral("/60000):d:2}:%{eif:mod(floor(") + ms +
         QStringLiteral("/1000),60):d:2}.%{eif:mod(") + ms + QStringLiteral(",1000):d:3}");
}

QString FilterGraph(bool clipPointerAtRightEdge) {
  using namespace ExportFrame;
  const QString rate = QString::number(Rate);
  // The slide frames come at the frame rate already; the pointer's commands act on the frame that
  // carries their time.
  QString g = QStringLiteral("[1:v]sendcmd=f=") + ExportFile::PointerCommandFile;
  g += clipPointerAtRightEdge ? QStringLiteral(",split[s][r];[r]crop=%1:%2:%3:0[col];")
                                    .arg(Width - SlideWidth)
                                    .arg(Height)
                                    .arg(SlideWidth)
                              : QStringLiteral("[s];");
  g += QStringLiteral("[0:v]fps=") + rate + QStringLiteral(",scale=%1:%2,setsar=1[p];").arg(PresenterWidth).arg(PresenterHeight);
  g += QStringLiteral("[s][2:v]overlay@ptr=x=%1:y=%1:eof_action=repeat").arg(kHidden);
  if (clipPointerAtRightEdge) g += QStringLiteral("[a0];[a0][col]overlay=%1:0").arg(SlideWidth);
  g += QStringLiteral("[a];[a][p]overlay=%1:0:eof_action=repeat[b];").arg(SlideWidth);
  g += QStringLiteral("[b]drawtext=textfile=") + ExportFile::TimeText +
       QStringLiteral(":font=monospace:fontcolor=white:fontsize=%1:x=%2:y=%3,format=yuv420p[v]")
           .arg(TimeTextSize)
           .arg(TimeTextLeft)
           .arg(TimeTextTop);
  return g;
}

bool ParseExportQuality(const QString& word, ExportQuality* quality) {
  const QString w = word.trimmed().toLower();
  if (w == QStringLiteral("標準") || w == QStringLiteral("standard")) *quality = ExportQuality::Standard;
  else if (w == QStringLiteral("小さい") || w == QStringLiteral("small")) *quality = ExportQuality::Small;
  else if (w == QStringLiteral("速い") || w == QStringLiteral("fast")) *quality = ExportQuality::Fast;
  else return false;
  return true;
}

QString ExportQualityName(ExportQuality quality) {
  switch (quality) {
    case ExportQuality::Small: return QStringLiteral("small");
    case ExportQuality::Fast: return QStringLiteral("fast");
    case ExportQuality::Standard: break;
  }
  return QStringLiteral("standard");
}

QStringList EncoderArguments(const QString& presenter, const QString& output, double duration,
                             ExportQuality quality) {
  using namespace ExportFrame;
  // Slides stand still for seconds; what moves is the presenter's corner, the time text and the
  // pointer, which uncovers what it hid a frame or two before: with more frames to refer to, the
  // encoder finds the slide behind it instead of drawing it again, and the look-ahead (mbtree)
  // spends the bits on what stays. One step above the fastest preset that is about a quarter of its
  // video's bytes at the same quality factor, a little sharper than the preset after it and faster;
  // the eye tells none of them apart. The sound is the lecturer's voice from one microphone: one
  // channel at 48 kbit/s carries speech without loss to the ear.
  QStringList encoder;
  switch (quality) {
    case ExportQuality::Standard:
      encoder = {QStringLiteral("-preset"), QStringLiteral("superfast"), QStringLiteral("-crf"), QStringLiteral("23"),
                 QStringLiteral("-refs"), QStringLiteral("2"), QStringLiteral("-x264-params"),
                 QStringLiteral("mbtree=1:rc-lookahead=10"), QStringLiteral("-ac"), QStringLiteral("1"),
                 QStringLiteral("-b:a"), QStringLiteral("48k")};
      break;
    case ExportQuality::Small:
      encoder = {QStringLiteral("-preset"), QStringLiteral("faster"), QStringLiteral("-crf"), QStringLiteral("27"),
                 QStringLiteral("-refs"), QStringLiteral("3"), QStringLiteral("-bf"), QStringLiteral("8"),
                 QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-b:a"), QStringLiteral("32k")};
      break;
    case ExportQuality::Fast:
      encoder = {QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-crf"), QStringLiteral("23"),
                 QStringLiteral("-b:a"), QStringLiteral("128k")};
      break;
  }
  QStringList args = {QStringLiteral("-hide_banner"),
          QStringLiteral("-nostdin"),
          QStringLiteral("-y"),
          // "file:" keeps a name with a colon from being read as a protocol.
          QStringLiteral("-i"), QStringLiteral("file:") + presenter,
          QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pixel_format"), QStringLiteral("yuv420p"),
          QStringLiteral("-video_size"), QStringLiteral("%1x%2").arg(Width).arg(Height),
          QStringLiteral("-framerate"), QString::number(Rate),
          QStringLiteral("-i"), QStringLiteral("file:") + ExportFile::SlideStream,
          QStringLiteral("-i"), ExportFile::PointerPicture,
          QStringLiteral("-f"), QStringLiteral("ffmetadata"), QStringLiteral("-i"), ExportFile::ChapterFile,
          // The scaling and the overlays work in slices on every core, beside the encoder.
          QStringLiteral("-filter_complex_threads"), QStringLiteral("2"),
          QStringLiteral("-filter_complex_script"), ExportFile::Graph,
          QStringLiteral("-map"), QStringLiteral("[v]"),
          QStringLiteral("-map"), QStringLiteral("0:a?"),
          // The tags from the chapter file: its chapters keep their titles, the recording's own go.
          QStringLiteral("-map_metadata"), QStringLiteral("3"),
          QStringLiteral("-map_chapters"), QStringLiteral("3"),
          QStringLiteral("-c:v"), QStringLiteral("libx264")};
  args << encoder;
  args << QStringList{QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
          QStringLiteral("-c:a"), QStringLiteral("aac"),
          QStringLiteral("-movflags"), QStringLiteral("+faststart"),
          QStringLiteral("-t"), QString::number(duration, 'f', 3),
          QStringLiteral("-f"), QStringLiteral("mp4"),
          QStringLiteral("file:") + output};
  return args;
}

}  // namespace kemo
