#pragma once
// The main window frmMain: builds the controls, menus and timers at their design places, connects
// their events to the procedures below, and runs start-up and shutdown. The procedures themselves
// work on the Editor context this window owns.
#include <QMainWindow>
#include <memory>

#include "document/editor.h"

namespace kemo {

class RecordSet;

class FrmMain : public QMainWindow {
  Q_OBJECT
 public:
  // The services are the caller's (the real ones in main, doubles in tests) and must outlive the window.
  FrmMain(const Services& services, const QString& programFolder, QWidget* parent = nullptr);
  ~FrmMain() override;

  Editor& ed() { return ed_; }

  // The Exit command (終了).
  void OnExitCommand();

  // True once the shutdown sequence has run (the window then closes).
  bool ShutDown() const { return shutDown_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildControls();
  void BuildMenus();
  void WireShell();
  void OnMainWindowLoad();
  // The unload sequence; false when the user keeps the window open.
  bool OnMainWindowUnload();

  Editor ed_;
  bool shutDown_ = false;
  std::unique_ptr<RecordSet> rsSld_, rsCur_, rsSldEdt_, rsRecCur_;
};

// The exit question's text for the work pending now.
QString ExitQuestionText(const Editor& ed);

}  // namespace kemo
