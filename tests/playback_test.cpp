// Following and driving the player in the window, with the scripted player: the play-state label,
// the seek buttons and their preparation of a never-started video, the time label, the tick.
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "platform/media_player.h"
#include "playback/playback.h"
#include "document/time_text.h"
#include "support/test_support.h"
#include "playback/playback_state.h"

using namespace kemo;

namespace {

// The window with a video loaded (the player reports ready) in state 0.
struct Loaded : test::Window {
  Loaded() {
    ed().DataFolder = program.path();
    player.SetURL(program.path() + QStringLiteral("/Video.avi"));
    ed().EditorState = State::Idle;
    RefreshModeDisplay(ed());
    test::Pump(30);
    player.log.clear();
  }
  bool AllSeekButtonsEnabled() {
    for (QPushButton* b : ed().ui.cbPlay)
      if (!b->isEnabled()) return false;
    return true;
  }
  bool AnySeekButtonEnabled() {
    for (QPushButton* b : ed().ui.cbPlay)
      if (b->isEnabled()) return true;
    return false;
  }
};

}  // namespace

TEST(Playback, TimeText) {
  EXPECT_EQ(FormatTimeText(0), QStringLiteral("00:00.000"));
  EXPECT_EQ(FormatTimeText(59.999), QStringLiteral("00:59.999"));
  EXPECT_EQ(FormatTimeText(3600), QStringLiteral("60:00.000"));
  EXPECT_EQ(FormatTimeText(6000), QStringLiteral("100:00.000"));
  EXPECT_EQ(FormatTimeText(CutToMilliseconds(75.5)), QStringLiteral("01:15.500"));
  // The inverse reads any number of minute digits; times from hostile files stay printable.
  EXPECT_DOUBLE_EQ(ParseTimeText(QStringLiteral("100:00.000")), 6000.0);
  EXPECT_DOUBLE_EQ(ParseTimeText(QStringLiteral("01:15.500")), 75.5);
  EXPECT_EQ(ParseTimeText(QStringLiteral("abc")), 0.0);
  EXPECT_FALSE(FormatTimeText(1e300).isEmpty());
  EXPECT_EQ(FormatTimeText(std::nan("")), QStringLiteral("00:00.000"));
}

// Rounding to milliseconds carries into seconds and minutes, and halves round up on the decimal
// digits the value was written with, whatever its binary form.
TEST(Playback, TimeTextRoundsWithCarryAndDecimalHalves) {
  EXPECT_EQ(FormatTimeText(5.9996), QStringLiteral("00:06.000"));
  EXPECT_EQ(FormatTimeText(59.9995), QStringLiteral("01:00.000"));
  EXPECT_EQ(FormatTimeText(3599.9999), QStringLiteral("60:00.000"));
  EXPECT_EQ(FormatTimeText(-0.0004), QStringLiteral("00:00.000"));
  EXPECT_EQ(FormatTimeText(-1.5), QStringLiteral("-00:01.500"));
  // 1.0005 and 4.0005 lie on different sides of the half in binary.
  EXPECT_EQ(FormatTimeText(1.0005), QStringLiteral("00:01.001"));
  EXPECT_EQ(FormatTimeText(4.0005), QStringLiteral("00:04.001"));
  EXPECT_EQ(FormatTimeText(1.00049), QStringLiteral("00:01.000"));
  EXPECT_DOUBLE_EQ(RoundToMilliseconds(1.0005), 1.001);
  EXPECT_DOUBLE_EQ(RoundToMilliseconds(4.0005), 4.001);
  EXPECT_EQ(RoundToWholeMilliseconds(0.0005), 1);
  EXPECT_EQ(RoundToWholeMilliseconds(1e-7), 0);
  EXPECT_EQ(RoundToWholeMilliseconds(1e300), 1'000'000'000'000'000'000LL);
  // Times written with a half millisecond and times a hair either side of one, over hours: the
  // rounding follows the decimal digits ("x.yyy5" up) wherever the binary form lies.
  for (long long half = 1; half < 2 * 36'000'000LL; half += 7919) {
    const double t = (half * 2 + 1) / 2000.0;  // a decimal half, e.g. 12.3455
    EXPECT_EQ(RoundToWholeMilliseconds(t), half + 1) << t;
    EXPECT_EQ(RoundToWholeMilliseconds(-t), -(half + 1)) << t;
    EXPECT_EQ(RoundToWholeMilliseconds(std::nextafter(t, 0.0) - t * 1e-15), half) << t;
    EXPECT_EQ(RoundToWholeMilliseconds(t + 1e-9), half + 1) << t;
  }

  // Every text written reads back as the time it shows, exactly, also at the carries.
  for (double t : {0.0, 0.001, 5.9996, 12.3, 62.345, 599.9995, 5999.999, 6000.0, 12345.678}) {
    const QString text = FormatTimeText(t);
    EXPECT_EQ(ParseTimeText(text), RoundToMilliseconds(t)) << text.toStdString();
    EXPECT_EQ(FormatTimeText(ParseTimeText(text)), text);
  }
  EXPECT_EQ(ParseTimeText(QStringLiteral("00:12.300")), 12.3);
  EXPECT_EQ(ParseTimeText(QStringLiteral("-00:01.500")), -1.5);
  EXPECT_EQ(ParseTimeText(QStringLiteral("00:09.5")), 9.5);
}

TEST(Playback, SeekButtonsOnAPausedVideo) {
  Loaded w;
  Editor& ed = w.ed();
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("準備完了"));
  w.player.SetStateNow(PlayState::Paused);
  test::Pump();

  // "+5" at 10.2 s writes 15.2 s and synchronises to 15.2 s, without starting the player.
  w.player.SetPositionNow(10.2);
  const int runs = ed.playback->SyncRuns;
  ed.ui.cbPlay[4]->click();
  ASSERT_FALSE(w.player.positionWrites.empty());
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 15.2);
  EXPECT_EQ(ed.playback->SyncRuns, runs + 1);
  EXPECT_EQ(ed.playback->LastSyncTime, 15.2f);
  EXPECT_FALSE(w.player.log.contains(QStringLiteral("play")));

  // Targets outside the media are clamped to it, and the grids follow the clamped time: "-30" at
  // 12 s goes to 0, "+30" at 50 s of the 60 s video to its end.
  w.player.SetPositionNow(12.0);
  ed.ui.cbPlay[0]->click();
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 0.0);
  EXPECT_EQ(ed.playback->LastSyncTime, 0.0f);
  w.player.SetPositionNow(50.0);
  ed.ui.cbPlay[5]->click();
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 60.0);
  EXPECT_EQ(ed.playback->LastSyncTime, 60.0f);

  // Every button has its own step.
  w.player.duration = 200;
  const double steps[6] = {-30, -5, -1, 1, 5, 30};
  for (int i = 0; i < 6; ++i) {
    w.player.SetPositionNow(100.0);
    ed.ui.cbPlay[i]->click();
    EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 100.0 + steps[i]) << "button " << i;
  }
  EXPECT_EQ(ed.EditorState, State::Idle);
}

TEST(Playback, SeekOnANeverStartedVideoPlaysAndPausesFirst) {
  Loaded w;
  Editor& ed = w.ed();
  ASSERT_EQ(w.player.PlayState(), PlayState::Ready);
  w.player.delayMs = 100;  // the player takes a while to answer, as the real one does
  w.player.SetPositionNow(2.0);
  QElapsedTimer t;
  t.start();
  ed.ui.cbPlay[3]->click();
  EXPECT_LT(t.elapsed(), 2000);
  // Started, then paused (the refresh of the playing state may ask for play once more), then sought.
  const qsizetype play = w.player.log.indexOf(QStringLiteral("play"));
  const qsizetype pause = w.player.log.indexOf(QStringLiteral("pause"));
  const qsizetype seek = w.player.log.indexOf(QStringLiteral("seek:3"));
  EXPECT_EQ(play, 0) << w.player.log.join(QLatin1Char(' ')).toStdString();
  EXPECT_GT(pause, play);
  EXPECT_EQ(seek, w.player.log.size() - 1);
  EXPECT_GT(seek, pause);
  EXPECT_EQ(w.player.PlayState(), PlayState::Paused);
  EXPECT_FALSE(ed.ui.WaitTm->isActive());  // both waits reached their state
  EXPECT_FALSE(w.pointer.waiting);
  test::Pump(50);
  EXPECT_EQ(ed.EditorState, State::Idle);  // playing, then paused again: back to idle
}

TEST(Playback, AWaitThatTimesOutEndsAfterFiveSecondsAndLeavesWaitTmRunning) {
  Loaded w;
  Editor& ed = w.ed();
  w.player.respondToPlay = false;  // the player never starts
  // The pause wait is answered a moment after the first wait has timed out.
  bool waitTmRunAfterTimeOut = false;
  QTimer::singleShot(5400, [&] {
    waitTmRunAfterTimeOut = ed.ui.WaitTm->isActive();
    w.player.SetStateNow(PlayState::Paused);
  });
  QElapsedTimer t;
  t.start();
  ed.ui.cbPlay[5]->click();
  const qint64 took = t.elapsed();
  EXPECT_GE(took, 4900);
  EXPECT_LT(took, 6500);
  EXPECT_TRUE(waitTmRunAfterTimeOut);
  EXPECT_FALSE(ed.ui.WaitTm->isActive());  // the second wait reached its state
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 30.0);
  EXPECT_FALSE(w.pointer.waiting);
}

TEST(Playback, LoadingAndBufferingDisableTheSeekButtons) {
  Loaded w;
  Editor& ed = w.ed();
  EXPECT_TRUE(w.AllSeekButtonsEnabled());
  // In a paused editing state the refresh leaves the label to the play-state event.
  ed.EditorState = State::EditPaused;
  for (int s : {PlayState::Buffering, PlayState::Transitioning, PlayState::Undefined}) {
    ed.ui.WMPVstate->setText(QStringLiteral("x"));
    w.player.SetStateNow(s);
    EXPECT_FALSE(w.AnySeekButtonEnabled()) << s;
    EXPECT_EQ(ed.ui.WMPVstate->text(), QString()) << s;
  }
  w.player.SetStateNow(PlayState::Paused);
  EXPECT_TRUE(w.AllSeekButtonsEnabled());
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("一時停止中"));
  // Value 12 leaves the label as it is, stops the player and shows the end.
  w.player.SetStateNow(PlayState::Last);
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("一時停止中"));
  EXPECT_TRUE(w.player.log.contains(QStringLiteral("stop")));
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 60.0);
  EXPECT_FALSE(w.AnySeekButtonEnabled());
}

TEST(Playback, PlayingToTheEndKeepsTheEndPositionAndReturnsToIdle) {
  Loaded w;
  Editor& ed = w.ed();
  w.player.Play();
  test::Pump();
  ASSERT_EQ(ed.EditorState, State::Playing);
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("再生中"));
  EXPECT_TRUE(ed.ui.playTimer->isActive());
  w.player.status = QStringLiteral("停止中");
  w.player.RunToEnd();
  EXPECT_DOUBLE_EQ(w.player.positionWrites.back(), 60.0);
  EXPECT_EQ(ed.EditorState, State::Idle);
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("停止中"));
  EXPECT_FALSE(ed.ui.playTimer->isActive());
  // A stop in the idle state does not move the position.
  const size_t writes = w.player.positionWrites.size();
  w.player.SetStateNow(PlayState::Stopped);
  EXPECT_EQ(w.player.positionWrites.size(), writes);
}

TEST(Playback, PositionEventsAndTicksShowTheTimeAndSynchronise) {
  Loaded w;
  Editor& ed = w.ed();
  // Idle: the label follows, the grids do not.
  int runs = ed.playback->SyncRuns;
  w.player.ReportPosition(0, 12.3456);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:12.345"));
  EXPECT_EQ(ed.playback->SyncRuns, runs);

  w.player.Play();
  test::Pump();
  ASSERT_EQ(ed.EditorState, State::Playing);
  runs = ed.playback->SyncRuns;
  w.player.ReportPosition(12.3456, 75.5);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("01:15.500"));
  EXPECT_EQ(ed.playback->SyncRuns, runs + 1);
  EXPECT_EQ(ed.playback->LastSyncTime, 75.5f);

  // The tick reads the position and synchronises to it cut to milliseconds.
  w.player.SetPositionNow(80.1239);
  OnPlayTimerTick(ed);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("01:20.123"));
  EXPECT_EQ(ed.playback->LastSyncTime, static_cast<float>(80.123));
  // While the player waits for data in a playing state the tick only shows the time.
  runs = ed.playback->SyncRuns;
  ed.ui.playTimer->stop();
  QObject::disconnect(&w.player, &MediaPlayer::PlayStateChange, nullptr, nullptr);
  w.player.SetStateNow(PlayState::Buffering);
  w.player.SetPositionNow(81.0);
  OnPlayTimerTick(ed);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("01:21.000"));
  EXPECT_EQ(ed.playback->SyncRuns, runs);
}
