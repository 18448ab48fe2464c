// The waits for the player and the shutdown under the sequences a user can make: a wait entered
// by other handlers, a wait that outlives its folder, an exit in the middle of a wait or without
// media; and the positions the player's own controls lead to (stop, slider), which the time
// label, the grids and the stage must agree on.
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "playback/player_wait.h"
#include "slides/slide_display.h"
#include "support/test_support.h"
#include "playback/playback_state.h"

using namespace kemo;

namespace {

const QStringList kScenes = {QStringLiteral("0|一|a.jpg"), QStringLiteral("10|二|b.jpg"), QStringLiteral("20|三|c.jpg")};
const QStringList kPoints = {QStringLiteral("0|0.1|0.1"), QStringLiteral("10|0.5|0.5"), QStringLiteral("20|0.9|0.9")};

// The window with a folder open (slides and points at 0, 10 and 20 s, a video that was loaded and
// never played).
struct Opened : test::Window {
  QTemporaryDir data;
  Opened() {
    window->show();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      test::WriteJpeg(JoinPath(data.path(), QString::fromLatin1(name)));
    OpenFolder(data.path(), kScenes, kPoints);
    test::Pump(30);
    player.log.clear();
    player.positionWrites.clear();
  }
  int SlideRow() { return ed().RS_SLD->CurrentRow(); }
  int PointRow() { return ed().RS_CUR->CurrentRow(); }
  QString Picture() { return ed().ui.img->PictureSource(); }
};

// Today's faults leave a wait spinning for ever; this ends it after `ms` so that such a test fails
// on its timing instead of hanging.
struct Rescue {
  QTimer timer;
  Rescue(Editor& ed, int ms) {
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&ed] { ed.WaitTimedOut = true; });
    QTimer::singleShot(ms, &timer, [this] { timer.start(); });
  }
};

}  // namespace

TEST(PlayerWaits, EachWaitEndsWithinItsOwnFiveSecondsWhateverRunsInsideIt) {
  Opened w;
  Editor& ed = w.ed();
  // A wait entered inside this one reaches its state at once and stops WaitTm.
  QTimer::singleShot(200, [&] { WaitForPlayer(ed, [] { return true; }); });
  Rescue rescue(ed, 9000);
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(WaitForPlayerEnd(ed, [] { return false; }), WaitEnd::TimedOut);
  EXPECT_GE(t.elapsed(), 4900);
  EXPECT_LT(t.elapsed(), 6500);
  EXPECT_FALSE(w.pointer.waiting);
}

TEST(PlayerWaits, ExitDuringARowClickWaitEndsTheWaitAndTheProgram) {
  Opened w;
  Editor& ed = w.ed();
  w.player.respondToPlay = false;  // a video the player cannot start
  w.messages.Answer(MsgResult::Yes);
  QTimer::singleShot(300, [&] { ed.ui.mnuFileEnd->trigger(); });
  Rescue rescue(ed, 9000);
  ed.RS_SLD->MoveTo(2);
  QElapsedTimer t;
  t.start();
  OnSlideGridMouseUp(ed, 1, 0, 0, 0);
  EXPECT_TRUE(w.window->ShutDown());
  EXPECT_FALSE(w.window->isVisible());
  // The row click's wait ended with the shutdown (about one second of it), not at its time-out.
  EXPECT_LT(t.elapsed(), 3000);
  // Nothing of the click went on into the closed window.
  EXPECT_FALSE(w.player.log.contains(QStringLiteral("seek:20"))) << w.player.log.join(' ').toStdString();
}

TEST(PlayerWaits, AWaitThatOutlivesItsFolderLeavesTheNextOneAlone) {
  Opened w;
  Editor& ed = w.ed();
  w.player.respondToPlay = false;
  QTemporaryDir next;
  for (const char* name : {"x.jpg", "y.jpg"}) test::WriteJpeg(JoinPath(next.path(), QString::fromLatin1(name)));
  const QStringList nextScenes = {QStringLiteral("0|最初|x.jpg"), QStringLiteral("30|次|y.jpg")};

  // A slide row click waits for the video; meanwhile the user opens another folder.
  QTimer::singleShot(200, [&] { w.OpenFolder(next.path(), nextScenes); });
  ed.RS_SLD->MoveTo(2);
  QElapsedTimer t;
  t.start();
  OnSlideGridMouseUp(ed, 1, 0, 0, 0);
  EXPECT_LT(t.elapsed(), 3000);
  ASSERT_EQ(ed.DataFolder, next.path());
  EXPECT_FALSE(w.player.log.contains(QStringLiteral("seek:20"))) << w.player.log.join(' ').toStdString();
  EXPECT_EQ(w.SlideRow(), 0);
  EXPECT_EQ(w.Picture(), JoinPath(next.path(), QStringLiteral("x.jpg")));

  // The same for a seek button on a video that never started.
  test::Pump(30);
  w.player.respondToPlay = false;
  w.player.SetPositionNow(0);
  w.player.positionWrites.clear();
  QTimer::singleShot(200, [&] { w.OpenFolder(w.data.path(), kScenes, kPoints); });
  ed.ui.cbPlay[5]->click();
  ASSERT_EQ(ed.DataFolder, w.data.path());
  EXPECT_TRUE(w.player.positionWrites.empty());
  EXPECT_EQ(w.SlideRow(), 0);
  EXPECT_EQ(w.PointRow(), 0);
}

TEST(PlayerWaits, ExitWithoutMediaDoesNotWaitAndTheCaptionNeverFlips) {
  for (const char* media : {"none", "unplayable", "video"}) {
    SCOPED_TRACE(media);
    Opened w;
    Editor& ed = w.ed();
    if (QByteArray(media) == "none") {
      ed.EditorState = State::NoVideo;
      RefreshModeDisplay(ed);
    } else if (QByteArray(media) == "unplayable") {
      w.player.SetStateNow(PlayState::Undefined);  // what the player reports for a file it cannot play
    }
    test::Pump(30);
    QStringList captions;
    QObject::connect(w.window.get(), &QWidget::windowTitleChanged, [&](const QString& c) { captions << c; });
    w.messages.Answer(MsgResult::Yes);
    QElapsedTimer t;
    t.start();
    ed.ui.mnuFileEnd->trigger();
    const qint64 took = t.elapsed();
    EXPECT_TRUE(w.window->ShutDown());
    if (QByteArray(media) == "video") {
      // Muted, played, stopped, each step waited for only until the player reports it (at once
      // here), not for a fixed half second.
      EXPECT_TRUE(w.player.muted);
      const int played = w.player.log.lastIndexOf(QStringLiteral("play"));
      EXPECT_GE(played, 0);
      EXPECT_GT(w.player.log.lastIndexOf(QStringLiteral("stop")), played);
      EXPECT_LT(took, 1000);
    } else {
      EXPECT_LT(took, 1500);
      EXPECT_FALSE(w.player.log.contains(QStringLiteral("play")));
    }
    for (const QString& c : captions) EXPECT_FALSE(c.contains(QStringLiteral("動作モード[再生]"))) << c.toStdString();
  }
}

TEST(PlayerWaits, AStopTheUserAsksForLeavesLabelGridsAndStageAgreeing) {
  Opened w;
  Editor& ed = w.ed();
  w.player.Play();
  test::Pump(30);
  ASSERT_EQ(ed.EditorState, State::Playing);
  w.player.ReportPosition(0, 23.0);
  ASSERT_EQ(w.SlideRow(), 2);
  ASSERT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:23.000"));

  // The player's own stop button: the player goes back to its start.
  w.player.Stop();
  test::Pump(30);
  EXPECT_EQ(ed.EditorState, State::Idle);
  EXPECT_TRUE(w.player.positionWrites.empty()) << "a stop is not the end of the media";
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:00.000"));
  EXPECT_EQ(w.SlideRow(), 0);
  EXPECT_EQ(w.PointRow(), 0);
  EXPECT_EQ(w.Picture(), JoinPath(w.data.path(), QStringLiteral("a.jpg")));

  // Played to its end, it stays at its end.
  w.player.Play();
  test::Pump(30);
  w.player.RunToEnd();
  test::Pump(30);
  ASSERT_FALSE(w.player.positionWrites.empty());
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 60.0);
}

TEST(PlayerWaits, TheSliderSeeksLikeTheSeekButtons) {
  Opened w;
  Editor& ed = w.ed();
  // Never started: played and paused first, then sought; the grids and the stage follow.
  Q_EMIT w.player.SeekRequested(12.5);
  EXPECT_EQ(w.player.log.indexOf(QStringLiteral("play")), 0) << w.player.log.join(' ').toStdString();
  ASSERT_FALSE(w.player.positionWrites.empty());
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 12.5);
  EXPECT_EQ(ed.playback->LastSyncTime, 12.5f);
  EXPECT_EQ(w.SlideRow(), 1);
  EXPECT_EQ(w.PointRow(), 1);
  EXPECT_EQ(w.Picture(), JoinPath(w.data.path(), QStringLiteral("b.jpg")));

  // Paused: sought at once, within the media.
  test::Pump(30);
  ASSERT_EQ(w.player.PlayState(), PlayState::Paused);
  w.player.log.clear();
  Q_EMIT w.player.SeekRequested(90.0);
  EXPECT_EQ(w.player.log, QStringList({QStringLiteral("seek:60")}));
  EXPECT_EQ(w.SlideRow(), 2);
  EXPECT_EQ(w.Picture(), JoinPath(w.data.path(), QStringLiteral("c.jpg")));
}
