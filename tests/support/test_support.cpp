#include "support/test_support.h"

#include "app/recent_folders.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QThread>

#include "document/folder_commands.h"
#include "document/tables.h"

namespace kemo::test {

namespace {
void CopyFileTo(const QString& from, const QString& to) {
  QDir().mkpath(QFileInfo(to).path());
  QFile::remove(to);
  QFile::copy(from, to);
  QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                QFileDevice::ReadOther);
}
}  // namespace

ProgramFolder::ProgramFolder() {
  const QString res = QStringLiteral(KEMO_RESOURCE_DIR);
  CopyFileTo(res + QStringLiteral("/symbol.csv"), path() + QStringLiteral("/symbol.csv"));
  CopyFileTo(res + QStringLiteral("/000.jpg"), path() + QStringLiteral("/000.jpg"));
  CopyFileTo(res + QStringLiteral("/manual.html"), path() + QStringLiteral("/manual.html"));
  CopyFileTo(res + QStringLiteral("/temp/_content.xml"), path() + QStringLiteral("/temp/_content.xml"));
  for (const char* page : {"index.html", "kemo-player.js", "kemo-player.css"})
    CopyFileTo(res + QStringLiteral("/web/") + QLatin1String(page), path() + QStringLiteral("/web/") + QLatin1String(page));
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {
QString Escape(QString s) {
  return s.replace(QLatin1Char('&'), QLatin1String("&amp;"))
      .replace(QLatin1Char('<'), QLatin1String("&lt;"))
      .replace(QLatin1Char('"'), QLatin1String("&quot;"));
}
}  // namespace

QByteArray ContentXml(const QStringList& scenes, const QStringList& points) {
  QString x = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content>\n<slide>");
  for (const QString& s : scenes) {
    const QStringList f = s.split(QLatin1Char('|'));
    x += QStringLiteral("<scene pos=\"%1\" caption=\"%2\" image=\"%3\"/>")
             .arg(Escape(f.value(0)), Escape(f.value(1)), Escape(f.value(2)));
  }
  x += QStringLiteral("</slide>\n<cursor>");
  for (const QString& p : points) {
    const QStringList f = p.split(QLatin1Char('|'));
    x += QStringLiteral("<p t=\"%1\" x=\"%2\" y=\"%3\"/>").arg(Escape(f.value(0)), Escape(f.value(1)), Escape(f.value(2)));
  }
  x += QStringLiteral("</cursor>\n</content>\n");
  return x.toUtf8();
}

bool MakeRecordingFlv(const QString& path, int seconds) {
  const QString d = QString::number(seconds);
  QProcess p;
  p.setWorkingDirectory(QFileInfo(path).path());
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("testsrc=duration=%1:size=320x240:rate=15").arg(d), QStringLiteral("-f"),
           QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=%1").arg(d),
           QStringLiteral("-shortest"), path});
  return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QImage NumberPicture(int number, int width, int height) {
  static const QColor kBacks[] = {QColor(235, 235, 235), QColor(200, 220, 255), QColor(210, 245, 210),
                                  QColor(250, 245, 190), QColor(200, 245, 245), QColor(230, 210, 250)};
  QImage img(width, height, QImage::Format_RGB32);
  img.fill(kBacks[number % 6]);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QFont f;
  f.setPixelSize(height * 2 / 3);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::black);
  p.drawText(img.rect(), Qt::AlignCenter, QString::number(number));
  // A frame and a diagonal, so that a picture drawn at the wrong size or place does not match.
  p.setPen(QPen(QColor(0, 0, 120), 6));
  p.drawRect(img.rect().adjusted(10, 10, -10, -10));
  p.drawLine(QPoint(0, height), QPoint(width / 4, height * 3 / 4));
  return img;
}

void WriteJpeg(const QString& path, int width, int height, const QColor& color) {
  QDir().mkpath(QFileInfo(path).path());
  QImage img(width, height, QImage::Format_RGB32);
  img.fill(color);
  img.save(path, "JPG");
}

Window::Window(FrmMain::Build build) {
  clock.now = QDateTime(QDate(2026, 12, 8), QTime(9, 30));
  Services s;
  s.player = &player;
  s.messages = &messages;
  s.dialogs = &dialogs;
  s.clock = &clock;
  s.beeper = &beeper;
  s.pointer = &pointer;
  RecentFolders::Forget();
  window = std::make_unique<FrmMain>(s, program.path(), build);
  ed().UserWorkFolder = program.work();
}

Window::~Window() {
  // Tear down without the exit question or the player shutdown.
  window.reset();
}

void Window::OpenFolder(const QString& folder, const QStringList& scenes, const QStringList& points) {
  WriteFile(folder + QStringLiteral("/content.xml"), ContentXml(scenes, points));
  WriteFile(folder + QStringLiteral("/Video.flv"), kFlvHead + "flv");
  WriteFile(folder + QStringLiteral("/Video.avi"), kAviHead + "avi");
  dialogs.folders.push_back(folder);
  OnFileOpen(ed());
  messages.Clear();
}

BoundTables::BoundTables() : ed(std::make_unique<Editor>()) {
  clock.now = QDateTime(QDate(2026, 12, 8), QTime(9, 30));
  ed->RS_SLD = &sld;
  ed->RS_CUR = &cur;
  ed->RS_SLDEDT = &sldEdt;
  ed->ui.dgSlide = &dgSlide;
  ed->ui.dgCursor = &dgCursor;
  ed->ui.dgSlideEdit = &dgSlideEdit;
  ed->ui.lbSldCnt = {&count0, &count1};
  ed->svc.messages = &messages;
  ed->svc.clock = &clock;
  ed->ProgramFolder = program.path();
  ed->UserWorkFolder = program.work();
  ed->DataFolder = data.path();
  ReadSymbolFile(*ed);
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  } while (t.elapsed() < ms);
}

}  // namespace kemo::test
