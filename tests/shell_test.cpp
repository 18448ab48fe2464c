// The shell: start-up state, the caption, the exit question and the state machine.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "platform/captions.h"
#include "support/test_support.h"

using namespace kemo;

TEST(Shell, StartsWithoutFolderInStateNine) {
  test::Window w;
  EXPECT_EQ(w.ed().EditorState, State::NoFolder);
  EXPECT_EQ(w.window->windowTitle(),
            QStringLiteral("Kemo.Editor  [Kemo.Recorderのデータフォルダが指定されていません] 動作モード[静止] "
                           "記録モード[OFF] 編集モード[OFF］"));
  EXPECT_FALSE(w.ed().ui.frMain->isEnabled());
  EXPECT_EQ(Caption(w.ed().ui.lbKeyComment[0]),
            QStringLiteral("F5 :マウスポイント記録開始・停止\rF6 :マウスポイント記録表示\rF7 :マウスポイント挿入\r"
                           "F8 :マウスポイント削除\rF9 :マウスポイント表示・非表示"));
  EXPECT_EQ(w.ed().ui.lbKeyComment[1]->text(), QStringLiteral("F2 :スライド削除 F3 :スライド挿入 F4 :スライド編集 "));
}

TEST(Shell, TransitionTable) {
  // Every listed pair and a sample of unlisted ones.
  EXPECT_EQ(NextState(0, 1), 1);
  EXPECT_EQ(NextState(0, 3), 3);
  EXPECT_EQ(NextState(0, 5), 4);
  EXPECT_EQ(NextState(0, 2), 0);
  EXPECT_EQ(NextState(1, 2), 0);
  EXPECT_EQ(NextState(1, 3), 3);
  EXPECT_EQ(NextState(2, 1), 3);
  EXPECT_EQ(NextState(2, 4), 0);
  EXPECT_EQ(NextState(3, 2), 2);
  EXPECT_EQ(NextState(3, 4), 0);
  EXPECT_EQ(NextState(4, 1), 5);
  EXPECT_EQ(NextState(4, 6), 0);
  EXPECT_EQ(NextState(5, 2), 4);
  EXPECT_EQ(NextState(5, 6), 1);
  for (int e = 1; e <= 6; ++e) {
    EXPECT_EQ(NextState(8, e), 8);
    EXPECT_EQ(NextState(9, e), 9);
  }
}

TEST(Shell, ExitQuestionListsPendingWorkInOrder) {
  test::Window w;
  Editor& ed = w.ed();
  EXPECT_EQ(ExitQuestionText(ed), QStringLiteral("終了してもよろしいですか？"));

  ed.DataFolder = QStringLiteral("/data/lecture");
  SetContentChanged(ed, true);
  ed.recCurCnt = 2;
  ed.SldCnt = 1;
  ed.SldEdtCnt = 1;
  ed.SldEdt[0].caption = QStringLiteral("変更したタイトル");
  ed.ui.fDialog[1]->show();  // the slide edits wait in the open panel
  EXPECT_EQ(ExitQuestionText(ed),
            QStringLiteral("/data/lecture/content.xmlは変更されています。\r"
                           "未登録のマウスポイント記録データがあります。\r"
                           "未登録のスライド編集データがあります。\r"
                           "終了してもよろしいですか？"));

  SetContentChanged(ed, false);
  ed.SldEdt[0].caption.clear();
  EXPECT_EQ(ExitQuestionText(ed), QStringLiteral("未登録のマウスポイント記録データがあります。\r終了してもよろしいですか？"));
}

TEST(Shell, AnsweringNoToTheExitQuestionKeepsTheProgramRunning) {
  test::Window w;
  w.window->show();
  w.messages.Answer(MsgResult::No);
  w.ed().ui.mnuFileEnd->trigger();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].title, QStringLiteral("KemoEditor"));
  EXPECT_EQ(w.messages.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(w.messages.shown[0].icon, MsgIcon::None);
  EXPECT_TRUE(w.window->isVisible());
  EXPECT_FALSE(w.window->ShutDown());
  EXPECT_FALSE(w.ed().ExitConfirmed);

  // A close by the window system asks the same question once.
  w.messages.Answer(MsgResult::No);
  EXPECT_FALSE(w.window->close());
  EXPECT_EQ(w.messages.shown.size(), 2u);
  EXPECT_TRUE(w.window->isVisible());
}

TEST(Shell, ExitShutsThePlayerDownAndAsksOnlyOnce) {
  test::Window w;
  w.window->show();
  // A folder with its video open (in state 9 the refresh would unload the player).
  w.ed().EditorState = State::Idle;
  w.player.SetURL(QStringLiteral("/data/Video.avi"));
  test::Pump();
  w.messages.Answer(MsgResult::Yes);
  w.ed().ui.mnuFileEnd->trigger();
  EXPECT_EQ(w.messages.shown.size(), 1u);
  EXPECT_TRUE(w.window->ShutDown());
  EXPECT_FALSE(w.window->isVisible());
  EXPECT_TRUE(w.player.muted);
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("play")));
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("stop")));
  EXPECT_EQ(w.player.PlayState(), PlayState::Stopped);
}

TEST(Shell, APlayerThatNeverStopsStillLetsTheProgramEnd) {
  test::Window w;
  w.window->show();
  // A folder with its video open (in state 9 the refresh would unload the player).
  w.ed().EditorState = State::Idle;
  w.player.SetURL(QStringLiteral("/data/Video.avi"));
  test::Pump();
  w.player.respondToStop = false;
  w.messages.Answer(MsgResult::Yes);
  QElapsedTimer t;
  t.start();
  w.ed().ui.mnuFileEnd->trigger();
  const qint64 ms = t.elapsed();
  EXPECT_TRUE(w.window->ShutDown());
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("stop")));
  // The stop is waited for a second at most, not the five seconds of the other waits: the exit
  // question has been answered and nothing is left to write. (Bounded by the old wait alone, so that
  // a loaded machine's slower event loop cannot fail it.)
  EXPECT_LT(ms, 5000);
}
