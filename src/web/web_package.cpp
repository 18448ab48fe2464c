#include "web/web_package.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
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

// `value` to the nearest multiple of `unit` (0.001, 0.0001), as the double nearest that decimal, which
// the JSON writes in as few digits ("2.03", never "2.0300000000000002").
double Round(double value, double unit) { return std::round(value / unit) / std::round(1 / unit); }

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

// The picture written by Qt's writer for `format` at `quality` (a JPEG optimised, progressive when
// asked: it shows whole, if blurred, while it loads over a slow line); empty when it cannot.
QByteArray Encoded(const QImage& picture, const char* format, int quality, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter w(&buffer, format);
  w.setQuality(quality);
  if (qstrcmp(format, "jpeg") == 0) {
    w.setOptimizedWrite(true);
    w.setProgressiveScanWrite(progressive);
  }
  if (!w.write(picture)) bytes.clear();
  return bytes;
}

struct PictureQuality {
  int jpeg;
  int webp;  // 0: no WebP
  bool progressive;
};

// A picture's bytes as a 256-colour PNG where that keeps the picture as it is (sharp text, no
// ringing) and is smaller than the JPEG, else in the smaller of a WebP (less error than the JPEG at
// these qualities) and the JPEG; *ext the format's file extension. None carries more than the pixels.
QByteArray EncodePicture(const QImage& picture, const PictureQuality& quality, QString* ext) {
  QByteArray best = Encoded(picture, "jpeg", quality.jpeg, quality.progressive);
  *ext = QStringLiteral("jpg");
  const auto consider = [&](QByteArray bytes, const QString& kind) {
    if (bytes.isEmpty() || (!best.isEmpty() && bytes.size() >= best.size())) return false;
    best = std::move(bytes);
    *ext = kind;
    return true;
  };
  const QImage indexed = PalettePicture(picture);
  if (!indexed.isNull() && consider(Encoded(indexed, "png", 0), QStringLiteral("png")))  // 0: the strongest compression
    return best;
  if (quality.webp > 0) consider(Encoded(picture, "webp", quality.webp), QStringLiteral("webp"));
  return best;
}

// The slide pictures and their thumbnails, decoded, scaled and written on as many threads as
// there are processors while the encoder runs. Every distinct picture name is read once, and a
// picture whose files come out the same as an earlier one's (a slide shown again under another
// name, the default picture of every missing one) is kept once.
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
    pictures_.resize(names_.size());
    thumbs_.resize(names_.size());
    digests_.resize(names_.size());
    // Every browser shows WebP; the writer is a plugin of Qt's that may not be installed.
    if (QImageWriter::supportedImageFormats().contains("webp")) {
      slideQuality_.webp = WebSize::SlideWebpQuality;
      thumbQuality_.webp = WebSize::ThumbWebpQuality;
    }
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
  // After a successful Wait: files of the same content as an earlier one removed, the slides that
  // showed them pointed at the earlier.
  void DropDuplicates() {
    std::map<QByteArray, size_t> first;
    for (size_t k = 0; k < names_.size(); ++k) {
      const auto [it, fresh] = first.emplace(digests_[k], k);
      if (fresh) continue;
      QFile::remove(JoinPath(out_, pictures_[k]));
      QFile::remove(JoinPath(out_, thumbs_[k]));
      pictures_[k] = pictures_[it->second];
      thumbs_[k] = thumbs_[it->second];
    }
  }
  // After Wait: the files that slide `slide` shows, and whether its picture was found.
  QString Picture(int slide) const { return pictures_[static_cast<size_t>(fileOf_[static_cast<size_t>(slide)])]; }
  QString Thumb(int slide) const { return thumbs_[static_cast<size_t>(fileOf_[static_cast<size_t>(slide)])]; }
  bool Found(int slide) const { return found_[static_cast<size_t>(fileOf_[static_cast<size_t>(slide)])] != 0; }

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
      if (!Write(picture, k)) ok_ = false;
    }
  }

  bool Write(const QImage& picture, size_t k) {
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
    QString ext, thumbExt;
    const QByteArray big = EncodePicture(flat, slideQuality_, &ext);
    const QByteArray small = EncodePicture(thumb, thumbQuality_, &thumbExt);
    if (big.isEmpty() || small.isEmpty()) return false;
    const int file = static_cast<int>(k);
    pictures_[k] = WebFile::SlidePicture(file, ext);
    thumbs_[k] = WebFile::Thumbnail(file, thumbExt);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    digest.addData(big);
    digest.addData(small);
    digests_[k] = digest.result();
    return WriteBytes(JoinPath(out_, pictures_[k]), big) && WriteBytes(JoinPath(out_, thumbs_[k]), small);
  }

  const ExportSource& source_;
  const QString out_;
  PictureQuality slideQuality_{WebSize::SlideQuality, 0, true}, thumbQuality_{WebSize::ThumbQuality, 0, false};
  std::vector<QString> names_;   // distinct picture names ("" for none)
  std::vector<int> fileOf_;      // per slide, its index in names_
  // Per name, each written by the one thread that takes the name, read after Wait.
  std::vector<char> found_;
  std::vector<QString> pictures_, thumbs_;
  std::vector<QByteArray> digests_;
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

QString WebFile::SlidePicture(int file, const QString& ext) {
  return QStringLiteral("slides/%1.%2").arg(file + 1, 4, 10, QLatin1Char('0')).arg(ext);
}
QString WebFile::Thumbnail(int file, const QString& ext) {
  return QStringLiteral("thumbs/%1.%2").arg(file + 1, 4, 10, QLatin1Char('0')).arg(ext);
}

QImage PalettePicture(const QImage& source) {
  const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
  const int w = rgb.width(), h = rgb.height();
  if (w <= 0 || h <= 0) return {};
  QImage out(w, h, QImage::Format_Indexed8);
  // Colours counted in cells of 5 bits a channel; the picture's own colours while there are few.
  const auto cellOf = [](QRgb c) { return (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3; };
  std::vector<quint32> count(1 << 15, 0);
  QHash<QRgb, int> own;
  for (int y = 0; y < h; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    QRgb last = 0;
    for (int x = 0; x < w; ++x) {
      const QRgb c = row[x] | 0xff000000;
      ++count[static_cast<size_t>(cellOf(c))];
      if (own.size() <= 256 && (x == 0 || c != last) && !own.contains(c)) own.insert(c, static_cast<int>(own.size()));
      last = c;
    }
  }
  if (own.size() <= 256) {
    QList<QRgb> table(own.size());
    for (auto it = own.cbegin(); it != own.cend(); ++it) table[it.value()] = it.key();
    out.setColorTable(table);
    for (int y = 0; y < h; ++y) {
      const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
      uchar* to = out.scanLine(y);
      for (int x = 0; x < w; ++x) to[x] = static_cast<uchar>(own.value(row[x] | 0xff000000));
    }
    return out;
  }

  // Median cut: the box of cells with the widest spread along a channel, weighted by its pixels,
  // split at its median until there are 256.
  std::vector<int> cells;
  for (int i = 0; i < (1 << 15); ++i)
    if (count[static_cast<size_t>(i)]) cells.push_back(i);
  struct Box {
    size_t from, to;
    quint64 pixels = 0, spread = 0;
    int axis = 0;
  };
  const auto channel = [](int cell, int axis) { return cell >> (10 - 5 * axis) & 31; };
  const auto measure = [&](Box& b) {
    b.pixels = 0;
    b.spread = 0;
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
    for (size_t k = b.from; k < b.to; ++k) {
      b.pixels += count[static_cast<size_t>(cells[k])];
      for (int a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], channel(cells[k], a));
        hi[a] = std::max(hi[a], channel(cells[k], a));
      }
    }
    for (int a = 0; a < 3; ++a) {
      const quint64 s = static_cast<quint64>(hi[a] - lo[a]) * static_cast<quint64>(hi[a] - lo[a]) * b.pixels;
      if (b.to - b.from > 1 && s > b.spread) b.spread = s, b.axis = a;
    }
  };
  std::vector<Box> boxes{Box{0, cells.size()}};
  measure(boxes[0]);
  while (boxes.size() < 256) {
    const auto widest = std::max_element(boxes.begin(), boxes.end(),
                                         [](const Box& a, const Box& b) { return a.spread < b.spread; });
    if (widest->spread == 0) break;
    Box b = *widest;
    std::sort(cells.begin() + static_cast<std::ptrdiff_t>(b.from), cells.begin() + static_cast<std::ptrdiff_t>(b.to),
              [&](int p, int q) { return channel(p, b.axis) < channel(q, b.axis); });
    size_t cut = b.from + 1;  // the right half's first cell; neither half is empty
    for (quint64 half = count[static_cast<size_t>(cells[b.from])]; cut + 1 < b.to && half * 2 < b.pixels; ++cut)
      half += count[static_cast<size_t>(cells[cut])];
    Box left{b.from, cut}, right{cut, b.to};
    measure(left);
    measure(right);
    *widest = left;
    boxes.push_back(right);
  }
  // Each box's colour is the mean of its pixels.
  std::vector<uchar> boxOf(1 << 15, 0);
  for (size_t i = 0; i < boxes.size(); ++i)
    for (size_t k = boxes[i].from; k < boxes[i].to; ++k) boxOf[static_cast<size_t>(cells[k])] = static_cast<uchar>(i);
  std::vector<std::array<quint64, 3>> sums(boxes.size(), {0, 0, 0});
  for (int y = 0; y < h; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      auto& s = sums[boxOf[static_cast<size_t>(cellOf(row[x]))]];
      s[0] += static_cast<quint64>(qRed(row[x]));
      s[1] += static_cast<quint64>(qGreen(row[x]));
      s[2] += static_cast<quint64>(qBlue(row[x]));
    }
  }
  QList<QRgb> table;
  for (size_t i = 0; i < boxes.size(); ++i) {
    const quint64 n = std::max<quint64>(boxes[i].pixels, 1);
    table << qRgb(static_cast<int>((sums[i][0] + n / 2) / n), static_cast<int>((sums[i][1] + n / 2) / n),
                  static_cast<int>((sums[i][2] + n / 2) / n));
  }
  out.setColorTable(table);
  double error = 0;
  for (int y = 0; y < h; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uchar* to = out.scanLine(y);
    for (int x = 0; x < w; ++x) {
      const uchar i = boxOf[static_cast<size_t>(cellOf(row[x]))];
      to[x] = i;
      const QRgb t = table[i];
      const int dr = qRed(row[x]) - qRed(t), dg = qGreen(row[x]) - qGreen(t), db = qBlue(row[x]) - qBlue(t);
      error += dr * dr + dg * dg + db * db;
    }
  }
  constexpr double kMaxError = 2.5;  // root mean square, in levels of 255
  if (error > kMaxError * kMaxError * 3.0 * w * h) return {};
  return out;
}

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
                                 {QStringLiteral("picture"), s.picture},
                                 {QStringLiteral("thumb"), s.thumb},
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
  pictures.DropDuplicates();

  WebResult result{WebResult::Done, {}, {}};
  std::vector<WebSlide> slides;
  for (size_t i = 0; i < source.slides.size(); ++i) {
    const SlideRecord& r = source.slides[i];
    const bool found = pictures.Found(static_cast<int>(i));
    slides.push_back(WebSlide{r.caption, r.image, r.pos, !found, pictures.Picture(static_cast<int>(i)),
                              pictures.Thumb(static_cast<int>(i))});
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
