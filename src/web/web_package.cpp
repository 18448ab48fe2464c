#include "web/web_package.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <thread>

#include "document/data_files.h"
#include "export/export_plan.h"
#include "platform/encoder_job.h"
#include "platform/paths.h"
#include "platform/picture_file.h"
#include "platform/process_runner.h"

namespace kemo {

namespace {

// What an earlier package's index.html carries near its top; a folder that holds it may be replaced.
const QByteArray kGeneratorMark = QByteArrayLiteral("<meta name=\"generator\" content=\"Kemo.Editor\">");

WebResult Fail(const QString& reason) { return WebResult{WebResult::Failed, reason, {}}; }

double Round(double value, double unit) { return std::round(value / unit) * unit; }

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(bytes);
  return f.commit();
}

// The folders from `path` up to the root, each as far as it exists resolved through its links.
QStringList ExistingAncestors(const QString& path) {
  QStringList chain;
  QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  while (!QFileInfo::exists(p)) {
    const QString up = QFileInfo(p).path();
    if (up == p) break;
    p = up;
  }
  p = QFileInfo(p).canonicalFilePath();
  while (!p.isEmpty()) {
    chain << p;
    const QString up = QFileInfo(p).path();
    if (up == p) break;
    p = up;
  }
  return chain;
}

bool IsEarlierPackage(const QString& dir) {
  QFile page(JoinPath(dir, WebFile::Page));
  if (!page.open(QIODevice::ReadOnly)) return false;
  return page.read(4096).contains(kGeneratorMark);
}

bool RemoveTree(const QString& path) { return QDir(path).removeRecursively(); }

bool Rename(const QString& from, const QString& to) { return QDir().rename(from, to); }

// The slide pictures and their thumbnails, decoded, scaled and written on as many threads as
// there are processors while the encoder runs. Every distinct picture name is read once.
class PictureWriter {
 public:
  PictureWriter(const ExportSource& source, const QString& out) : source_(source), out_(out) {
    std::map<QString, int> seen;
    for (const SlideRecord& s : source.slides) {
      const QString name = IsPlainFileName(s.image) && !s.image.trimmed().isEmpty() ? s.image : QString();
      auto it = seen.find(name);
      if (it == seen.end()) {
        it = seen.emplace(name, static_cast<int>(names_.size())).first;
        names_.push_back(name);
      }
      fileOf_.push_back(it->second);
    }
    found_.assign(names_.size(), 0);
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
    for (unsigned i = 0; i < threads; ++i) pool_.emplace_back([this] { Work(); });
  }
  ~PictureWriter() {
    stop_ = true;
    Wait();
  }
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;

  void Stop() { stop_ = true; }
  bool Wait() {
    for (std::thread& t : pool_)
      if (t.joinable()) t.join();
    return ok_ && !stop_;
  }
  // After Wait: the number of the file that slide `slide` shows, and whether its picture was found.
  int FileOf(int slide) const { return fileOf_[static_cast<size_t>(slide)]; }
  bool Found(int slide) const { return found_[static_cast<size_t>(FileOf(slide))] != 0; }

 private:
  void Work() {
    QImage picture;
    for (size_t k = next_++; k < names_.size() && ok_ && !stop_; k = next_++) {
      const QString& name = names_[k];
      bool found = false;
      if (!name.isEmpty()) {
        const QString path = JoinPath(source_.folder, name);
        found = path != source_.defaultPicture && CheckDataFile(path, source_.folder) == Refusal::None &&
                ReadPictureFile(path, QSize(), &picture);
      }
      if (!found && !ReadPictureFile(source_.defaultPicture, QSize(), &picture)) {
        picture = QImage(960, 720, QImage::Format_RGB32);
        picture.fill(Qt::white);
      }
      found_[k] = found ? 1 : 0;
      if (!Write(picture, static_cast<int>(k))) ok_ = false;
    }
  }

  bool Write(const QImage& picture, int file) {
    // Transparent parts are white, as the stage shows them on its white ground.
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
      QPainter p(&flat);
      p.drawImage(0, 0, picture);
    }
    if (flat.width() > WebSize::MaxWidth)
      flat = flat.scaledToWidth(WebSize::MaxWidth, Qt::SmoothTransformation);
    const QImage thumb = flat.scaled(WebSize::ThumbWidth, WebSize::ThumbWidth * 3 / 4, Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
    // A lecture's pictures stay a few megabytes: text keeps readable at these qualities, and a
    // progressive picture shows whole (if blurred) while it loads over a slow line.
    QImageWriter big(JoinPath(out_, WebFile::SlidePicture(file)), "jpeg");
    big.setQuality(60);
    big.setOptimizedWrite(true);
    big.setProgressiveScanWrite(true);
    QImageWriter small(JoinPath(out_, WebFile::Thumbnail(file)), "jpeg");
    small.setQuality(50);
    small.setOptimizedWrite(true);
    return big.write(flat) && small.write(thumb);
  }

  const ExportSource& source_;
  const QString out_;
  std::vector<QString> names_;   // distinct picture names ("" for none)
  std::vector<int> fileOf_;      // per slide, its index in names_
  std::vector<char> found_;      // per name, written by one thread, read after Wait
  std::atomic<size_t> next_{0};
  std::atomic<bool> ok_{true};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> pool_;
};

}  // namespace

QStringList WebEncoderArguments(const QString& presenter, const QString& output) {
  return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-y"),
          QStringLiteral("-i"), QStringLiteral("file:") + presenter,
          QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-map"), QStringLiteral("0:a:0?"),
          QStringLiteral("-map_metadata"), QStringLiteral("-1"),
          // Even sides, as H.264 in 4:2:0 needs. The presenter is small: the fastest preset keeps the
          // whole package far ahead of real time on two shared cores.
          QStringLiteral("-vf"), QStringLiteral("scale=trunc(iw/2)*2:trunc(ih/2)*2,setsar=1"),
          QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
          QStringLiteral("-crf"), QStringLiteral("26"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
          QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("96k"),
          QStringLiteral("-movflags"), QStringLiteral("+faststart"),
          QStringLiteral("-f"), QStringLiteral("mp4"), QStringLiteral("file:") + output};
}

namespace {

QString VttTime(double seconds) {
  const qint64 ms = std::llround(std::max(0.0, seconds) * 1000);
  return QStringLiteral("%1:%2:%3.%4")
      .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
      .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

}  // namespace

QString WebFile::SlidePicture(int slide) {
  return QStringLiteral("slides/%1.jpg").arg(slide + 1, 4, 10, QLatin1Char('0'));
}
QString WebFile::Thumbnail(int slide) { return QStringLiteral("thumbs/%1.jpg").arg(slide + 1, 4, 10, QLatin1Char('0')); }

QString WebOutputRefusal(const QString& folder, const QString& outDir) {
  const QString out = QDir::cleanPath(QFileInfo(outDir).absoluteFilePath());
  const QString shown = ShowPath(out);
  for (const QString& up : ExistingAncestors(out))
    if (SameFile(up, folder))
      return shown + QStringLiteral("はデータフォルダの中にあるため、書き出し先にできません。");
  if (QFileInfo::exists(out)) {
    for (const QString& up : ExistingAncestors(folder))
      if (SameFile(up, out)) return shown + QStringLiteral("はデータフォルダを含むため、書き出し先にできません。");
    const QFileInfo info(out);
    if (!info.isDir() || info.isSymLink())
      return shown + QStringLiteral("はフォルダではないため、書き出し先にできません。");
    if (!QDir(out).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System) &&
        !IsEarlierPackage(out))
      return shown + QStringLiteral("は空でないフォルダのため、書き出し先にできません。");
  }
  return {};
}

QByteArray WebDataScript(const QString& title, double duration, const std::vector<WebSlide>& slides,
                         const std::vector<SlideRecord>& records, const std::vector<PointRecord>& points,
                         const QString& symOn) {
  QJsonObject root;
  root[QStringLiteral("title")] = title;
  root[QStringLiteral("duration")] = Round(duration, 0.001);
  root[QStringLiteral("video")] = WebFile::Video;
  root[QStringLiteral("marker")] = QJsonArray{ExportFrame::MarkerTwips / ExportFrame::StageWidthTwips,
                                              ExportFrame::MarkerTwips / ExportFrame::StageHeightTwips};
  QJsonArray slideList;
  for (const WebSlide& s : slides)
    slideList.append(QJsonObject{{QStringLiteral("caption"), s.caption},
                                 {QStringLiteral("image"), s.image},
                                 {QStringLiteral("pos"), Round(s.pos, 0.001)},
                                 {QStringLiteral("file"), s.file},
                                 {QStringLiteral("missing"), s.missing}});
  root[QStringLiteral("slides")] = slideList;
  // [start, slide]: the slide in force from start on.
  QJsonArray spans;
  for (const SlideSpan& s : SlideSpans(records, duration)) spans.append(QJsonArray{Round(s.start, 0.001), s.slide});
  root[QStringLiteral("spans")] = spans;
  // [start, cx, cy] (the marker's centre as fractions of the picture) or [start] (none shown).
  QJsonArray steps;
  const auto fx = [](double px) { return Round(px / ExportFrame::SlideWidth, 0.0001); };
  const auto fy = [](double px) { return Round(px / ExportFrame::SlideHeight, 0.0001); };
  for (const PointerStep& s : PointerSteps(points, duration)) {
    if (s.shown)
      steps.append(QJsonArray{Round(s.start, 0.001), fx(s.x), fy(s.y)});
    else
      steps.append(QJsonArray{Round(s.start, 0.001)});
  }
  root[QStringLiteral("pointer")] = steps;
  QJsonArray marks;
  for (const PointerMark& m : ShownMarks(points, symOn)) marks.append(QJsonArray{fx(m.x), fy(m.y)});
  root[QStringLiteral("marks")] = marks;
  QJsonArray chapters;
  for (const ChapterMark& c : Chapters(records, duration))
    chapters.append(QJsonArray{Round(c.start, 0.001), Round(c.end, 0.001), c.title});
  root[QStringLiteral("chapters")] = chapters;

  const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Compact);
  QByteArray script = QByteArrayLiteral("window.KEMO_DATA = ");
  script.reserve(json.size() + json.size() / 8 + 32);
  // Markup characters only ever stand inside JSON strings, where \uXXXX means the same character.
  for (qsizetype i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '<') script += "\\u003c";
    else if (c == '>') script += "\\u003e";
    else if (c == '&') script += "\\u0026";
    else if (c == '\xE2' && i + 2 < json.size() && json[i + 1] == '\x80' && (json[i + 2] == '\xA8' || json[i + 2] == '\xA9')) {
      script += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else script += c;
  }
  script += ";\n";
  return script;
}

QString ChaptersVtt(const std::vector<SlideRecord>& slides, double duration) {
  QString vtt = QStringLiteral("WEBVTT\n");
  int n = 0;
  for (const ChapterMark& c : Chapters(slides, duration)) {
    QString title = c.title.simplified();  // one line: a blank line would end the cue
    title.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    title.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    title.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    vtt += QStringLiteral("\n%1\n").arg(++n) + VttTime(c.start) + QStringLiteral(" --> ") + VttTime(c.end) +
           QLatin1Char('\n') + title + QLatin1Char('\n');
  }
  return vtt;
}

WebResult WriteWebPackage(const ExportSource& source, const QString& outDir, const WebOptions& options) {
  if (const QString why = PresenterRefusal(source); !why.isEmpty()) return Fail(why);
  const QString target = QDir::cleanPath(QFileInfo(outDir).absoluteFilePath());
  if (const QString why = WebOutputRefusal(source.folder, target); !why.isEmpty()) return Fail(why);
  const QString pageFolder = JoinPath(options.programFolder, QStringLiteral("web"));
  for (const QString& name : WebFile::PageFiles)
    if (!QFileInfo(JoinPath(pageFolder, name)).isFile())
      return Fail(ShowPath(JoinPath(pageFolder, name)) + QStringLiteral("が見つかりません。"));

  const QString parent = QFileInfo(target).path();
  if (!QDir().mkpath(parent)) return Fail(ShowPath(parent) + QStringLiteral("を作れません。"));
  QTemporaryDir part(target + QStringLiteral(".part-XXXXXX"));
  if (!part.isValid()) return Fail(ShowPath(parent) + QStringLiteral("に書き込めません。"));
  const QString out = part.path();
  if (!QDir(out).mkdir(QStringLiteral("slides")) || !QDir(out).mkdir(QStringLiteral("thumbs")))
    return Fail(ShowPath(out) + QStringLiteral("に書き込めません。"));

  PictureWriter pictures(source, out);

  QtProcessRunner ownRunner;
  ProcessRunner& runner = options.runner ? *options.runner : ownRunner;
  const QString presenter = QFileInfo(source.presenter).absoluteFilePath();
  EncoderJob encode(runner);
  const EncoderJob::Outcome encoded =
      encode.Run(QStringLiteral("ffmpeg"), WebEncoderArguments(presenter, JoinPath(out, WebFile::Video)), out,
                 options.programFolder, [&](const EncoderProgress& p) {
                   return !options.onProgress || options.onProgress(ExportProgress{p.seconds, p.duration});
                 });
  switch (encoded) {
    case EncoderJob::Outcome::Succeeded: break;
    case EncoderJob::Outcome::Cancelled: pictures.Stop(); return WebResult{WebResult::Cancelled, {}, {}};
    case EncoderJob::Outcome::FailedToStart: pictures.Stop(); return Fail(QStringLiteral("ffmpegを起動できません。"));
    case EncoderJob::Outcome::Failed: {
      pictures.Stop();
      const QString why = encode.LastErrorLine();
      return Fail(why.isEmpty() ? QStringLiteral("ffmpegが異常終了しました。") : why);
    }
  }
  // The input's length as the encoder read it; for a recording whose header does not say (a cut
  // off FLV), how far the encoder got.
  double duration = encode.Progress().duration;
  if (!(duration > 0)) duration = encode.Progress().seconds;
  if (!(duration > 0) || QFileInfo(JoinPath(out, WebFile::Video)).size() <= 0)
    return Fail(ShowPath(presenter) + QStringLiteral("の長さがわかりません。"));
  if (!pictures.Wait()) return Fail(ShowPath(out) + QStringLiteral("にスライド画像を書けません。"));

  WebResult result{WebResult::Done, {}, {}};
  std::vector<WebSlide> slides;
  for (size_t i = 0; i < source.slides.size(); ++i) {
    const SlideRecord& r = source.slides[i];
    const bool found = pictures.Found(static_cast<int>(i));
    slides.push_back(WebSlide{r.caption, r.image, r.pos, !found, pictures.FileOf(static_cast<int>(i)) + 1});
    if (!found) result.missing << QStringLiteral("スライド %1（%2）").arg(i + 1).arg(r.image);
  }
  const QByteArray data = WebDataScript(QFileInfo(source.folder).fileName(), duration, slides, source.slides,
                                        source.points, source.symOn);

  bool ok = WriteBytes(JoinPath(out, WebFile::Data), data) &&
            WriteBytes(JoinPath(out, WebFile::Chapters), ChaptersVtt(source.slides, duration).toUtf8());
  for (const QString& name : WebFile::PageFiles)
    ok = ok && QFile::copy(JoinPath(pageFolder, name), JoinPath(out, name));
  if (!ok) return Fail(ShowPath(out) + QStringLiteral("に書き込めません。"));
  // QTemporaryDir makes its folder for this user alone; the package is for anyone to read.
  QFile::setPermissions(out, QFile::permissions(out) | QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                 QFileDevice::ReadOther | QFileDevice::ExeOther);

  // An earlier package steps aside under a hidden name until the new one holds OUTDIR's name.
  QString aside;
  if (QFileInfo::exists(target)) {
    if (const QString why = WebOutputRefusal(source.folder, target); !why.isEmpty()) return Fail(why);
    QTemporaryDir old(target + QStringLiteral(".old-XXXXXX"));
    if (!old.isValid()) return Fail(ShowPath(parent) + QStringLiteral("に書き込めません。"));
    old.setAutoRemove(false);
    aside = old.path();
    if (!QDir().rmdir(aside) || !Rename(target, aside)) return Fail(ShowPath(target) + QStringLiteral("を置き換えられません。"));
  }
  if (!Rename(out, target)) {
    if (!aside.isEmpty()) Rename(aside, target);
    return Fail(ShowPath(target) + QStringLiteral("に書き込めません。"));
  }
  part.setAutoRemove(false);
  if (!aside.isEmpty()) RemoveTree(aside);
  return result;
}

}  // namespace kemo
