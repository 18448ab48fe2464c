// The floor the editor's start-up and memory are measured against: a bare Qt main window, started
// with the settings the editor starts with, and with a video argument a QMediaPlayer playing it in a
// QVideoWidget with sound, as the editor plays a lecture.
#include <QApplication>
#include <QAudioOutput>
#include <QMainWindow>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Bare window"));
  window.resize(1008, 727);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() > 1) {
    auto* video = new QVideoWidget(&window);
    window.setCentralWidget(video);
    auto* player = new QMediaPlayer(&window);
    auto* audio = new QAudioOutput(&window);
    player->setAudioOutput(audio);
    player->setVideoOutput(video);
    player->setSource(QUrl::fromLocalFile(args.at(1)));
    player->play();
  }
  window.show();
  return app.exec();
}
