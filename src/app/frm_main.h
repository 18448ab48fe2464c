#pragma once
// The main window frmMain: builds the controls, menus and timers at their design places, connects
// their events to the procedures below, and runs start-up and shutdown. The procedures themselves
// work on the Editor context this window owns.
#include <QFont>
#include <QMainWindow>
#include <memory>

#include "document/editor.h"

namespace kemo {

class RecordSet;
class RecentFolders;

class FrmMain : public QMainWindow {
  Q_OBJECT
 public:
  // How much the constructor builds: the whole window, or its frame and menus alone, so that the
  // program's start can show the window before its controls are built (FinishBuilding builds them).
  enum class Build { Whole, FrameFirst };
  // The services are the caller's (the real ones in main, doubles in tests) and must outlive the window.
  FrmMain(const Services& services, const QString& programFolder, Build build = Build::Whole,
          QWidget* parent = nullptr);
  ~FrmMain() override;

  Editor& ed() { return ed_; }

  // Builds, wires and loads the controls of a window built frame first; nothing once they are.
  // Every command from outside (a folder, a close, a signal) finishes the building first.
  void FinishBuilding();
  bool Built() const { return built_; }

  // The Exit command (終了).
  void OnExitCommand();

  // True once the shutdown sequence has run (the window then closes).
  bool ShutDown() const { return shutDown_; }

  // Sizes and places the window for the screen's available area: the design size when it holds
  // it, otherwise the largest scale of it that fits.
  void FitToScreen();
  // The window's font (its menus, and its controls at the design size), from the desktop's `base`.
  static constexpr int kWindowPoints = 9;
  static QFont WindowFont(QFont base);
  // The client area's size in pixels at the design size (layout scale 1).
  static QSize DesignClientSize();

  // Opens a folder that came from outside the menus (the command line, a second start, a drop,
  // the recent folders) as フォルダ指定 does, questions included. While the video plays, points
  // are recorded or slides are edited, フォルダ指定 is not available and neither is this: the
  // user is told so and nothing changes.
  void OpenFolderFromOutside(const QString& folder);
  // At a start without a folder: work left unsaved by an editor that did not end normally is
  // offered, naming its folder; はい opens that folder with the work restored.
  void OfferRecoveryAtStart();

  // A termination signal (logout, Ctrl+C, a closed terminal): the editor ends as 終了 does, without
  // asking, and the unsaved work stays in the recovery journal for the next start.
  void EndBySignal();

  // Play or pause, as the player's own button does; nothing without a video.
  void TogglePlayback();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void BuildControls();
  void BuildMenus();
  void WireShell();
  void OnMainWindowLoad();
  // The unload sequence; false when the user keeps the window open.
  bool OnMainWindowUnload();
  // Lays the controls out for the client area's size (scale, centring, spare height to the grids).
  void ScaleToClientArea();
  // After any open: a folder that opened goes to the top of the recent folders.
  void AfterOpen(bool opened);

  Editor ed_;
  bool built_ = false;
  // The client area's least size for the screen (FitToScreen), kept for controls built later.
  QSize minimumClient_;
  bool shutDown_ = false;
  bool keepJournal_ = false;
  std::unique_ptr<RecordSet> rsSld_, rsCur_, rsSldEdt_, rsRecCur_;
  std::unique_ptr<RecentFolders> recent_;
  QMenu* mnuFileRecent_ = nullptr;
};

// The exit question's text for the work pending now.
QString ExitQuestionText(const Editor& ed);

}  // namespace kemo
