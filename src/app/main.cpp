// Kemo.Editor: process start-up. One instance at a time; the window comes up without a data folder,
// or opens the folder named on the command line (kemo-editor FOLDER) as フォルダ指定 does.
#include <QApplication>
#include <QImageReader>
#include <QPixmap>
#include <QPixmapCache>
#include <QScopeGuard>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <memory>
#include <optional>

#include "app/frm_main.h"
#include "batch/batch_command.h"
#include "app/help_menu.h"
#include "export/export_command.h"
#include "platform/beep.h"
#include "platform/file_dialogs.h"
#include "platform/first_paint.h"
#include "platform/font_warm_up.h"
#include "platform/heap.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/process_runner.h"
#include "platform/qt_media_player.h"
#include "platform/services.h"
#include "platform/paths.h"
#include "platform/player_icons.h"
#include "platform/single_instance.h"
#include "platform/termination_signals.h"
#include "platform/work_folder.h"
#include "timing/check_command.h"
#include "web/web_command.h"

namespace {

// The program's own icon, unless the user's icon theme has one of that name.
void SetWindowIcon() {
  QIcon own;
  // Read as PNG by name: a reader left to find the format out would load every image plugin to ask.
  // Up to 64 pixels: the window manager scales for anything larger, and the two larger pictures
  // would stay in memory for as long as the editor runs (a third of a megabyte). Launchers take the
  // installed theme's icons.
  for (int size : {16, 32, 48, 64}) {
    QImageReader reader(QStringLiteral(":/icons/kemo-editor-%1.png").arg(size), "png");
    reader.setAutoDetectImageFormat(false);
    own.addPixmap(QPixmap::fromImage(reader.read()));
  }
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kemo-editor"), own));
}

}  // namespace

int main(int argc, char** argv) {
  kemo::TuneHeap();
  // Qt's ffmpeg media backend crashes here without a sound device and ignores seeks in FLV files.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  // The video is 240 x 160: drawing it without OpenGL costs nothing noticeable, while a software
  // OpenGL stack, where no graphics driver is installed, would take some 60 MB of memory.
  if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
  // The timing check reads files only: no toolkit beyond its core.
  if (kemo::IsCheckCommandLine(argc, argv)) {
    QCoreApplication app(argc, argv);
    return kemo::RunCheckCommandLine(QCoreApplication::arguments().mid(1));
  }
  // --help and --version answer on stdout, without a window or a display.
  if (const int status = kemo::RunInfoCommandLine(argc, argv); status >= 0) return status;
  // An export from the command line needs no window, no display and no single-instance lock.
  if (kemo::IsExportCommandLine(argc, argv) || kemo::IsWebCommandLine(argc, argv)) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString programFolder = kemo::FindProgramDataFolder(QDir::cleanPath(QCoreApplication::applicationDirPath()));
    if (kemo::IsWebCommandLine(argc, argv))
      return kemo::RunWebCommandLine(QCoreApplication::arguments().mid(1), programFolder);
    return kemo::RunExportCommandLine(QCoreApplication::arguments().mid(1), programFolder);
  }
  // Work on many folders (and one folder's conversion) without a window, likewise.
  if (kemo::IsBatchCommandLine(argc, argv)) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return kemo::RunBatchCommandLine(
        QCoreApplication::arguments().mid(1), QCoreApplication::applicationFilePath(),
        kemo::FindProgramDataFolder(QDir::cleanPath(QCoreApplication::applicationDirPath())));
  }
  kemo::FontWarmUp fonts;
  // The menus stay in the window, as their keys and the window tests expect, and the menu bar does
  // not wait on the session bus for a desktop's global menu.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  fonts.FillFontListOnceTheDisplayIsOpen();
  QApplication app(argc, argv);
  const auto fontsEnded = qScopeGuard([&fonts] { fonts.Finish(); });
  QApplication::setStyle(kemo::CreateEditorStyle());
  // The window's face for every window, its menus and message boxes too: the toolkit's default face
  // would be loaded beside it for them (and for a control made before it has its parent).
  QApplication::setFont(kemo::FrmMain::WindowFont(QApplication::font()));
  QApplication::setApplicationName(QStringLiteral("Kemo.Editor"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kemo.editor"));
  // The style's pixmap cache need not hold more than a few of its drawings.
  QPixmapCache::setCacheLimit(2048);

  // One instance per user and display, decided before any window exists; a later start hands its
  // arguments (paths made absolute here, since the running instance has a working folder of its own)
  // to the running one and ends.
  const QStringList arguments =
      kemo::SingleInstance::ForwardedArguments(QCoreApplication::arguments().mid(1), QDir::currentPath());
  kemo::SingleInstance instance(QStringLiteral("kemo-editor-") + qEnvironmentVariable("DISPLAY"));
  // It listens once the window is on the screen; a later start meanwhile waits for it.
  const auto role =
      instance.Start(arguments, kemo::SingleInstance::kPatienceMs, kemo::SingleInstance::Listening::Later);
  if (role == kemo::SingleInstance::Role::Forwarded) return 0;
  // The folder of the command line: its first argument that is not an option.
  QString folder;
  for (const QString& a : arguments)
    if (!a.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
      folder = a;
      break;
    }

  // The toolkit's own texts in Japanese (its dialogs' buttons), loaded with the controls.
  QTranslator qtJapanese;

  // The icon theme is looked up only once the window is on the screen: the toolkit's standard
  // icons (the menu bar's extension button) take its built-in pictures meanwhile, and the theme's
  // index would otherwise be read before the first drawing.
  const QStringList iconThemePaths = QIcon::themeSearchPaths();
  QIcon::setThemeSearchPaths({});
  auto player = kemo::CreateQtMediaPlayer();
  kemo::QtMessageBoxes messages;
  kemo::QtFileDialogs dialogs;
  kemo::SystemClock clock;
  kemo::QtPointer pointer;
  kemo::ToneBeeper beeper;
  kemo::QtProcessRunner process;
  kemo::Services services;
  services.player = player.get();
  services.messages = &messages;
  services.dialogs = &dialogs;
  services.clock = &clock;
  services.pointer = &pointer;
  services.beeper = &beeper;
  services.process = &process;

  // The program's data is read where it was installed (or beside the build); what the program
  // writes goes to this editor's own work folder, which ends with it. It is made with the controls.
  std::optional<kemo::EditorWorkFolder> work;
  fonts.WaitForConfiguration();
  // The window is shown with its menus as soon as it can be; its controls are built once that first
  // drawing is on the screen (or after a second, for a window that is never exposed).
  kemo::FrmMain window(services, kemo::FindProgramDataFolder(QDir::cleanPath(QCoreApplication::applicationDirPath())),
                       kemo::FrmMain::Build::FrameFirst);
  messages.SetOwner(&window);
  // A logout, Ctrl+C or a closed terminal ends the editor as 終了 does, keeping the unsaved work.
  kemo::TerminationSignals termination;
  QObject::connect(&termination, &kemo::TerminationSignals::Received, &window, [&window] { window.EndBySignal(); });
  dialogs.SetOwner(&window);
  QObject::connect(&instance, &kemo::SingleInstance::RaiseRequested, &window, [&window] {
    window.showNormal();
    window.raise();
    window.activateWindow();
  });
  // A later start's folder opens after the socket's handler has returned (its questions run their
  // own event loops).
  QObject::connect(&instance, &kemo::SingleInstance::FolderRequested, &window,
                   [&window](const QString& f) { window.OpenFolderFromOutside(f); }, Qt::QueuedConnection);
  window.FitToScreen();
  window.show();
  // Once the controls are on the screen: the window's icon, and the start of the media and sound
  // machinery (which the first video or beep would otherwise do); then the folder of the command
  // line, or the work an earlier editor left, whose questions stand over the whole window.
  auto started = std::make_shared<bool>(false);
  const auto finish = [&window, &player, &beeper, &instance, &work, &qtJapanese, role, iconThemePaths, folder,
                       started] {
    if (*started) return;
    *started = true;
    if (qtJapanese.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      QApplication::installTranslator(&qtJapanese);
    work.emplace(kemo::UserWorkBase());
    window.ed().UserWorkFolder = work->path();
    window.ed().UserWorkBase = work->base();
    if (role == kemo::SingleInstance::Role::First) instance.Listen();
    window.FinishBuilding();
    window.repaint();
    QIcon::setThemeSearchPaths(iconThemePaths);
    SetWindowIcon();
    player->Prepare();
    beeper.Prepare();
    if (!folder.isEmpty())
      QTimer::singleShot(0, &window, [&window, folder] { window.OpenFolderFromOutside(folder); });
    else
      QTimer::singleShot(0, &window, [&window] { window.OfferRecoveryAtStart(); });
  };
  kemo::AfterFirstPaint(&window, finish);
  QTimer::singleShot(1000, &window, finish);
  return app.exec();
}
