// The shell: start-up state, the caption, the exit question and the state machine.
#include <QAction>
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
