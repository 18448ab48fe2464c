#pragma once
// The editor's shared state, in one explicit context that the main window creates and hands by
// reference to every procedure: the document (registered slides and points, the slide-edit working
// copy, the recorded run, the staging texts of content.xml, the symbol list, the data folder and the
// changed flag), each subsystem's own state, the record sets, the controls the procedures touch,
// and the services (player, message boxes, dialogs, clock, beep, pointer).
//
// Every control pointer may be null (a test builds only what it needs); procedures skip a step
// whose control is missing, as they skip any other step that cannot be done.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "document/bundled.h"
#include "document/document_state.h"
#include "document/history.h"
#include "document/records.h"
#include "platform/message_box.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace kemo {

class Beeper;
class Clock;
class DataGrid;
class FileDialogs;
class MediaPlayer;
class MessageBoxes;
class Pointer;
class ProcessRunner;
class RecordSet;
class Stage;
struct Editor;
// Each subsystem's own state, declared by its room (slides/slides_state.h, points/points_state.h,
// playback/playback_state.h).
struct SlidesState;
struct PointsState;
struct PlaybackState;

// Operating states.
namespace State {
constexpr uint8_t Idle = 0;
constexpr uint8_t Playing = 1;
constexpr uint8_t RecordPaused = 2;
constexpr uint8_t RecordPlaying = 3;
constexpr uint8_t EditPaused = 4;
constexpr uint8_t EditPlaying = 5;
constexpr uint8_t NoVideo = 8;
constexpr uint8_t NoFolder = 9;
}  // namespace State

// Events of the state machine.
namespace ModeEvent {
constexpr int Started = 1;
constexpr int Stopped = 2;
constexpr int RecOn = 3;
constexpr int RecOff = 4;
constexpr int EditOpened = 5;
constexpr int EditClosed = 6;
}  // namespace ModeEvent

struct Controls {
  QWidget* frmMain = nullptr;  // the window (its caption)
  QWidget* frMain = nullptr;   // the frame holding every control
  QWidget* label = nullptr;    // placeholder giving the recording panel's collapsed place
  std::array<QWidget*, 3> fDialog{};  // 0 recording panel, 1 slide edit panel, 2 slide list panel

  // Player area.
  QWidget* WMPV = nullptr;
  QLabel* WMPVstate = nullptr;
  QLabel* dispTime = nullptr;
  std::array<QPushButton*, 6> cbPlay{};

  // Mode indicators: 0 operation, 1 recording, 2 and 3 fixed frames, 4 slide editing.
  std::array<QLabel*, 5> lbMode{};

  // Grids.
  DataGrid* dgSlide = nullptr;
  DataGrid* dgCursor = nullptr;
  DataGrid* dgSlideEdit = nullptr;
  DataGrid* dgRecCursor = nullptr;

  // Labels.
  std::array<QLabel*, 2> lbSldCnt{};  // 0 slide-edit count, 1 slide count
  std::array<QLabel*, 2> lbRecStat{};  // recording hint, main window and panel
  std::array<QLabel*, 2> lbKeyComment{};
  QLabel* lbRecTimer0 = nullptr;
  QLabel* lbRecTimer1 = nullptr;
  QLabel* lbRecErr = nullptr;
  QWidget* picRecErr = nullptr;
  QLabel* lbRecCnt = nullptr;
  QLabel* lbCursorTitle = nullptr;
  QLabel* lbSlideTitle = nullptr;
  QLabel* lbEdtSldTitle = nullptr;
  QLabel* lbRecCursorTitle = nullptr;
  QLabel* lbFrDrag0 = nullptr;

  // Stage and rulers (index 0, 1, 2 stand for the elements 0, 50, 100).
  Stage* img = nullptr;
  std::array<QFrame*, 3> xLine{};
  std::array<QFrame*, 3> yLine{};
  std::array<QLabel*, 3> xLabel{};
  std::array<QLabel*, 3> yLabel{};

  // Buttons.
  std::array<QPushButton*, 2> cbRec{};
  QPushButton* cbSave = nullptr;
  QPushButton* cbRecDelete = nullptr;
  QPushButton* cbDelete = nullptr;
  QPushButton* cbChkOff = nullptr;
  QPushButton* cbGrid = nullptr;
  QPushButton* cbfrCtl = nullptr;
  QPushButton* cbFrRecClose = nullptr;
  QPushButton* cbSaveSld = nullptr;
  QPushButton* cbDeleteSld = nullptr;
  QPushButton* cbFrSldClose = nullptr;
  QCheckBox* ckRecDisp = nullptr;
  std::array<QRadioButton*, 3> opSmode{};
  std::array<QRadioButton*, 3> opInterval{};
  QWidget* frOpShape = nullptr;
  QWidget* frOpInterval = nullptr;
  QWidget* Shape1 = nullptr;  // its height is the recording panel's expanded height
  QComboBox* dataCombo1 = nullptr;

  // Menus.
  QMenu* mnuFile = nullptr;
  QAction* mnuFileNew = nullptr;
  QAction* mnuFileOpen = nullptr;
  QAction* mnuFileConv = nullptr;
  QAction* mnuFileSaveNew = nullptr;
  QAction* mnuFileExport = nullptr;
  QAction* mnuFileSave = nullptr;
  QAction* mnuFileReset = nullptr;
  QAction* mnuFileEnd = nullptr;
  QMenu* ppCur = nullptr;
  QMenu* ppCurTimer = nullptr;
  QAction* ppCurTimer200ms = nullptr;
  QAction* ppCurTimer100ms = nullptr;
  QAction* ppCurTimer50ms = nullptr;
  QAction* ppCurTimer10ms = nullptr;
  QAction* ppCurRec = nullptr;
  QAction* ppCurRecDisp = nullptr;
  QAction* ppCurInsert = nullptr;
  QAction* ppCurDelete = nullptr;
  QAction* ppCurDisp = nullptr;
  QMenu* ppSld = nullptr;
  QAction* ppSldDelete = nullptr;
  QAction* ppSldInsert = nullptr;
  QAction* ppSldEdit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuEditUndo = nullptr;
  QAction* mnuEditRedo = nullptr;

  // Timers.
  QTimer* playTimer = nullptr;   // 100 ms, while the video plays
  QTimer* recTimer = nullptr;    // the recording sampler
  QTimer* frRecTimer = nullptr;  // 500 ms, refreshes the recorded grid
  QTimer* WaitTm = nullptr;      // 5000 ms, the time-out of every wait for the player
};

struct Services {
  MediaPlayer* player = nullptr;
  MessageBoxes* messages = nullptr;
  FileDialogs* dialogs = nullptr;
  Clock* clock = nullptr;
  Beeper* beeper = nullptr;
  Pointer* pointer = nullptr;
  ProcessRunner* process = nullptr;
};

// What the views above the document do when the document changes under them. The context's constructor
// wires them to the rooms' procedures (playback/editor_context.cpp); a hook left empty does nothing.
struct DocumentViews {
  // After content.xml was read into the tables and their grids: the stage, its markers and the notice
  // of points out of time order.
  std::function<void(Editor&)> AfterLoad;
  // The point table changed under the stage: its markers laid out again and the row's shown.
  std::function<void(Editor&, int pointRow)> PointsChanged;
  // The recorded run was replaced (a restore): the recorder's place, the recording panel and its status.
  std::function<void(Editor&)> RecordedRunReplaced;
  // The recorded run is emptied (cleared or discarded with its grid).
  std::function<void(Editor&)> ClearRecordedPoints;
  std::function<void(Editor&)> DiscardRecordedRun;
  // A video opened: the point commands act on the registered list.
  std::function<void(Editor&)> VideoOpened;
  // The slide-edit working copy differs from the registered slides.
  std::function<bool(const Editor&)> HasUnregisteredSlideEdit;
};

struct Editor {
  Editor();
  Editor(const Editor& other);
  Editor& operator=(const Editor& other);
  ~Editor();

  // --- the document ---
  SlideArray Sld{};
  PointArray Cur{};
  SlideArray SldEdt{};
  PointArray recCur{};
  int16_t SldCnt = 0;
  int16_t CurCnt = 0;
  int16_t SldEdtCnt = 0;
  int16_t recCurCnt = 0;
  NodeTextArray SldXml{};
  NodeTextArray CurXml{};

  QStringList SymOnList, SymOffList, Sym3List;
  QString SymOn() const { return SymOnList.size() > 1 ? SymOnList.at(1) : QString(); }
  QString SymOff() const { return SymOffList.size() > 1 ? SymOffList.at(1) : QString(); }

  QString DataFolder;     // no trailing separator; "" when none is valid
  // The program's own read-only data: symbol.csv, the template temp/_content.xml and 000.jpg
  // (share/kemo-editor when installed; see FindProgramDataFolder).
  QString ProgramFolder;
  // This editor's own writable work folder (the conversion's work files, and new/ for New), made
  // per user and per running editor (see EditorWorkFolder), and the base that holds every editor's.
  QString UserWorkFolder;
  QString UserWorkBase;
  // Derived from the history: false exactly when the registered tables equal content.xml as last
  // loaded or saved.
  bool ContentChanged = false;
  // Undo, redo, the saved point and the recovery journal of the registered tables.
  HistoryHolder history;

  // --- the shell ---
  uint8_t EditorState = State::NoFolder;
  QString FolderCaption;
  bool ExitConfirmed = false;
  bool WaitTimedOut = false;
  // Where inside the recording panel's title strip the button went down (twips), while it is dragged.
  float PanelGrabX = 0, PanelGrabY = 0;
  bool PanelDragging = false;

  // --- subsystems ---
  DocumentState document;
  Bundled<SlidesState> slides;
  Bundled<PointsState> points;
  Bundled<PlaybackState> playback;
  DocumentViews views;

  // --- record sets, controls, services ---
  RecordSet* RS_SLD = nullptr;
  RecordSet* RS_CUR = nullptr;
  RecordSet* RS_SLDEDT = nullptr;
  RecordSet* RS_recCUR = nullptr;
  Controls ui;
  Services svc;
  // The main window's mode refresh (RefreshModeDisplay calls it; unset in tests without a window).
  std::function<void(Editor&)> RefreshHook;

  // Paths of the program's data and of the work folder.
  QString TemplatePath() const;    // temp/_content.xml of the program's data
  QString WorkFolder() const;      // UserWorkFolder; "" when there is none
  QString NewWorkFolder() const;   // new/ in the work folder; "" when there is none
  QString DefaultPicture() const;  // 000.jpg of the program's data
  QString ContentPath() const;     // DataFolder/content.xml
};

// The one place that marks the registered tables as differing from content.xml (true) or as saved
// or freshly loaded (false). Both go through the history: false after a save makes the tables the
// saved point, false after a load starts the history anew; true records a change no command named,
// or, where the tables are as recorded, says that the file no longer matches them.
void SetContentChanged(Editor& ed, bool changed);

// A question through the message seam. Without one nothing is decided on the user's behalf: the
// answer is the careful one (Cancel, or No).
MsgResult Ask(Editor& ed, const QString& text, MsgButtons buttons, MsgIcon icon = MsgIcon::None);
// A report with an OK button; nothing without a message seam.
void Tell(Editor& ed, const QString& text, MsgIcon icon = MsgIcon::None);

}  // namespace kemo
