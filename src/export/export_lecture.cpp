#include "export/export_lecture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <sys/stat.h>
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
#include "export/output_place.h"
#include "export/slide_feed.h"
#include "document/data_files.h"
#include "platform/encoder_job.h"
#include "platform/paths.h"
#include "platform/picture_file.h"
#include "platform/process_runner.h"

namespace kemo {

namespace {

bool WriteText(const QString& path, const QString& text) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(text.toUtf8());
  return f.commit();
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

QString SlideNamed(const std::vector<SlideRecord>& slides, int index) {
  const QString image = slides[static_cast<size_t>(index)].image.trimmed();
  return QStringLiteral("スライド %1（%2）").arg(index + 1).arg(image.isEmpty() ? QStringLiteral("画像なし") : image);
}

// The files an export reads: writing over one of them would destroy the lecture.
QStringList InputsOf(const ExportSource& source) {
  QStringList inputs = {source.presenter, JoinPath(source.folder, QStringLiteral("content.xml")),
                        JoinPath(source.folder, QStringLiteral("Video.flv")),
                        JoinPath(source.folder, QStringLiteral("Video.avi"))};
  for (const SlideRecord& s : source.slides)
    if (IsPlainFileName(s.image) && !s.image.trimmed().isEmpty()) inputs << JoinPath(source.folder, s.image);
  return inputs;
}

ExportResult Fail(const QString& reason) { return ExportResult{ExportResult::Failed, reason, {}, {}}; }
ExportResult Cancelled() { return ExportResult{ExportResult::Cancelled, QStringLiteral("書き出しを中止しました。"), {}, {}}; }

QString StartFailure(const QString& programFolder) {
  return FindProgram(QStringLiteral("ffmpeg"), programFolder).isEmpty()
             ? QStringLiteral("ffmpegが見つかりません。ffmpegをインストールしてください。")
             : QStringLiteral("ffmpegを起動できません。");
}

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

QString ExportPartPath(const QString& output) { return PartPathOf(output); }

QStringList MissingPictures(const ExportSource& source) {
  QStringList missing;
  for (const int index : SlidesShown(source.slides, std::numeric_limits<double>::infinity())) {
    const QString image = source.slides[static_cast<size_t>(index)].image;
    bool ok = IsPlainFileName(image) && !image.trimmed().isEmpty();
    if (ok) {
      const QString path = JoinPath(source.folder, image);
      ok = QFileInfo(path).isFile() && CheckDataFile(path, source.folder) == Refusal::None;
      ok = ok && IsPictureFile(path);
    }
    if (!ok) missing << SlideNamed(source.slides, index);
  }
  return missing;
}

QString MissingPicturesText(const QStringList& missing, int shown) {
  QString text = missing.mid(0, shown).join(QLatin1Char('\r'));
  if (missing.size() > shown) text += QStringLiteral("\rほか %1 枚").arg(missing.size() - shown);
  return text;
}

qint64 FrameCount(double duration) {
  return static_cast<qint64>(std::ceil(duration * ExportFrame::Rate - 1e-9)) + 1;
}

QString EncoderFailureText(const QStringList& lastLines, const QString& output) {
  const QString all = lastLines.join(QLatin1Char('\n'));
  QString why;
  if (all.contains(QStringLiteral("No space left on device")))
    why = QStringLiteral("ディスクがいっぱいで") + ShowPath(output) + QStringLiteral("を書き終えられませんでした。");
  else if (all.contains(QStringLiteral("Permission denied")) || all.contains(QStringLiteral("Read-only file system")))
    why = ShowPath(output) + QStringLiteral("に書き込む権限がありません。");
  else
    why = QStringLiteral("ffmpegが異常終了しました。");
  QString line;
  for (auto it = lastLines.rbegin(); it != lastLines.rend() && line.isEmpty(); ++it)
    if (!it->startsWith(QLatin1String("frame=")) && !it->contains(QLatin1String("bitrate="))) line = *it;
  return line.isEmpty() ? why : why + QLatin1Char('\r') + line;
}

bool WriteExportFiles(const ExportSource& source, double duration, const QString& folder) {
  const std::vector<PointerStep> steps = PointerSteps(source.points, duration);
  const auto path = [&](const QString& name) { return JoinPath(folder, name); };
  return WritePng(RenderPointerGlyph(), path(ExportFile::PointerPicture)) &&
         WriteText(path(ExportFile::PointerCommandFile), PointerCommands(steps)) &&
         WriteText(path(ExportFile::ChapterFile), ChapterMetadata(Chapters(source.slides, duration))) &&
         WriteText(path(ExportFile::TimeText), TimeTextExpansion()) &&
         WriteText(path(ExportFile::Graph), FilterGraph(PointerCrossesRightEdge(steps)));
}

QString PresenterRefusal(const ExportSource& source) {
  if (source.presenter.isEmpty())
    return ShowPath(JoinPath(source.folder, QStringLiteral("Video.flv"))) + QStringLiteral("が見つかりません。");
  // Only a video that begins as its name says reaches the encoder: a FIFO would block it, a playlist
  // would lead it onto the network or into other folders.
  const VideoKind kind =
      source.presenter.endsWith(QStringLiteral(".avi"), Qt::CaseInsensitive) ? VideoKind::Avi : VideoKind::Flv;
  return VideoRefusal(source.presenter, source.folder, kind);
}

ExportResult ExportLecture(const ExportSource& source, const QString& output, const ExportOptions& options) {
  if (const QString why = PresenterRefusal(source); !why.isEmpty()) return Fail(why);
  const OutputPlace place = CheckOutputPlace(output, source.folder, InputsOf(source));
  if (!place.refusal.isEmpty()) return Fail(place.refusal);
  const QString target = place.path;
  const QStringList missing = MissingPictures(source);
  if (options.strict && !missing.isEmpty())
    return Fail(QStringLiteral("次のスライドの画像がないため、書き出しません。\r") + MissingPicturesText(missing));

  QtProcessRunner ownRunner;
  ProcessRunner& runner = options.runner ? *options.runner : ownRunner;

  if (options.workFolder.isEmpty()) return Fail(QStringLiteral("作業用のフォルダがありません。"));
  QDir().mkpath(options.workFolder);
  QTemporaryDir work(JoinPath(options.workFolder, QStringLiteral("export-XXXXXX")));
  if (!work.isValid()) return Fail(ShowPath(options.workFolder) + QStringLiteral("に作業用のフォルダを作れません。"));

  // The name being written is held from here to the end: a second export of it is refused, and
  // what a killed export left there is taken over.
  PartFileHold part;
  QString refusal;
  if (!part.Take(target, &refusal)) return Fail(refusal);

  // The video's length: the export is exactly as long.
  const QString presenter = QFileInfo(source.presenter).absoluteFilePath();
  const QString ffmpeg = QStringLiteral("ffmpeg");
  EncoderJob probe(runner);
  const EncoderJob::Outcome probed =
      probe.Run(ffmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-i"),
                         QStringLiteral("file:") + presenter},
                work.path(), options.programFolder,
                [&](const EncoderProgress&) { return !options.onProgress || options.onProgress(ExportProgress{}); });
  if (probed == EncoderJob::Outcome::Cancelled) return Cancelled();
  if (probed == EncoderJob::Outcome::FailedToStart) return Fail(StartFailure(options.programFolder));
  const double duration = probe.Progress().duration;
  if (!(duration > 0)) {
    const QString why = probe.LastErrorLine();
    return Fail(why.isEmpty() ? ShowPath(presenter) + QStringLiteral("の長さがわかりません。")
                              : ShowPath(presenter) + QStringLiteral("の長さがわかりません。\r") + why);
  }

  const QString stream = JoinPath(work.path(), ExportFile::SlideStream);
  if (!WriteExportFiles(source, duration, work.path()) ||
      ::mkfifo(QFile::encodeName(stream).constData(), 0600) != 0)
    return Fail(ShowPath(work.path()) + QStringLiteral("に作業用のファイルを書けません。"));

  // The slide frames are drawn and handed on by threads of their own while the encoder runs.
  SlideFeed feed(source, FrameRuns(source.slides, FrameCount(duration)), stream);
  EncoderJob encode(runner);
  const EncoderJob::Outcome encoded =
      encode.Run(ffmpeg, EncoderArguments(presenter, part.PartPath(), duration, options.quality), work.path(),
                 options.programFolder, [&](const EncoderProgress& p) {
                   return !options.onProgress || options.onProgress(ExportProgress{p.seconds, duration});
                 });
  feed.Stop();
  feed.Finish();
  switch (encoded) {
    case EncoderJob::Outcome::Succeeded: break;
    case EncoderJob::Outcome::Cancelled: return Cancelled();
    case EncoderJob::Outcome::FailedToStart: return Fail(StartFailure(options.programFolder));
    case EncoderJob::Outcome::Failed: return Fail(EncoderFailureText(encode.LastLines(), target));
  }
  if (QFileInfo(part.PartPath()).size() <= 0) return Fail(QStringLiteral("ffmpegが動画を書き出しませんでした。"));
  if (!part.Commit()) return Fail(ShowPath(target) + QStringLiteral("に書き込めません。"));
  ExportResult done{ExportResult::Done, {}, target, missing};
  for (const int slide : feed.SlidesNotFound()) {
    const QString named = SlideNamed(source.slides, slide);
    if (!done.missingPictures.contains(named)) done.missingPictures << named;
  }
  return done;
}

}  // namespace kemo
