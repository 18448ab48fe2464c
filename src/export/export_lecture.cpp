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

QString SlidePictureName(int slide) { return QStringLiteral("slide_%1.png").arg(slide + 1, 4, 10, QLatin1Char('0')); }

bool WritePng(const QImage& image, const QString& path) {
  QImageWriter w(path, "png");
  w.setQuality(80);  // the fastest compression: the file lives only as long as the run
  return w.write(image);
}

// Draws and writes the frame picture of every slide that is in force somewhere, on as many threads
// as there are processors (two here): decoding and stretching the pictures is most of the work
// before the encoder starts.
bool WriteSlideFrames(const ExportSource& source, const std::vector<int>& slides, const QString& folder) {
  const std::vector<PointerMark> marks = ShownMarks(source.points, source.symOn);
  const int count = static_cast<int>(source.slides.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  const auto work = [&] {
    for (size_t k = next++; k < slides.size() && ok; k = next++) {
      const int index = slides[k];
      const SlideRecord& r = source.slides[static_cast<size_t>(index)];
      bool notFound = true;
      const QImage picture =
          StageSlidePicture(source.folder, r.image, source.defaultPicture,
                            QSize(ExportFrame::SlideWidth, ExportFrame::SlideHeight), &notFound);
      const QImage frame = RenderSlideFrame(picture, notFound, marks, SlideFrameText{index + 1, count, r.caption});
      if (!WritePng(frame, JoinPath(folder, SlidePictureName(index)))) ok = false;
    }
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
  std::vector<std::thread> pool;
  for (unsigned i = 1; i < threads; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return ok;
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
  const std::vector<SlideSpan> spans = SlideSpans(source.slides, duration);
  std::vector<int> used;
  QStringList pictures;
  for (const SlideSpan& s : spans) {
    used.push_back(s.slide);
    pictures << SlidePictureName(s.slide);
  }
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  const std::vector<PointerStep> steps = PointerSteps(source.points, duration);
  const auto path = [&](const QString& name) { return JoinPath(folder, name); };
  return WriteSlideFrames(source, used, folder) && WritePng(RenderPointerGlyph(), path(ExportFile::PointerPicture)) &&
         WriteText(path(ExportFile::SlideList), ConcatList(spans, pictures)) &&
         WriteText(path(ExportFile::PointerCommandFile), PointerCommands(steps)) &&
         WriteText(path(ExportFile::ChapterFile), ChapterMetadata(Chapters(source.slides, duration))) &&
         WriteText(path(ExportFile::TimeText), TimeTextExpansion()) &&
         WriteText(path(ExportFile::Graph), FilterGraph(PointerCrossesRightEdge(steps)));
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

  if (!WriteExportFiles(source, duration, work.path()))
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
