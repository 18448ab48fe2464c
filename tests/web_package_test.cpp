// The web package: the page's data as text that no caption can turn into markup, where the package
// may go, and the whole command (real ffmpeg, real executable) with missing pictures, a replaced
// earlier package and a failing encoder. The page itself is tested in a real browser
// (tests/web/web_page_test.sh).
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <iostream>
#include <sys/stat.h>

#include "document/editor.h"
#include "platform/paths.h"
#include "support/lecture_slide.h"
#include "support/test_support.h"
#include "web/web_package.h"

namespace kemo {
namespace {

QString EditorExecutable() { return JoinPath(QCoreApplication::applicationDirPath(), QStringLiteral("kemo-editor")); }

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(); }

struct WebRun {
  int code = -1;
  QString err;
};
WebRun RunWeb(const QStringList& args) {
  QProcess p;
  p.start(EditorExecutable(), QStringList{QStringLiteral("--web")} + args);
  if (!p.waitForFinished(240000)) return {};
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError())};
}

// The JSON of data.js: the script less its "window.KEMO_DATA = " and ";".
QJsonObject DataOf(const QByteArray& script) {
  const qsizetype from = script.indexOf('{'), to = script.lastIndexOf('}');
  return QJsonDocument::fromJson(script.mid(from, to - from + 1)).object();
}

SlideRecord Slide(double pos, const QString& caption) {
  SlideRecord s;
  s.pos = pos;
  s.caption = caption;
  return s;
}

QStringList Leftovers(const QString& parent) {
  return QDir(parent).entryList({QStringLiteral("*.part-*"), QStringLiteral("*.old-*")},
                                QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(WebPackage, EveryCaptionStaysTextInTheDataScriptAndTheChapters) {
  const QStringList captions = {QStringLiteral("<img src=x onerror=alert(1)>"), QStringLiteral("</script><script>alert(1)//"),
                                QStringLiteral("a & b \"c\" \\d"), QStringLiteral("行\u2028区切り\u2029段落"),
                                QStringLiteral("<!-- x -->"), QStringLiteral("第1回\n-->\n\n講義")};
  std::vector<WebSlide> slides;
  std::vector<SlideRecord> records;
  for (int i = 0; i < captions.size(); ++i) {
    slides.push_back(WebSlide{captions[i], captions[i], i * 10.0, false, QStringLiteral("slides/0001.png"),
                              QStringLiteral("thumbs/0001.jpg")});
    records.push_back(Slide(i * 10.0, captions[i]));
  }
  const QByteArray script = WebDataScript(QStringLiteral("<b>講義</b>"), 60, slides, records, {}, {});
  ASSERT_TRUE(script.startsWith("window.KEMO_DATA = {"));
  // Times in as few digits as they take: an hour's pointer track stays small.
  EXPECT_TRUE(WebDataScript({}, 2.03, {}, {}, {}, {}).contains("\"duration\":2.03,"));
  for (const char* bad : {"<", ">", "&", "\xE2\x80\xA8", "\xE2\x80\xA9"}) EXPECT_FALSE(script.contains(bad)) << bad;
  const QJsonObject data = DataOf(script);
  EXPECT_EQ(data[QStringLiteral("title")].toString(), QStringLiteral("<b>講義</b>"));
  const QJsonArray list = data[QStringLiteral("slides")].toArray();
  ASSERT_EQ(list.size(), captions.size());
  for (int i = 0; i < captions.size(); ++i) {
    EXPECT_EQ(list[i].toObject()[QStringLiteral("caption")].toString(), captions[i]);
    EXPECT_EQ(data[QStringLiteral("chapters")].toArray()[i].toArray()[2].toString(), captions[i]);
  }

  // A WebVTT cue: markup characters as references, one line, no "-->" of the caption's own left
  // on a line of its own that would start a cue.
  const QString vtt = ChaptersVtt(records, 60);
  EXPECT_TRUE(vtt.startsWith(QStringLiteral("WEBVTT\n")));
  EXPECT_TRUE(vtt.contains(QStringLiteral("\n1\n00:00:00.000 --> 00:00:10.000\n&lt;img src=x onerror=alert(1)&gt;\n")));
  EXPECT_TRUE(vtt.contains(QStringLiteral("\n00:00:50.000 --> 00:01:00.000\n第1回 --&gt; 講義\n")));
  EXPECT_FALSE(vtt.contains(QLatin1Char('<')));
}

TEST(WebPackage, ThePackageNeverGoesIntoOrOverTheDataFolder) {
  QTemporaryDir root;
  const QString data = JoinPath(root.path(), QStringLiteral("講義"));
  test::WriteFile(JoinPath(data, QStringLiteral("content.xml")), "<content/>");
  QDir().mkpath(JoinPath(root.path(), QStringLiteral("empty")));
  test::WriteFile(JoinPath(root.path(), QStringLiteral("site/index.html")), "<html>mine</html>");
  test::WriteFile(JoinPath(root.path(), QStringLiteral("earlier/index.html")),
                  "<!DOCTYPE html>\n<meta name=\"generator\" content=\"Kemo.Editor\">");
  test::WriteFile(JoinPath(root.path(), QStringLiteral("file")), "x");
  QFile::link(data, JoinPath(root.path(), QStringLiteral("link")));
  const struct {
    QString out;
    QString refusal;  // "" when it may take the package
  } cases[] = {
      {data, QStringLiteral("データフォルダの中にある")},
      {JoinPath(data, QStringLiteral("web")), QStringLiteral("データフォルダの中にある")},
      {JoinPath(root.path(), QStringLiteral("link/new/web")), QStringLiteral("データフォルダの中にある")},
      {JoinPath(data, QStringLiteral("../講義/./web")), QStringLiteral("データフォルダの中にある")},
      {root.path(), QStringLiteral("データフォルダを含む")},
      {JoinPath(root.path(), QStringLiteral("file")), QStringLiteral("フォルダではない")},
      {JoinPath(root.path(), QStringLiteral("site")), QStringLiteral("空でないフォルダ")},
      {JoinPath(root.path(), QStringLiteral("empty")), QString()},
      {JoinPath(root.path(), QStringLiteral("earlier")), QString()},
      {JoinPath(root.path(), QStringLiteral("new/deeper/web")), QString()},
  };
  for (const auto& c : cases) {
    const QString why = WebOutputRefusal(data, c.out);
    if (c.refusal.isEmpty())
      EXPECT_TRUE(why.isEmpty()) << c.out.toStdString() << ": " << why.toStdString();
    else
      EXPECT_TRUE(why.contains(c.refusal) && why.contains(QStringLiteral("書き出し先にできません")))
          << c.out.toStdString() << ": " << why.toStdString();
  }
}

// The whole command as a user runs it: the package of a folder with a wide picture, two slides
// sharing one picture and one missing picture; written again over itself; and refused places.
TEST(WebPackage, TheCommandLineWritesTheWholePackageAndListsMissingPictures) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  QTemporaryDir root;
  const QString data = JoinPath(root.path(), QStringLiteral("第5回"));
  QDir().mkpath(data);
  ASSERT_TRUE(test::MakeRecordingFlv(JoinPath(data, QStringLiteral("Video.flv")), 4));
  test::NumberPicture(1, 1600, 1200).save(JoinPath(data, QStringLiteral("001.jpg")));
  test::NumberPicture(2, 800, 600).save(JoinPath(data, QStringLiteral("002.png")));
  test::WriteFile(JoinPath(data, QStringLiteral("content.xml")),
                  test::ContentXml({QStringLiteral("0|表紙|001.jpg"), QStringLiteral("1|本題|002.png"),
                                    QStringLiteral("2|無い絵|lost.jpg"), QStringLiteral("3|再掲|001.jpg")},
                                   {QStringLiteral("0|0.5|0.5"), QStringLiteral("2|0.25|0.75")}));
  const QString out = JoinPath(root.path(), QStringLiteral("公開/web"));

  WebRun r = RunWeb({data, out});
  EXPECT_EQ(r.code, 3) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("警告: スライド 3（lost.jpg）の画像が見つからないか読めないため")))
      << r.err.toStdString();
  for (const QString& f : WebFile::PageFiles + QStringList{WebFile::Data, WebFile::Chapters, WebFile::Video})
    EXPECT_GT(QFileInfo(JoinPath(out, f)).size(), 0) << f.toStdString();

  // The video: H.264 and AAC in an MP4 whose index comes before the media (it plays while loading).
  QProcess probe;
  probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                          QStringLiteral("stream=codec_name"), QStringLiteral("-of"),
                                          QStringLiteral("csv=p=0"), JoinPath(out, WebFile::Video)});
  ASSERT_TRUE(probe.waitForFinished(60000));
  EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            (QStringList{QStringLiteral("h264"), QStringLiteral("aac")}));
  const QByteArray head = test::ReadFile(JoinPath(out, WebFile::Video)).left(1 << 16);
  ASSERT_GE(head.indexOf("moov"), 0);
  EXPECT_TRUE(head.indexOf("mdat") < 0 || head.indexOf("moov") < head.indexOf("mdat"));

  // The pictures: at most 1280 wide, a shared one written once, the missing one shown as the default.
  const QJsonObject d = DataOf(test::ReadFile(JoinPath(out, WebFile::Data)));
  const QJsonArray slides = d[QStringLiteral("slides")].toArray();
  ASSERT_EQ(slides.size(), 4);
  const auto file = [&](int slide, const char* key) {
    return JoinPath(out, slides[slide].toObject()[QLatin1String(key)].toString());
  };
  EXPECT_EQ(file(3, "picture"), file(0, "picture"));
  EXPECT_TRUE(slides[2].toObject()[QStringLiteral("missing")].toBool());
  EXPECT_FALSE(slides[1].toObject()[QStringLiteral("missing")].toBool());
  EXPECT_EQ(QImageReader(file(0, "picture")).size(), QSize(1280, 960));
  EXPECT_EQ(QImageReader(file(1, "picture")).size(), QSize(800, 600));
  EXPECT_EQ(QImageReader(file(1, "thumb")).size().width(), WebSize::ThumbWidth);
  EXPECT_EQ(QDir(JoinPath(out, QStringLiteral("slides"))).entryList(QDir::Files).size(), 3);
  EXPECT_NEAR(d[QStringLiteral("duration")].toDouble(), 4.0, 0.2);
  EXPECT_EQ(d[QStringLiteral("spans")].toArray().size(), 4);
  // The pointer as the stage places it: the fraction plus the stage's 10 twips.
  const QJsonArray p = d[QStringLiteral("pointer")].toArray()[1].toArray();
  EXPECT_NEAR(p[1].toDouble(), 0.25 + 10 / 9525.0, 1e-4);
  EXPECT_NEAR(p[2].toDouble(), 0.75 + 10 / (9525.0 * 3 / 4), 1e-4);

  // Again over the earlier package: replaced whole, nothing left beside it.
  test::WriteFile(JoinPath(out, QStringLiteral("stale.txt")), "old");
  r = RunWeb({data, out});
  EXPECT_EQ(r.code, 3) << r.err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(JoinPath(out, QStringLiteral("stale.txt"))));
  EXPECT_TRUE(QFileInfo::exists(JoinPath(out, WebFile::Page)));
  EXPECT_TRUE(Leftovers(QFileInfo(out).path()).isEmpty());

  // Refused: inside the data folder (nothing made there), a wrong command line.
  const QStringList before = QDir(data).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  r = RunWeb({data, JoinPath(data, QStringLiteral("web"))});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains(QStringLiteral("データフォルダの中にある"))) << r.err.toStdString();
  EXPECT_EQ(QDir(data).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
  EXPECT_EQ(RunWeb({data}).code, 2);
}

// The slides of a lecture as a presentation program exports them (1024 x 768, as PNG and as the
// recorder's JPEG; one shown again under another name): everything but the video within 5 MB for
// 120 slides, each picture and thumbnail decoding at its size, the repeated one written once.
TEST(WebPackage, ALecturesPicturesStayWithinFiveMegabytesFor120Slides) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  for (const char* format : {"png", "jpg"}) {
    SCOPED_TRACE(format);
    QTemporaryDir root;
    const QString data = JoinPath(root.path(), QStringLiteral("講義"));
    QDir().mkpath(data);
    ASSERT_TRUE(test::MakeRecordingFlv(JoinPath(data, QStringLiteral("Video.flv")), 2));
    constexpr int kCount = 12;
    QStringList scenes;
    for (int k = 0; k <= kCount; ++k) {
      const QString name = QStringLiteral("%1.%2").arg(k + 1, 3, 10, QLatin1Char('0')).arg(format);
      const int quality = *format == 'j' ? 90 : -1;  // as the recorder saves its JPEGs
      ASSERT_TRUE(test::LectureSlide(k < kCount ? k + 1 : 1, kCount).save(JoinPath(data, name), nullptr, quality));
      scenes << QStringLiteral("%1|スライド%2|%3").arg(k * 0.15).arg(k + 1).arg(name);
    }
    test::WriteFile(JoinPath(data, QStringLiteral("content.xml")), test::ContentXml(scenes, {}));
    const QString out = JoinPath(root.path(), QStringLiteral("web"));
    const WebRun r = RunWeb({data, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    qint64 bytes = 0;
    for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
      if (it.next(), it.fileName() != WebFile::Video) bytes += it.fileInfo().size();
    EXPECT_LE(bytes, 5'000'000 * (kCount + 1) / 120);
    const QJsonArray slides = DataOf(test::ReadFile(JoinPath(out, WebFile::Data)))[QStringLiteral("slides")].toArray();
    ASSERT_EQ(slides.size(), kCount + 1);
    for (const QJsonValue& v : slides) {
      const QJsonObject slide = v.toObject();
      EXPECT_EQ(QImage(JoinPath(out, slide[QStringLiteral("picture")].toString())).size(), QSize(1024, 768))
          << slide[QStringLiteral("picture")].toString().toStdString();
      EXPECT_EQ(QImage(JoinPath(out, slide[QStringLiteral("thumb")].toString())).size(), QSize(160, 120));
    }
    EXPECT_EQ(slides[kCount].toObject()[QStringLiteral("picture")], slides[0].toObject()[QStringLiteral("picture")]);
    EXPECT_EQ(QDir(JoinPath(out, QStringLiteral("slides"))).entryList(QDir::Files).size(), kCount);
    std::cerr << format << " slides, package less its video: " << bytes << " bytes\n";
  }
}

// The 256-colour picture: a picture of 256 colours kept exactly; a slide (smooth text edges in
// hundreds of colours) at its size and scaled down kept within the error allowed; a photograph refused.
TEST(WebPackage, APalettePictureKeepsTheSlideOrIsRefused) {
  const QImage slide = test::LectureSlide(4, 4).convertToFormat(QImage::Format_RGB32);
  QImage few(64, 48, QImage::Format_RGB32), photo(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      few.setPixel(x, y, qRgb((x + y * 64) % 256, 255 - (x + y * 64) % 256, 7));
      photo.setPixel(x, y, qRgb(x * 4 ^ y * 5, (x * y) % 256, (x * 37 + y * 91) % 256));
    }
  const struct {
    QImage picture;
    double maxError;  // root mean square, levels of 255; < 0: refused
  } cases[] = {{few, 0}, {slide, 2.5}, {slide.scaledToWidth(700, Qt::SmoothTransformation), 2.5}, {photo, -1}};
  for (const auto& c : cases) {
    const QImage indexed = PalettePicture(c.picture);
    ASSERT_EQ(indexed.isNull(), c.maxError < 0) << c.picture.width();
    if (indexed.isNull()) continue;
    EXPECT_EQ(indexed.format(), QImage::Format_Indexed8);
    const QImage back = indexed.convertToFormat(QImage::Format_RGB32);
    double error = 0;
    for (int y = 0; y < back.height(); ++y)
      for (int x = 0; x < back.width(); ++x) {
        const QRgb a = back.pixel(x, y), b = c.picture.pixel(x, y);
        error += std::pow(qRed(a) - qRed(b), 2) + std::pow(qGreen(a) - qGreen(b), 2) + std::pow(qBlue(a) - qBlue(b), 2);
      }
    EXPECT_LE(std::sqrt(error / (3.0 * back.width() * back.height())), c.maxError) << c.picture.width();
  }
}

// Videos that must not make a package: one the encoder cannot read fails with the encoder's reason,
// a playlist or a FIFO named Video.flv never reaches it (a FIFO would block it for ever). Each time an
// earlier package at OUTDIR stays as it was and no half-written package is left anywhere.
TEST(WebPackage, ABadVideoLeavesTheEarlierPackageAsItWas) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  const struct {
    QByteArray body;  // empty: a FIFO
    QString reason;   // part of the message; "" for the encoder's own
  } cases[] = {{test::kFlvHead + QByteArray(4000, '\x7f'), QString()},
               {"#EXTM3U\nhttp://127.0.0.1:9/x.flv\n", QStringLiteral("FLV形式の動画ファイルではありません")},
               {QByteArray(), QStringLiteral("Video.flv")}};
  for (const auto& c : cases) {
    QTemporaryDir root;
    const QString data = JoinPath(root.path(), QStringLiteral("壊れた"));
    const QString flv = JoinPath(data, QStringLiteral("Video.flv"));
    test::WriteFile(JoinPath(data, QStringLiteral("content.xml")), test::ContentXml({QStringLiteral("0|表紙|")}, {}));
    if (c.body.isEmpty())
      ASSERT_EQ(::mkfifo(QFile::encodeName(flv).constData(), 0600), 0);
    else
      test::WriteFile(flv, c.body);
    const QString out = JoinPath(root.path(), QStringLiteral("web"));
    test::WriteFile(JoinPath(out, WebFile::Page), "<meta name=\"generator\" content=\"Kemo.Editor\"> earlier");
    const WebRun r = RunWeb({data, out});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(c.reason.isEmpty() ? !r.err.trimmed().isEmpty() : r.err.contains(c.reason)) << r.err.toStdString();
    EXPECT_TRUE(test::ReadFile(JoinPath(out, WebFile::Page)).endsWith("earlier"));
    EXPECT_TRUE(Leftovers(root.path()).isEmpty()) << Leftovers(root.path()).join(QLatin1Char(' ')).toStdString();
  }
}

// The menu item right after 動画に書き出し, enabled with it; the package goes into the chosen folder
// under the data folder's name, and the message names it.
TEST(WebCommand, TheMenuItemWritesThePackageBesideTheChosenFolder) {
  test::Window w;
  QTemporaryDir root;
  const QString data = JoinPath(root.path(), QStringLiteral("第3回"));
  w.OpenFolder(data, {QStringLiteral("0|表紙|001.jpg")});
  QAction* item = w.window->findChild<QAction*>(QStringLiteral("mnuFileWeb"));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), QStringLiteral("Web用に書き出し(&W)…"));
  const QList<QAction*> actions = w.ed().ui.mnuFile->actions();
  EXPECT_EQ(actions.indexOf(item), actions.indexOf(w.ed().ui.mnuFileExport) + 1);
  w.ed().ui.mnuFileExport->setEnabled(false);
  EXPECT_FALSE(item->isEnabled());
  w.ed().ui.mnuFileExport->setEnabled(true);
  ASSERT_TRUE(item->isEnabled());
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  ASSERT_TRUE(test::MakeRecordingFlv(JoinPath(data, QStringLiteral("Video.flv")), 2));
  test::NumberPicture(1).save(JoinPath(data, QStringLiteral("001.jpg")));

  w.messages.shown.clear();
  w.dialogs.folders.push_back(root.path());
  item->trigger();
  const QString out = JoinPath(root.path(), QStringLiteral("第3回_web"));
  EXPECT_TRUE(QFileInfo::exists(JoinPath(out, WebFile::Page)));
  ASSERT_FALSE(w.messages.shown.empty());
  EXPECT_TRUE(w.messages.LastText().startsWith(QStringLiteral("Web用に書き出しました。\r") + ShowPath(out)))
      << w.messages.LastText().toStdString();
  // Choosing the data folder's own parent again asks before the earlier package is replaced.
  w.messages.answers.push_back(MsgResult::No);
  w.dialogs.folders.push_back(root.path());
  item->trigger();
  EXPECT_TRUE(w.messages.LastText().contains(QStringLiteral("は既にあります。置き換えますか？")));
}

}  // namespace
}  // namespace kemo
