// The mode refresh: what every state does to the controls, the status texts and the caption, the
// transitions that move the player, and the shell's small controls (interval, movement, all marks).
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/mode_display.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

const QString kFolder = QStringLiteral("/data/lecture");

// The enabling a control was given itself (a control inside a disabled frame reports itself
// disabled through isEnabled, whatever it was set to).
bool OwnEnabled(const QWidget* w) { return !w->testAttribute(Qt::WA_ForceDisabled); }

// The states in the order of the expectation strings below.
constexpr uint8_t kStates[] = {0, 1, 2, 3, 4, 5, 8, 9};

// One item of the state table: for states 0,1,2,3,4,5,8,9 in that order, '1' enabled (or running),
// '0' disabled, '-' keeps what the state before left.
struct Item {
  const char* name;
  const char* settings;
  std::function<bool(Editor&)> read;
};

std::vector<Item> Items(Editor& ed) {
  Controls& ui = ed.ui;
  auto widget = [](QWidget* w) { return [w](Editor&) { return OwnEnabled(w); }; };
  auto action = [](QAction* a) { return [a](Editor&) { return a->isEnabled(); }; };
  auto menu = [](QMenu* m) { return [m](Editor&) { return m->menuAction()->isEnabled(); }; };
  return {
      {"frMain", "11111100", widget(ui.frMain)},
      {"dgSlide", "101010--", widget(ui.dgSlide)},
      {"dgCursor", "101010--", widget(ui.dgCursor)},
      {"dgRecCursor", "101010--", widget(ui.dgRecCursor)},
      {"mnuFile", "10000011", menu(ui.mnuFile)},
      {"mnuFileOpen", "1-----11", action(ui.mnuFileOpen)},
      {"mnuFileConv", "1-----10", action(ui.mnuFileConv)},
      {"mnuFileSaveNew", "1-----00", action(ui.mnuFileSaveNew)},
      {"mnuFileSave", "1-----00", action(ui.mnuFileSave)},
      {"mnuFileReset", "1-----00", action(ui.mnuFileReset)},
      {"mnuFileEnd", "1-----11", action(ui.mnuFileEnd)},
      {"ppCur", "11111100", menu(ui.ppCur)},
      {"ppCurTimer", "11111100", menu(ui.ppCurTimer)},
      {"ppCurRec", "11110100", action(ui.ppCurRec)},
      {"ppCurDelete", "10101000", action(ui.ppCurDelete)},
      {"ppCurDisp", "10101000", action(ui.ppCurDisp)},
      {"cbRec_0", "11110100", widget(ui.cbRec[0])},
      {"cbRec_1", "11110100", widget(ui.cbRec[1])},
      {"cbDelete", "100000--", widget(ui.cbDelete)},
      {"cbChkOff", "100000--", widget(ui.cbChkOff)},
      {"cbSave", "11001111", widget(ui.cbSave)},
      {"cbRecDelete", "11001111", widget(ui.cbRecDelete)},
      {"ppSld", "10001100", menu(ui.ppSld)},
      {"ppSldEdit", "10001100", action(ui.ppSldEdit)},
      {"ppSldDelete", "10001000", action(ui.ppSldDelete)},
      {"ppSldInsert", "10001000", action(ui.ppSldInsert)},
      {"playTimer", "010101--", [t = ui.playTimer](Editor&) { return t->isActive(); }},
      {"frRecTimer", "00110000", [t = ui.frRecTimer](Editor&) { return t->isActive(); }},
  };
}

int IndexOf(uint8_t state) {
  for (int i = 0; i < 8; ++i)
    if (kStates[i] == state) return i;
  return -1;
}

// Texts each state writes ("" in a keep column means: keeps the text the state before left).
const char* const kOperation[] = {"静止", "再生", "静止", "再生", "静止", "再生", nullptr, nullptr};
const char* const kRecording[] = {"OFF", "OFF", "ON", "ON", "OFF", "OFF", "OFF", "OFF"};
const char* const kEditing[] = {"OFF", "OFF", "OFF", "OFF", "ON", "ON", "OFF", "OFF"};
const char* const kHint[] = {"記録開始クリック！", "記録開始クリック！", "スライドクリック！", "スライドクリックorドラッグ！",
                             "編集中　記録不可", "編集中　記録不可", "", ""};

void Enter(test::Window& w, uint8_t state) {
  w.ed().EditorState = state;
  RefreshModeDisplay(w.ed());
}

}  // namespace

TEST(ModeDisplay, EveryStateSetsTheControlsTextsAndCaption) {
  // Each state entered after each of three different states, so that the items a state keeps are
  // seen keeping different settings.
  for (uint8_t before : {uint8_t{0}, uint8_t{1}, uint8_t{9}}) {
    for (uint8_t state : kStates) {
      SCOPED_TRACE(testing::Message() << "state " << int(state) << " after " << int(before));
      test::Window w;
      Editor& ed = w.ed();
      ed.DataFolder = kFolder;
      w.player.SetURL(QStringLiteral("/data/lecture/Video.avi"));
      w.player.status = QStringLiteral("停止");
      Enter(w, before);
      std::vector<Item> items = Items(ed);
      std::vector<bool> was;
      for (Item& it : items) was.push_back(it.read(ed));
      const QString operationBefore = ed.ui.lbMode[0]->text();
      const QString playerLabelBefore = ed.ui.WMPVstate->text();
      const QString folderCaptionBefore = ed.FolderCaption;
      w.player.log.clear();
      w.player.status = QStringLiteral("準備完了");
      if (state == 0 || state == 2 || state == 4) {
        // The video is playing; nobody else hears of it, so only the refresh reacts.
        w.player.blockSignals(true);
        w.player.SetStateNow(PlayState::Playing);
        w.player.blockSignals(false);
      }

      Enter(w, state);

      const int col = IndexOf(state);
      for (size_t i = 0; i < items.size(); ++i) {
        const char s = items[i].settings[col];
        const bool expected = s == '-' ? was[i] : s == '1';
        EXPECT_EQ(items[i].read(ed), expected) << items[i].name;
      }
      const QString operation = kOperation[col] ? QString::fromUtf8(kOperation[col]) : operationBefore;
      EXPECT_EQ(ed.ui.lbMode[0]->text(), operation);
      EXPECT_EQ(ed.ui.lbMode[1]->text(), QString::fromUtf8(kRecording[col]));
      EXPECT_EQ(ed.ui.lbMode[4]->text(), QString::fromUtf8(kEditing[col]));
      EXPECT_EQ(ed.ui.lbRecStat[0]->text(), QString::fromUtf8(kHint[col]));
      EXPECT_EQ(ed.ui.lbRecStat[1]->text(), QString::fromUtf8(kHint[col]));
      const QString recCaption = (state == 2 || state == 3) ? QStringLiteral("記録停止") : QStringLiteral("記録開始");
      EXPECT_EQ(ed.ui.cbRec[0]->text(), recCaption);
      EXPECT_EQ(ed.ui.cbRec[1]->text(), recCaption);

      // The player and its label.
      if (state == 1 || state == 3 || state == 5) {
        EXPECT_TRUE(w.player.log.contains(QStringLiteral("play")));
        EXPECT_EQ(ed.ui.WMPVstate->text(), playerLabelBefore);
      } else if (state == 0 || state == 2 || state == 4) {
        EXPECT_TRUE(w.player.log.contains(QStringLiteral("pause")));
        EXPECT_FALSE(w.player.log.contains(QStringLiteral("play")));
        EXPECT_EQ(ed.ui.WMPVstate->text(), state == 0 ? QStringLiteral("準備完了") : playerLabelBefore);
      } else {
        EXPECT_TRUE(w.player.URL().isEmpty());
        EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("再生データ未設定"));
      }

      QString folderCaption = folderCaptionBefore;
      if (state == 0 || state == 8) folderCaption = QStringLiteral(" ［") + ShowPath(kFolder) + QStringLiteral("] ");
      if (state == 9) folderCaption = QStringLiteral(" [Kemo.Recorderのデータフォルダが指定されていません] ");
      EXPECT_EQ(ed.FolderCaption, folderCaption);
      EXPECT_EQ(w.window->windowTitle(), QStringLiteral("Kemo.Editor ") + folderCaption + QStringLiteral("動作モード[") +
                                             operation + QStringLiteral("] 記録モード[") +
                                             QString::fromUtf8(kRecording[col]) + QStringLiteral("] 編集モード[") +
                                             QString::fromUtf8(kEditing[col]) + QStringLiteral("］"));
    }
  }
}

TEST(ModeDisplay, IdleCaptionReadsAsTheUserSeesIt) {
  test::Window w;
  w.ed().DataFolder = kFolder;
  Enter(w, 0);
  EXPECT_EQ(w.window->windowTitle(),
            QStringLiteral("Kemo.Editor  ［/data/lecture] 動作モード[静止] 記録モード[OFF] 編集モード[OFF］"));
  Enter(w, 9);
  EXPECT_EQ(w.window->windowTitle(),
            QStringLiteral("Kemo.Editor  [Kemo.Recorderのデータフォルダが指定されていません] 動作モード[静止] "
                           "記録モード[OFF] 編集モード[OFF］"));
}

namespace {
// The player reports playing without a state change of its own reaching the window; the refresh's
// play calls are logged but not answered, so that only what the refresh does moves the player.
void PlayQuietly(test::Window& w) {
  w.player.respondToPlay = false;
  w.player.blockSignals(true);
  w.player.SetStateNow(PlayState::Playing);
  w.player.blockSignals(false);
}
}  // namespace

TEST(ModeDisplay, TransitionsMoveThePlayer) {
  test::Window w;
  Editor& ed = w.ed();
  ed.DataFolder = kFolder;
  Enter(w, 0);  // a folder with its video, as the open command leaves it
  w.player.SetURL(QStringLiteral("/data/lecture/Video.avi"));
  test::Pump();

  // Playing, then recording switched on: straight to recording while playing.
  w.player.log.clear();
  Enter(w, 1);
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("play")));
  PlayQuietly(w);
  ChangeState(ed, ModeEvent::RecOn);
  RefreshModeDisplay(ed);
  EXPECT_EQ(ed.EditorState, 3);
  EXPECT_EQ(ed.ui.lbMode[0]->text(), QStringLiteral("再生"));
  EXPECT_EQ(ed.ui.lbMode[1]->text(), QStringLiteral("ON"));
  EXPECT_EQ(ed.ui.lbRecStat[0]->text(), QStringLiteral("スライドクリックorドラッグ！"));
  EXPECT_TRUE(ed.ui.frRecTimer->isActive());
  EXPECT_TRUE(ed.ui.playTimer->isActive());

  // Recording off while the video still plays: idle, and the refresh pauses the video.
  w.player.log.clear();
  ChangeState(ed, ModeEvent::RecOff);
  RefreshModeDisplay(ed);
  EXPECT_EQ(ed.EditorState, 0);
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("pause")));
  test::Pump(50);
  EXPECT_EQ(w.player.PlayState(), PlayState::Paused);
  EXPECT_EQ(ed.EditorState, 0);
  EXPECT_FALSE(ed.ui.playTimer->isActive());
  EXPECT_FALSE(ed.ui.frRecTimer->isActive());
  EXPECT_EQ(ed.ui.lbMode[0]->text(), QStringLiteral("静止"));
  EXPECT_EQ(ed.ui.lbMode[1]->text(), QStringLiteral("OFF"));

  // Closing the slide editor while the video plays goes on playing.
  Enter(w, 5);
  PlayQuietly(w);
  w.player.log.clear();
  ChangeState(ed, ModeEvent::EditClosed);
  RefreshModeDisplay(ed);
  EXPECT_EQ(ed.EditorState, 1);
  EXPECT_FALSE(w.player.log.contains(QStringLiteral("pause")));
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("play")));
  EXPECT_EQ(ed.ui.lbMode[4]->text(), QStringLiteral("OFF"));
  EXPECT_EQ(ed.ui.lbMode[0]->text(), QStringLiteral("再生"));
  EXPECT_FALSE(ed.ui.ppSldEdit->isEnabled());
  // And in state 4 closing it leads to idle.
  Enter(w, 4);
  ChangeState(ed, ModeEvent::EditClosed);
  EXPECT_EQ(ed.EditorState, 0);
}

TEST(ModeDisplay, StatesWithoutVideoOrFolderIgnoreEvents) {
  for (uint8_t state : {uint8_t{8}, uint8_t{9}}) {
    test::Window w;
    Editor& ed = w.ed();
    ed.DataFolder = kFolder;
    Enter(w, state);
    const QString caption = w.window->windowTitle();
    w.player.log.clear();
    for (int e = ModeEvent::Started; e <= ModeEvent::EditClosed; ++e) {
      ChangeState(ed, e);
      RefreshModeDisplay(ed);
      EXPECT_EQ(ed.EditorState, state) << "event " << e;
    }
    EXPECT_EQ(w.window->windowTitle(), caption);
    EXPECT_FALSE(w.player.log.contains(QStringLiteral("play")));
    EXPECT_FALSE(OwnEnabled(ed.ui.frMain));
  }
}

TEST(ModeDisplay, SaveInPlaceIsOffWhileTheContentIsNew) {
  test::Window w;
  Editor& ed = w.ed();
  ed.DataFolder = ed.NewWorkFolder();
  Enter(w, 0);
  EXPECT_FALSE(ed.ui.mnuFileSave->isEnabled());
  EXPECT_TRUE(ed.ui.mnuFileSaveNew->isEnabled());
  ed.DataFolder = kFolder;
  Enter(w, 0);
  EXPECT_TRUE(ed.ui.mnuFileSave->isEnabled());
  // A folder beside the working folder is an ordinary folder.
  ed.DataFolder = ed.NewWorkFolder() + QStringLiteral("2");
  Enter(w, 0);
  EXPECT_TRUE(ed.ui.mnuFileSave->isEnabled());
}

TEST(ModeDisplay, AllMarksToggleTwiceRestoresEveryMark) {
  test::Window w;
  Editor& ed = w.ed();
  ed.SymOnList = QStringList{QStringLiteral("表示"), QStringLiteral("○")};
  ed.SymOffList = QStringList{QStringLiteral("表示"), QStringLiteral("×")};
  ed.DataFolder = kFolder;
  ed.CurCnt = 3;
  for (int i = 0; i < 3; ++i) {
    ed.Cur[i].id = static_cast<int16_t>(i + 1);
    ed.Cur[i].t = i;
    ed.Cur[i].x = QStringLiteral("0.5");
    ed.Cur[i].y = QStringLiteral("0.25");
  }
  ed.Cur[1].mark = ed.SymOff();
  Enter(w, 0);

  ed.ui.cbChkOff->click();
  EXPECT_EQ(ed.ui.cbChkOff->text(), QStringLiteral("全てチェックON"));
  for (int i = 0; i < MaxRecords; ++i) ASSERT_EQ(ed.Cur[i].mark, QStringLiteral("×")) << i;
  ASSERT_NE(ed.RS_CUR, nullptr);
  ASSERT_EQ(ed.RS_CUR->RecordCount(), 3);
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(ed.RS_CUR->FieldAt(row, ed.RS_CUR->ColumnIndex(QStringLiteral("表示"))).toString(), QStringLiteral("×"));

  ed.ui.cbChkOff->click();
  EXPECT_EQ(ed.ui.cbChkOff->text(), QStringLiteral("全てチェックOFF"));
  for (int i = 0; i < MaxRecords; ++i) ASSERT_EQ(ed.Cur[i].mark, QStringLiteral("○")) << i;
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(ed.RS_CUR->FieldAt(row, ed.RS_CUR->ColumnIndex(QStringLiteral("表示"))).toString(), QStringLiteral("○"));
  EXPECT_EQ(ed.CurCnt, 3);
}

TEST(ModeDisplay, IntervalAndMovementOptions) {
  test::Window w;
  Editor& ed = w.ed();
  ed.DataFolder = kFolder;
  Enter(w, 0);
  const int intervals[] = {10, 100, 200};
  for (int i = 0; i < 3; ++i) {
    OnIntervalOption(ed, i);
    EXPECT_EQ(ed.ui.recTimer->interval(), intervals[i]);
    EXPECT_EQ(ed.ui.ppCurTimer10ms->isChecked(), i == 0);
    EXPECT_EQ(ed.ui.ppCurTimer50ms->isChecked(), i == 1);
    EXPECT_EQ(ed.ui.ppCurTimer100ms->isChecked(), i == 2);
  }
  // The options reach the handlers through their clicks too.
  ed.ui.opInterval[1]->click();
  EXPECT_EQ(ed.ui.recTimer->interval(), 100);
  EXPECT_TRUE(ed.ui.ppCurTimer50ms->isChecked());

  for (int i : {2, 1, 0}) {
    OnMoveModeOption(ed, i);
    EXPECT_EQ(ed.points->RecordMoveMode, i);
  }
  const int interval = ed.ui.recTimer->interval();
  ed.ui.opSmode[2]->click();
  EXPECT_EQ(ed.points->RecordMoveMode, 2);
  EXPECT_EQ(ed.ui.recTimer->interval(), interval);  // the movement option sets nothing else
}

TEST(ModeDisplay, FileMenuSwitchedOffTakesItsShortcutsWithIt) {
  // The items keep their own enabling while the File menu is off; their keys must not reach them.
  test::Window w;
  Editor& ed = w.ed();
  w.window->show();
  w.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
  ed.DataFolder = kFolder;
  Enter(w, 1);
  ASSERT_TRUE(ed.ui.mnuFileNew->isEnabled());
  QTest::keyClick(w.window.get(), Qt::Key_N, Qt::ControlModifier);
  test::Pump();
  EXPECT_TRUE(w.dialogs.calls.empty());
  Enter(w, 0);
  QTest::keyClick(w.window.get(), Qt::Key_N, Qt::ControlModifier);
  test::Pump();
  EXPECT_EQ(w.dialogs.calls.size(), 1u);
}
