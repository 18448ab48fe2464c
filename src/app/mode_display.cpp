#include "app/mode_display.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "document/editor.h"
#include "document/history.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/media_player.h"
#include "platform/paths.h"
#include "playback/stage_view.h"
#include "playback/sync.h"
#include "document/time_text.h"
#include "slides/slide_display.h"
#include "points/points_state.h"

namespace kemo {

namespace {

// How a state sets one item: On, Off, or Keep (the item keeps its previous setting).
enum class Set { Keep, On, Off };

void Apply(QWidget* w, Set s) {
  if (w && s != Set::Keep) w->setEnabled(s == Set::On);
}
void Apply(QAction* a, Set s) {
  if (a && s != Set::Keep) a->setEnabled(s == Set::On);
}
void Apply(QMenu* m, Set s) {
  if (m && s != Set::Keep) m->menuAction()->setEnabled(s == Set::On);
}

// The columns of the state table: 0, the playing states, the paused recording/editing states, 8, 9.
enum Column { kIdle, kPlaying, kPaused, kNoVideo, kNoFolder };

Column ColumnOf(uint8_t state) {
  switch (state) {
    case 0: return kIdle;
    case 1: case 3: case 5: return kPlaying;
    case 2: case 4: return kPaused;
    case 8: return kNoVideo;
    default: return kNoFolder;
  }
}

struct Row {
  Set idle, playing, paused, noVideo, noFolder;
  Set For(Column c) const {
    switch (c) {
      case kIdle: return idle;
      case kPlaying: return playing;
      case kPaused: return paused;
      case kNoVideo: return noVideo;
      default: return noFolder;
    }
  }
};

constexpr Set K = Set::Keep, On = Set::On, Off = Set::Off;

}  // namespace

void RefreshModeDisplayImpl(Editor& ed) {
  Controls& ui = ed.ui;
  MediaPlayer* player = ed.svc.player;
  const uint8_t state = ed.EditorState;
  const Column col = ColumnOf(state);

  // Part A.
  if (col == kIdle || col == kNoVideo) ed.FolderCaption = QStringLiteral(" ［") + ShowPath(ed.DataFolder) + QStringLiteral("] ");
  if (col == kNoFolder) ed.FolderCaption = QStringLiteral(" [Kemo.Recorderのデータフォルダが指定されていません] ");

  if (player) {
    if (col == kIdle || col == kPaused) {
      if (player->PlayState() == PlayState::Playing) player->Pause();
    } else if (col == kPlaying) {
      player->Play();
    } else if (!player->URL().isEmpty()) {
      player->SetURL(QString());
    }
  }
  if (ui.WMPVstate) {
    if (col == kIdle && player) ui.WMPVstate->setText(player->Status());
    if (col == kNoVideo || col == kNoFolder) ui.WMPVstate->setText(QStringLiteral("再生データ未設定"));
  }
  if (col == kNoFolder) ShowSlideImage(ed, ed.DefaultPicture());
  if (ui.playTimer) {
    if (col == kPlaying) ui.playTimer->start();
    if (col == kIdle || col == kPaused) ui.playTimer->stop();
  }
  if (ui.lbMode[0]) {
    if (col == kPlaying) ui.lbMode[0]->setText(QStringLiteral("再生"));
    if (col == kIdle || col == kPaused) ui.lbMode[0]->setText(QStringLiteral("静止"));
  }

  const Row frame{On, On, On, Off, Off};
  const Row grids{On, Off, On, K, K};
  const Row file{On, Off, Off, On, On};
  const Row open{On, K, K, On, On};
  const Row conv{On, K, K, On, Off};
  const Row saveNew{On, K, K, Off, Off};
  const Row exportVideo{On, Off, Off, On, Off};
  const bool isNewWork = QString::compare(ed.DataFolder, ed.NewWorkFolder(), Qt::CaseSensitive) == 0;
  const Row save{isNewWork ? Off : On, K, K, Off, Off};
  const Row reset{On, K, K, Off, Off};
  const Row end{On, K, K, On, On};
  const Row pointMenu{On, On, On, Off, Off};
  const Set recPaused = state == 2 ? On : Off;
  const Row rec{On, On, recPaused, Off, Off};
  const Row pointEdit{On, Off, On, Off, Off};
  const Row listButtons{On, Off, Off, K, K};

  Apply(ui.frMain, frame.For(col));
  for (DataGrid* g : {ui.dgSlide, ui.dgCursor, ui.dgRecCursor}) Apply(g, grids.For(col));
  Apply(ui.mnuFile, file.For(col));
  Apply(ui.mnuFileOpen, open.For(col));
  Apply(ui.mnuFileConv, conv.For(col));
  Apply(ui.mnuFileSaveNew, saveNew.For(col));
  Apply(ui.mnuFileExport, exportVideo.For(col));
  Apply(ui.mnuFileSave, save.For(col));
  Apply(ui.mnuFileReset, reset.For(col));
  Apply(ui.mnuFileEnd, end.For(col));
  Apply(ui.ppCur, pointMenu.For(col));
  Apply(ui.ppCurTimer, pointMenu.For(col));
  Apply(ui.ppCurRec, rec.For(col));
  Apply(ui.ppCurDelete, pointEdit.For(col));
  Apply(ui.ppCurDisp, pointEdit.For(col));
  for (QPushButton* b : ui.cbRec) Apply(b, rec.For(col));
  Apply(ui.cbDelete, listButtons.For(col));
  Apply(ui.cbChkOff, listButtons.For(col));

  // Part B: recording controls.
  const bool recording = state == 2 || state == 3;
  QString hint;
  for (QPushButton* b : ui.cbRec)
    if (b) b->setText(recording ? QStringLiteral("記録停止") : QStringLiteral("記録開始"));
  if (ui.frRecTimer) {
    if (recording)
      ui.frRecTimer->start();
    else
      ui.frRecTimer->stop();
  }
  if (ui.lbMode[1]) ui.lbMode[1]->setText(recording ? QStringLiteral("ON") : QStringLiteral("OFF"));
  Apply(ui.cbSave, recording ? Off : On);
  Apply(ui.cbRecDelete, recording ? Off : On);
  switch (state) {
    case 2: hint = QStringLiteral("スライドクリック！"); break;
    case 3: hint = QStringLiteral("スライドクリックorドラッグ！"); break;
    case 0: case 1: hint = QStringLiteral("記録開始クリック！"); break;
    case 4: case 5: hint = QStringLiteral("編集中　記録不可"); break;
    default: hint.clear(); break;
  }
  for (QLabel* l : ui.lbRecStat)
    if (l) l->setText(hint);

  // Part B: slide-edit controls.
  Set sldAll = Off, sldRows = Off;
  QString editMode = QStringLiteral("OFF");
  if (state == 0) {
    sldAll = sldRows = On;
  } else if (state == 4) {
    sldAll = sldRows = On;
    editMode = QStringLiteral("ON");
  } else if (state == 5) {
    sldAll = On;
    editMode = QStringLiteral("ON");
  }
  if (ui.lbMode[4]) ui.lbMode[4]->setText(editMode);
  Apply(ui.ppSld, sldAll);
  Apply(ui.ppSldEdit, sldAll);
  Apply(ui.ppSldDelete, sldRows);
  Apply(ui.ppSldInsert, sldRows);

  // Part B: the caption.
  if (ui.frmMain) {
    const QString op = ui.lbMode[0] ? ui.lbMode[0]->text() : QString();
    const QString recMode = ui.lbMode[1] ? ui.lbMode[1]->text() : QString();
    ui.frmMain->setWindowTitle(QStringLiteral("Kemo.Editor ") + ed.FolderCaption + QStringLiteral("動作モード[") + op +
                               QStringLiteral("] 記録モード[") + recMode + QStringLiteral("] 編集モード[") + editMode +
                               QStringLiteral("］") + UnprotectedCaption(ed));
  }
}

void OnIntervalOption(Editor& ed, int index) {
  Controls& ui = ed.ui;
  static constexpr int kIntervals[3] = {10, 100, 200};
  if (index < 0 || index > 2) return;
  if (ui.recTimer) ui.recTimer->setInterval(kIntervals[index]);
  if (ui.ppCurTimer10ms) ui.ppCurTimer10ms->setChecked(index == 0);
  if (ui.ppCurTimer50ms) ui.ppCurTimer50ms->setChecked(index == 1);
  if (ui.ppCurTimer100ms) ui.ppCurTimer100ms->setChecked(index == 2);
}

void OnMoveModeOption(Editor& ed, int index) {
  if (index >= 0 && index <= 2) ed.points->RecordMoveMode = static_cast<uint8_t>(index);
}

void ShowAllMarksCaption(Editor& ed, const QString& label, bool undone) {
  const QString hide = QStringLiteral("全てチェックOFF"), show = QStringLiteral("全てチェックON");
  if (!ed.ui.cbChkOff || (label != hide && label != show)) return;
  // Undone, the toggle offers its own command again; redone, the other one.
  const QString& other = label == hide ? show : hide;
  ed.ui.cbChkOff->setText(undone ? label : other);
}

void OnAllMarksToggle(Editor& ed) {
  Controls& ui = ed.ui;
  if (!ui.cbChkOff) return;
  const bool hideAll = ui.cbChkOff->text() == QStringLiteral("全てチェックOFF");
  ui.cbChkOff->setText(hideAll ? QStringLiteral("全てチェックON") : QStringLiteral("全てチェックOFF"));
  const QString mark = hideAll ? ed.SymOff() : ed.SymOn();
  for (int i = 0; i < MaxRecords; ++i) ed.Cur[i].mark = mark;
  // Undoable, but no change of the file's content: content.xml holds no marks.
  RecordMarksChange(ed, hideAll ? QStringLiteral("全てチェックOFF") : QStringLiteral("全てチェックON"));
  BuildPointTable(ed);
  BuildStageView(ed);
  LayoutPointMarkers(ed, !hideAll);
  const float t = static_cast<float>(ed.svc.player ? CutToMilliseconds(ed.svc.player->CurrentPosition()) : 0.0);
  SyncSlideRow(ed, t);
  SyncSlideEditRow(ed, t);
  SyncPointRow(ed, t);
}

}  // namespace kemo
