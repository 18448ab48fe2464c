#include "export/export_lecture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <limits>
#include <system_error>
#include <thread>

#include "document/editor.h"
#include "export/export_frames.h"
#include "export/export_plan.h"
#include "platform/encoder_job.h"
#include "platform/paths.h"
#include "platform/process_runner.h"

namespace kemo {

namespace {

bool WriteText(const QString& path, const QString& text) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(text.toUtf8());
  return f.commit();
}

// The frame pictures are read once each by the encoder: uncompressed (binary PPM), they cost a
// copy to write and to read, where compressing them cost more than all the rest of the preparation.
QString SlidePictureName(int slide) { return QStringLiteral("slide_%1.ppm").arg(slide + 1, 4, 10, QLatin1Char('0')); }

// Writes `image` (RGB32) as a binary PPM, through `buffer`, whose memory is used again.
bool WritePpm(const QImage& image, QByteArray* buffer, const QString& path) {
  const QByteArray header = QByteArrayLiteral("P6\n") + QByteArray::number(image.width()) + ' ' +
                            QByteArray::number(image.height()) + QByteArrayLiteral("\n255\n");
  const qsizetype size = header.size() + qsizetype{3} * image.width() * image.height();
  if (buffer->size() != size) buffer->resize(size);
  char* out = buffer->data();
  out = std::copy(header.begin(), header.end(), out);
  const int width = image.width(), height = image.height();
  for (int y = 0; y < height; ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (const QRgb* end = in + width; in != end; ++in) {
      *out++ = static_cast<char>(qRed(*in));
      *out++ = static_cast<char>(qGreen(*in));
      *out++ = static_cast<char>(qBlue(*in));
    }
  }
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(*buffer) == size && f.flush();
}

bool WritePng(const QImage& image, const QString& path) { return QImageWriter(path, "png").write(image); }

// The slides in force somewhere in the first `duration` seconds, ascending.
std::vector<int> SlidesShown(const std::vector<SlideRecord>& slides, double duration) {
  std::vector<int> shown;
  for (const SlideSpan& s : SlideSpans(slides, duration)) shown.push_back(s.slide);
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  return shown;
}

// Draws and writes the frame pictures of the given slides on as many threads as there are
// processors (two here), while the caller goes on (with the probe of the video's length): decoding
// and stretching the pictures is most of the work before the encoder starts. Stops early on
// Stop() or the first file it cannot write; the threads end in Wait() or with the object.
class SlideFrameWriter {
 public:
  SlideFrameWriter(const ExportSource& source, std::vector<int> slides, const QString& folder)
      : source_(source), slides_(std::move(slides)), folder_(folder),
        marks_(ShownMarks(source.points, source.symOn)) {
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
    for (unsigned i = 0; i < threads; ++i) pool_.emplace_back([this] { Work(); });
  }
  ~SlideFrameWriter() {
    Stop();
    Wait();
  }
  SlideFrameWriter(const SlideFrameWriter&) = delete;
  SlideFrameWriter& operator=(const SlideFrameWriter&) = delete;

  void Stop() { stop_ = true; }
  // True when every frame was written.
  bool Wait() {
    for (std::thread& t : pool_)
      if (t.joinable()) t.join();
    return ok_ && !stop_;
  }

 private:
  void Work() {
    const int count = static_cast<int>(source_.slides.size());
    QImage picture, frame;  // each thread's own, drawn into again for every slide
    QByteArray file;
    for (size_t k = next_++; k < slides_.size() && ok_ && !stop_; k = next_++) {
      const int index = slides_[k];
      const SlideRecord& r = source_.slides[static_cast<size_t>(index)];
      const bool found = LoadStageSlidePicture(&picture, source_.folder, r.image, source_.defaultPicture,
                                               QSize(ExportFrame::SlideWidth, ExportFrame::SlideHeight));
      DrawSlideFrame(&frame, picture, !found, marks_, SlideFrameText{index + 1, count, r.caption});
      if (!WritePpm(frame, &file, JoinPath(folder_, SlidePictureName(index)))) ok_ = false;
    }
  }

  const ExportSource& source_;
  const std::vector<int> slides_;
  const QString folder_;
  const std::vector<PointerMark> marks_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> ok_{true};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> pool_;
};

// The work files beside the frame pictures: the pointer's picture and the lists.
bool WriteExportLists(const ExportSource& source, double duration, const QString& folder) {
  const std::vector<SlideSpan> spans = SlideSpans(source.slides, duration);
  QStringList pictures;
  for (const SlideSpan& s : spans) pictures << SlidePictureName(s.slide);
  const std::vector<PointerStep> steps = PointerSteps(source.points, duration);
  const auto path = [&](const QString& name) { return JoinPath(folder, name); };
  return WritePng(RenderPointerGlyph(), path(ExportFile::PointerPicture)) &&
         WriteText(path(ExportFile::SlideList), ConcatList(spans, pictures)) &&
         WriteText(path(ExportFile::PointerCommandFile), PointerCommands(steps)) &&
         WriteText(path(ExportFile::ChapterFile), ChapterMetadata(Chapters(source.slides, duration))) &&
         WriteText(path(ExportFile::TimeText), TimeTextExpansion()) &&
         WriteText(path(ExportFile::Graph), FilterGraph(PointerCrossesRightEdge(steps)));
}

// The files an export reads: writing over one of them would destroy the lecture.
bool IsInputOf(const ExportSource& source, const QString& output) {
  const QFileInfo out(output);
  if (!out.exists()) return false;
  const QString target = out.canonicalFilePath();
  std::vector<QString> inputs = {source.presenter, JoinPath(source.folder, QStringLiteral("content.xml")),
                                 JoinPath(source.folder, QStringLiteral("Video.flv")),
                                 JoinPath(source.folder, QStringLiteral("Video.avi"))};
  for (const SlideRecord& s : source.slides)
    if (IsPlainFileName(s.image)) inputs.push_back(JoinPath(source.folder, s.image));
  return std::any_of(inputs.begin(), inputs.end(), [&](const QString& in) {
    const QFileInfo i(in);
    return i.exists() && i.canonicalFilePath() == target;
  });
}

bool Replace(const QString& from, const QString& to) {
  std::error_code ec;
  std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                          std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
  return !ec;
}

ExportResult Fail(const QString& reason) { return ExportResult{ExportResult::Failed, reason}; }

}  // namespace

ExportSource ExportSourceOf(const Editor& ed) {
  ExportSource s;
  s.folder = ed.DataFolder;
  s.presenter = PresenterVideoOf(ed.DataFolder);
  s.defaultPicture = ed.DefaultPicture();
  const int slides = std::clamp<int>(ed.SldCnt, 0, MaxRecords);
  s.slides.assign(ed.Sld.begin(), ed.Sld.begin() + slides);
  const int points = std::clamp<int>(ed.CurCnt, 0, MaxRecords);
  s.points.assign(ed.Cur.begin(), ed.Cur.begin() + points);
  s.symOn = ed.SymOn();
  return s;
}

QString PresenterVideoOf(const QString& folder) {
  if (folder.isEmpty()) return {};
  for (const QString& name : {QStringLiteral("Video.flv"), QStringLiteral("Video.avi")}) {
    const QString path = JoinPath(folder, name);
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

QString ExportPartPath(const QString& output) {
  const QFileInfo out(output);
  return JoinPath(out.absolutePath(), QStringLiteral(".") + out.fileName() + QStringLiteral(".part"));
}

bool WriteExportFiles(const ExportSource& source, double duration, const QString& folder) {
  SlideFrameWriter frames(source, SlidesShown(source.slides, duration), folder);
  const bool lists = WriteExportLists(source, duration, folder);
  return frames.Wait() && lists;
}

ExportResult ExportLecture(const ExportSource& source, const QString& output, const ExportOptions& options) {
  if (source.presenter.isEmpty())
    return Fail(ShowPath(JoinPath(source.folder, QStringLiteral("Video.flv"))) + QStringLiteral("が見つかりません。"));
  const QString target = QFileInfo(output).absoluteFilePath();
  if (IsInputOf(source, target))
    return Fail(ShowPath(target) + QStringLiteral("は書き出しに使うファイルのため、書き出し先にできません。"));

  QtProcessRunner ownRunner;
  ProcessRunner& runner = options.runner ? *options.runner : ownRunner;

  if (options.workFolder.isEmpty()) return Fail(QStringLiteral("作業用のフォルダがありません。"));
  QDir().mkpath(options.workFolder);
  QTemporaryDir work(JoinPath(options.workFolder, QStringLiteral("export-XXXXXX")));
  if (!work.isValid()) return Fail(ShowPath(options.workFolder) + QStringLiteral("に作業用のフォルダを作れません。"));

  // The frame pictures are drawn while the encoder finds the video's length: every slide in force
  // at some time, of which those shown before the end are listed once the length is known.
  const std::vector<int> drawn = SlidesShown(source.slides, std::numeric_limits<double>::infinity());
  SlideFrameWriter frames(source, drawn, work.path());

  // The video's length: the export is exactly as long.
  const QString presenter = QFileInfo(source.presenter).absoluteFilePath();
  const QString ffmpeg = QStringLiteral("ffmpeg");
  EncoderJob probe(runner);
  const EncoderJob::Outcome probed =
      probe.Run(ffmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-i"),
                         QStringLiteral("file:") + presenter},
                work.path(), options.programFolder,
                [&](const EncoderProgress&) { return !options.onProgress || options.onProgress(ExportProgress{}); });
  if (probed == EncoderJob::Outcome::Cancelled) return ExportResult{ExportResult::Cancelled, {}};
  if (probed == EncoderJob::Outcome::FailedToStart) return Fail(QStringLiteral("ffmpegを起動できません。"));
  const double duration = probe.Progress().duration;
  if (!(duration > 0)) {
    const QString why = probe.LastErrorLine();
    return Fail(why.isEmpty() ? ShowPath(presenter) + QStringLiteral("の長さがわかりません。") : why);
  }

  // Those are all the slides ever in force, so this finds none; were the two sets ever to differ,
  // a missing frame would still be drawn rather than fail the encoder.
  std::vector<int> missing;
  for (const int slide : SlidesShown(source.slides, duration))
    if (!std::binary_search(drawn.begin(), drawn.end(), slide)) missing.push_back(slide);
  const bool listed = WriteExportLists(source, duration, work.path());
  if (!frames.Wait() || !listed || (!missing.empty() && !SlideFrameWriter(source, missing, work.path()).Wait()))
    return Fail(ShowPath(work.path()) + QStringLiteral("に作業用のファイルを書けません。"));

  // The encoder writes beside the chosen file, which it replaces only when it has succeeded.
  const QString part = ExportPartPath(target);
  QFile::remove(part);
  EncoderJob encode(runner);
  const EncoderJob::Outcome encoded =
      encode.Run(ffmpeg, EncoderArguments(presenter, part, duration), work.path(), options.programFolder,
                 [&](const EncoderProgress& p) {
                   return !options.onProgress || options.onProgress(ExportProgress{p.seconds, duration});
                 });
  switch (encoded) {
    case EncoderJob::Outcome::Succeeded: break;
    case EncoderJob::Outcome::Cancelled: QFile::remove(part); return ExportResult{ExportResult::Cancelled, {}};
    case EncoderJob::Outcome::FailedToStart:
      QFile::remove(part);
      return Fail(QStringLiteral("ffmpegを起動できません。"));
    case EncoderJob::Outcome::Failed: {
      QFile::remove(part);
      const QString why = encode.LastErrorLine();
      return Fail(why.isEmpty() ? QStringLiteral("ffmpegが異常終了しました。") : why);
    }
  }
  if (QFileInfo(part).size() <= 0) {
    QFile::remove(part);
    return Fail(QStringLiteral("ffmpegが動画を書き出しませんでした。"));
  }
  if (!Replace(part, target)) {
    QFile::remove(part);
    return Fail(ShowPath(target) + QStringLiteral("に書き込めません。"));
  }
  return ExportResult{ExportResult::Done, {}};
}

}  // namespace kemo
