// The real QMediaPlayer (GStreamer, offscreen, silent audio sink) in the real window, playing an AVI
// made by ffmpeg with the conversion's own options.
#include <QAudioOutput>
#include <QDir>
#include <QMediaPlayer>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <gtest/gtest.h>
#include <random>

#include "app/frm_main.h"
#include "document/state_machine.h"
#include "platform/media_player.h"
#include "platform/qt_media_player.h"
#include "playback/playback.h"
#include "document/time_text.h"
#include "support/test_support.h"
#include "playback/playback_state.h"

using namespace kemo;

namespace {

// A few seconds of test picture and tone, encoded as the conversion encodes.
bool MakeAvi(const QString& folder, const QString& name, int seconds) {
  QProcess p;
  p.setWorkingDirectory(folder);
  const QString d = QString::number(seconds);
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("testsrc=duration=%1:size=320x240:rate=15").arg(d), QStringLiteral("-f"),
           QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=%1").arg(d),
           QStringLiteral("-acodec"), QStringLiteral("wmav2"), QStringLiteral("-vcodec"), QStringLiteral("msmpeg4v2"),
           QStringLiteral("-ab"), QStringLiteral("64k"), QStringLiteral("-b"), QStringLiteral("512k"),
           QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-s"), QStringLiteral("240x160"), name});
  return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Processes events until done() holds or ms have passed; true when it held.
bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    test::Pump(10);
  }
  return true;
}

struct RealWindow {
  RealWindow() {
    Services s;
    s.player = player.get();
    s.messages = &messages;
    s.dialogs = &dialogs;
    s.clock = &clock;
    s.beeper = &beeper;
    s.pointer = &pointer;
    window = std::make_unique<FrmMain>(s, program.path());
    window->ed().UserWorkFolder = program.work();
    window->show();
  }
  Editor& ed() { return window->ed(); }
  // What opening a folder with a Video.avi leaves: the video loaded, state 0.
  void Open(const QString& folder) {
    ed().DataFolder = folder;
    player->SetURL(QDir(folder).filePath(QStringLiteral("Video.avi")));
    ed().EditorState = State::Idle;
    RefreshModeDisplay(ed());
  }
  test::ProgramFolder program;
  std::unique_ptr<MediaPlayer> player = CreateQtMediaPlayer();
  ScriptedMessageBoxes messages;
  ScriptedFileDialogs dialogs;
  FixedClock clock;
  RecordingBeeper beeper;
  ScriptedPointer pointer;
  std::unique_ptr<FrmMain> window;
};

class RealPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) GTEST_SKIP() << "ffmpeg not installed";
    ASSERT_TRUE(data.isValid());
    ASSERT_TRUE(MakeAvi(data.path(), QStringLiteral("Video.avi"), 3));
  }
  QTemporaryDir data;
};

}  // namespace

// The window shows before the media machinery starts: the player makes it at its first load (or
// when asked to prepare), puts the picture into the view already placed, and keeps the sound off
// when it was switched off before.
TEST_F(RealPlayer, TheMediaMachineryStartsAtTheFirstLoadAndKeepsWhatWasSetBefore) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  EXPECT_EQ(w.window->findChild<QVideoWidget*>(), nullptr);
  EXPECT_EQ(player.findChild<QMediaPlayer*>(), nullptr);
  player.SetMute(true);
  player.SetURL(QString());
  EXPECT_EQ(player.PlayState(), PlayState::Undefined);
  EXPECT_EQ(player.CurrentPosition(), 0.0);

  w.Open(data.path());
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready; }, 5000));
  auto* video = w.window->findChild<QVideoWidget*>(QStringLiteral("WMPV_video"));
  ASSERT_NE(video, nullptr);
  EXPECT_TRUE(video->isVisible());
  EXPECT_GT(video->height(), 50) << "the picture did not take the view's space";
  auto* audio = player.findChild<QAudioOutput*>();
  ASSERT_NE(audio, nullptr);
  EXPECT_TRUE(audio->isMuted());
  auto* mute = w.window->findChild<QToolButton*>(QStringLiteral("WMPV_mute"));
  ASSERT_NE(mute, nullptr);
  EXPECT_TRUE(mute->isChecked());

  // Frames reach the picture.
  player.Play();
  EXPECT_TRUE(WaitUntil([&] { return video->videoSink() && video->videoSink()->videoFrame().isValid(); }, 5000));
  player.Pause();
  player.Prepare();
  EXPECT_EQ(player.findChildren<QMediaPlayer*>().size(), 1);
  EXPECT_EQ(w.window->findChildren<QVideoWidget*>().size(), 1);
}

TEST_F(RealPlayer, PlaysPausesSeeksAndStopsAtTheEnd) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  std::vector<int> states;
  QObject::connect(&player, &MediaPlayer::PlayStateChange, [&](int s) { states.push_back(s); });
  w.Open(data.path());

  // Loaded, not started: ready, with its length known.
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
  test::Pump(50);
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("準備完了"));
  EXPECT_NEAR(player.Duration(), 3.0, 0.3);

  // The transport bar starts the video.
  auto* play = w.window->findChild<QToolButton*>(QStringLiteral("WMPV_play"));
  ASSERT_NE(play, nullptr);
  play->click();
  ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Playing; }, 5000));
  EXPECT_EQ(player.PlayState(), PlayState::Playing);
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("再生中"));
  EXPECT_TRUE(ed.ui.playTimer->isActive());
  ASSERT_TRUE(WaitUntil([&] { return player.CurrentPosition() > 0.5; }, 3000));
  test::Pump(150);
  EXPECT_NE(ed.ui.dispTime->text(), QStringLiteral("00:00.000"));

  // Pause, then a seek while paused lands where it was asked.
  play->click();
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Paused && ed.EditorState == State::Idle; },
                        5000));
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("一時停止中"));
  EXPECT_FALSE(ed.ui.playTimer->isActive());
  const double before = player.CurrentPosition();
  ed.ui.cbPlay[3]->click();  // +1
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - (before + 1)) < 0.1; }, 3000))
      << "position " << player.CurrentPosition() << " expected " << before + 1;
  EXPECT_EQ(player.PlayState(), PlayState::Paused);

  // Played to its end: stopped, kept at its end, back to idle.
  play->click();
  ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Playing; }, 5000));
  ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Idle; }, 8000));
  test::Pump(200);
  EXPECT_EQ(player.PlayState(), PlayState::Stopped);
  EXPECT_NEAR(player.CurrentPosition(), player.Duration(), 0.05);
  EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("停止中"));
  EXPECT_EQ(ed.ui.dispTime->text().left(5), FormatTimeText(player.Duration()).left(5));
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back(), PlayState::Stopped);
}

TEST_F(RealPlayer, SeekOnANeverStartedVideoPlaysAndPausesItFirst) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  w.Open(data.path());
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready; }, 5000));
  QElapsedTimer t;
  t.start();
  ed.ui.cbPlay[3]->click();  // +1 from 0
  EXPECT_LT(t.elapsed(), 5000);  // neither wait ran into its time-out
  EXPECT_FALSE(ed.ui.WaitTm->isActive());
  EXPECT_EQ(player.PlayState(), PlayState::Paused);
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 1.0) < 0.05; }, 3000))
      << player.CurrentPosition();
  test::Pump(300);
  // It stays paused where it was sought to, and the editor is idle again.
  EXPECT_EQ(player.PlayState(), PlayState::Paused);
  EXPECT_NEAR(player.CurrentPosition(), 1.0, 0.05);
  EXPECT_EQ(ed.EditorState, State::Idle);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:01.000"));
}

TEST_F(RealPlayer, AConvertedVideoIsLoadedAndAConversionAgainReloadsIt) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  const QString folder = QDir(data.path()).filePath(QStringLiteral("変換 テスト"));
  ASSERT_TRUE(QDir().mkpath(folder));
  QProcess p;
  p.setWorkingDirectory(folder);
  p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                     QStringLiteral("testsrc=duration=2:size=320x240:rate=15"),
                                     QStringLiteral("Video.flv")});
  ASSERT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0);
  ed.DataFolder = folder;
  ed.EditorState = State::NoVideo;
  RefreshModeDisplay(ed);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ed.ui.mnuFileConv->trigger();
    EXPECT_EQ(w.messages.LastText(), QStringLiteral("FLV⇒AVI変換が完了しました。"));
    EXPECT_EQ(ed.EditorState, State::Idle);
    EXPECT_EQ(player.URL(), QDir(folder).filePath(QStringLiteral("Video.avi")));
    ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
    EXPECT_NEAR(player.Duration(), 2.0, 0.3);
    test::Pump(50);
    EXPECT_EQ(ed.ui.WMPVstate->text(), QStringLiteral("準備完了"));
  }
}

TEST(RealPlayerMapping, PlayStatesFollowWhatTheEditorNeeds) {
  using P = QMediaPlayer;
  EXPECT_EQ(PlayStateOf(false, P::PlayingState, P::BufferedMedia, true), PlayState::Undefined);
  // "Playing" before the file has loaded is not playing yet.
  EXPECT_EQ(PlayStateOf(true, P::PlayingState, P::LoadingMedia, false), PlayState::Transitioning);
  EXPECT_EQ(PlayStateOf(true, P::StoppedState, P::LoadedMedia, false), PlayState::Ready);
  EXPECT_EQ(PlayStateOf(true, P::StoppedState, P::LoadedMedia, true), PlayState::Stopped);
  EXPECT_EQ(PlayStateOf(true, P::StoppedState, P::EndOfMedia, true), PlayState::Stopped);
  EXPECT_EQ(PlayStateOf(true, P::PlayingState, P::BufferingMedia, true), PlayState::Buffering);
  EXPECT_EQ(PlayStateOf(true, P::PlayingState, P::BufferedMedia, true), PlayState::Playing);
  EXPECT_EQ(PlayStateOf(true, P::PausedState, P::BufferedMedia, true), PlayState::Paused);
  EXPECT_EQ(PlayStateOf(true, P::StoppedState, P::InvalidMedia, false), PlayState::Undefined);
  EXPECT_EQ(StatusTextOf(PlayState::Ready, false), QStringLiteral("準備完了"));
  EXPECT_EQ(StatusTextOf(PlayState::Transitioning, false), QStringLiteral("読み込み中"));
  EXPECT_EQ(StatusTextOf(PlayState::Undefined, true), QStringLiteral("再生できません"));
}

TEST(RealPlayerMapping, UnloadAndAMissingFile) {
  auto player = CreateQtMediaPlayer();
  player->SetURL(QStringLiteral("/nonexistent/kemo/Video.avi"));
  EXPECT_TRUE(WaitUntil([&] { return player->PlayState() == PlayState::Undefined && !player->Status().isEmpty(); },
                        5000))
      << player->PlayState() << " " << player->Status().toStdString();
  player->Play();  // nothing to play: no effect, no crash
  player->SetCurrentPosition(5);
  player->SetURL(QString());
  test::Pump(100);
  EXPECT_EQ(player->PlayState(), PlayState::Undefined);
  EXPECT_EQ(player->CurrentPosition(), 0.0);
  EXPECT_EQ(player->Duration(), 0.0);
}

namespace {

// A video (15 frames a second, with sound, encoded as the conversion encodes) whose frame n shows
// n in binary as `bits` upright stripes, white for a one: the picture itself tells which frame it is.
bool MakeNumberedAvi(const QString& folder, int seconds, int bits = 8) {
  QProcess p;
  p.setWorkingDirectory(folder);
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("nullsrc=s=240x160:r=15:d=%1,geq=lum='if(mod(floor(N/pow(2\\,floor(X/%2)))\\,2)\\,235\\,16)':cb=128:cr=128").arg(seconds).arg(240 / bits),
           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), QStringLiteral("-acodec"),
           QStringLiteral("wmav2"), QStringLiteral("-vcodec"), QStringLiteral("msmpeg4v2"), QStringLiteral("-ab"),
           QStringLiteral("64k"), QStringLiteral("-b"), QStringLiteral("512k"), QStringLiteral("-ac"),
           QStringLiteral("2"), QStringLiteral("-s"), QStringLiteral("240x160"), QStringLiteral("Video.avi")});
  return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The number of the frame the player's picture shows (from its stripes), once the picture has
// stood still for 300 ms; -1 when there is none.
int ShownFrame(FrmMain& window, int bits = 8) {
  auto* video = window.findChild<QVideoWidget*>(QStringLiteral("WMPV_video"));
  if (!video || !video->videoSink()) return -1;
  QVideoSink* sink = video->videoSink();
  qint64 last = -2;
  QElapsedTimer still, all;
  still.start();
  all.start();
  while (all.elapsed() < 5000) {
    const qint64 t = sink->videoFrame().startTime();
    if (t != last) {
      last = t;
      still.restart();
    } else if (still.elapsed() > 300) {
      break;
    }
    test::Pump(10);
  }
  const QImage picture = sink->videoFrame().toImage();
  if (picture.isNull()) return -1;
  int n = 0;
  const int stripe = 240 / bits;
  for (int bit = 0; bit < bits; ++bit) {
    const int x = (bit * stripe + stripe / 2) * picture.width() / 240;
    if (qGray(picture.pixel(x, picture.height() / 2)) > 128) n |= 1 << bit;
  }
  return n;
}

// The presentation times of the video's frames, in order, as the container holds them.
std::vector<double> FrameTimes(const QString& file) {
  QProcess p;
  p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                      QStringLiteral("v"), QStringLiteral("-show_entries"),
                                      QStringLiteral("packet=pts_time"), QStringLiteral("-of"),
                                      QStringLiteral("csv=p=0"), file});
  std::vector<double> times;
  if (!p.waitForFinished(30000)) return times;
  for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
    if (!line.trimmed().isEmpty()) times.push_back(line.trimmed().toDouble());
  return times;
}

// The number of the frame in force at t: the last one that starts at or before it.
int FrameAt(const std::vector<double>& times, double t) {
  int n = 0;
  for (size_t i = 0; i < times.size(); ++i)
    if (times[i] <= t + 1e-6) n = static_cast<int>(i);
  return n;
}

}  // namespace

TEST_F(RealPlayer, StopButtonSliderAndSeeksKeepLabelGridsAndPlayerOnTheMedia) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  w.Open(data.path());
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
  const double duration = player.Duration();

  // The transport bar's stop while playing: label and grids follow the player back to its start.
  auto* play = w.window->findChild<QToolButton*>(QStringLiteral("WMPV_play"));
  auto* stop = w.window->findChild<QToolButton*>(QStringLiteral("WMPV_stop"));
  ASSERT_TRUE(play && stop);
  play->click();
  ASSERT_TRUE(WaitUntil([&] { return player.CurrentPosition() > 1.0; }, 5000));
  stop->click();
  ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Idle && player.PlayState() == PlayState::Stopped; }, 5000));
  test::Pump(300);
  EXPECT_EQ(ed.ui.dispTime->text(), FormatTimeText(CutToMilliseconds(player.CurrentPosition())));
  EXPECT_LT(player.CurrentPosition(), 0.1);
  EXPECT_EQ(ed.playback->LastSyncTime, static_cast<float>(CutToMilliseconds(player.CurrentPosition())));

  // "+30" from 1 s of the 3 s video: the end, not 31 s, in the player, the label and the grids.
  ed.ui.cbPlay[3]->click();  // +1 (plays and pauses the stopped video first)
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 1.0) < 0.05; }, 3000));
  ed.ui.cbPlay[5]->click();
  test::Pump(500);
  EXPECT_LE(player.CurrentPosition(), duration + 0.001);
  EXPECT_LE(ParseTimeText(ed.ui.dispTime->text()), duration + 0.001) << ed.ui.dispTime->text().toStdString();
  EXPECT_LE(ed.playback->LastSyncTime, static_cast<float>(duration) + 0.001f);

  // The slider, released at 1.5 s while paused: the player, the label and the grids go there.
  ed.ui.cbPlay[0]->click();  // -30: back to the start
  test::Pump(300);
  auto* slider = w.window->findChild<QSlider*>(QStringLiteral("WMPV_position"));
  ASSERT_NE(slider, nullptr);
  slider->setSliderDown(true);
  slider->setSliderPosition(1500);
  slider->setSliderDown(false);
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 1.5) < 0.05; }, 3000))
      << player.CurrentPosition();
  test::Pump(200);
  EXPECT_EQ(ed.playback->LastSyncTime, 1.5f);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:01.500"));
}

TEST_F(RealPlayer, APausedSeekShowsTheFrameAtTheTimeOfTheLabel) {
  // The encoder puts a key frame every 12 frames (0.8 s at 15 frames a second); 2.3 s lies 0.7 s
  // after the key frame at 1.6 s.
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  QTemporaryDir numbered;
  ASSERT_TRUE(MakeNumberedAvi(numbered.path(), 3));
  const std::vector<double> times = FrameTimes(QDir(numbered.path()).filePath(QStringLiteral("Video.avi")));
  ASSERT_GE(times.size(), 40u);
  w.Open(numbered.path());
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
  ed.ui.cbPlay[3]->click();  // +1: played and paused, at 1 s
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 1.0) < 0.05; }, 3000));
  EXPECT_EQ(ShownFrame(*w.window), FrameAt(times, 1.0));
  for (double target : {2.3, 1.5, 0.5, 2.0}) {
    SCOPED_TRACE(target);
    OnPlayerSeekRequest(ed, target);
    const int shown = ShownFrame(*w.window);
    EXPECT_EQ(player.PlayState(), PlayState::Paused);
    EXPECT_EQ(shown, FrameAt(times, target)) << "label " << ed.ui.dispTime->text().toStdString();
  }
  // The same through a seek button.
  ed.ui.cbPlay[2]->click();  // -1: 1.0 s
  EXPECT_EQ(ShownFrame(*w.window), FrameAt(times, 1.0));
  // And with the video playing, paused just before the position is written (a row click).
  player.Play();
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Playing; }, 3000));
  test::Pump(300);
  player.Pause();
  player.SetCurrentPosition(2.3);
  EXPECT_EQ(ShownFrame(*w.window), FrameAt(times, 2.3));
}

TEST_F(RealPlayer, TheExitEndsPromptlyWithAVideoPausedOrPlaying) {
  for (bool playing : {false, true}) {
    SCOPED_TRACE(playing ? "playing" : "paused");
    RealWindow w;
    MediaPlayer& player = *w.player;
    Editor& ed = w.ed();
    w.Open(data.path());
    ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Playing; }, 5000));
    if (!playing) {
      player.Pause();
      ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Idle; }, 5000));
    }
    w.messages.Answer(MsgResult::Yes);
    QElapsedTimer t;
    t.start();
    // The window leaves at once; the waits for the player go on behind it.
    qint64 hiddenAt = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (hiddenAt < 0 && !w.window->isVisible()) hiddenAt = t.elapsed();
    });
    watch.start(5);
    // While the video plays the File menu is off: the system's close route.
    w.window->close();
    const qint64 took = t.elapsed();
    EXPECT_TRUE(w.window->ShutDown());
    std::printf("exit with the video %s: hidden after %lld ms, done after %lld ms\n", playing ? "playing" : "paused",
                static_cast<long long>(hiddenAt), static_cast<long long>(took));
    EXPECT_GE(hiddenAt, 0);
    EXPECT_LT(hiddenAt, 200);
    EXPECT_LT(took, 2500);
  }
}

// Fifty rounds of play, a seek while playing (the seek buttons or the position bar), and a pause:
// after each the label, the position bar and the player agree, and the picture is the frame in
// force at the label's time.
TEST_F(RealPlayer, LabelSliderAndPictureAgreeAfterEveryPause) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  QTemporaryDir numbered;
  ASSERT_TRUE(MakeNumberedAvi(numbered.path(), 20, 10));
  const std::vector<double> times = FrameTimes(QDir(numbered.path()).filePath(QStringLiteral("Video.avi")));
  w.Open(numbered.path());
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
  auto* slider = w.window->findChild<QSlider*>(QStringLiteral("WMPV_position"));
  ASSERT_NE(slider, nullptr);
  std::mt19937 random(28);
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    w.window->TogglePlayback();
    ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Playing; }, 5000));
    test::Pump(200 + static_cast<int>(random() % 800));
    const int how = static_cast<int>(random() % 5);
    if (player.CurrentPosition() > 12.0 || how == 0)
      ed.ui.cbPlay[0]->click();  // -30
    else if (how < 4)
      ed.ui.cbPlay[how]->click();  // -5, -1, +1
    else
      OnPlayerSeekRequest(ed, static_cast<double>(random() % 10000) / 1000.0);
    test::Pump(static_cast<int>(random() % 400));
    w.window->TogglePlayback();
    ASSERT_TRUE(WaitUntil([&] { return ed.EditorState == State::Idle && player.PlayState() == PlayState::Paused; }, 5000));
    test::Pump(700);  // a seek on a busy machine takes its time to show its frame
    const int shown = ShownFrame(*w.window, 10);
    const double label = ParseTimeText(ed.ui.dispTime->text());
    EXPECT_NEAR(label, player.CurrentPosition(), 0.0015);
    EXPECT_NEAR(slider->value() / 1000.0, player.CurrentPosition(), 0.0015);
    EXPECT_LE(std::abs(shown - FrameAt(times, label)), 1)
        << "label " << ed.ui.dispTime->text().toStdString() << ", frame " << shown << " at " << shown / 15.0 << " s";
  }
}

// The position bar jumps where it is clicked (the seek comes with the release, as after a drag),
// Page Up/Page Down move 10 s, and a drag still seeks where it is let go.
TEST_F(RealPlayer, ThePositionBarJumpsWhereClickedAndPagesByTenSeconds) {
  RealWindow w;
  MediaPlayer& player = *w.player;
  Editor& ed = w.ed();
  QTemporaryDir longer;
  ASSERT_TRUE(MakeAvi(longer.path(), QStringLiteral("Video.avi"), 30));
  w.Open(longer.path());
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == PlayState::Ready && player.Duration() > 0; }, 5000));
  auto* slider = w.window->findChild<QSlider*>(QStringLiteral("WMPV_position"));
  ASSERT_NE(slider, nullptr);
  const double duration = player.Duration();
  for (double fraction : {0.75, 0.25, 0.9}) {
    SCOPED_TRACE(fraction);
    const QPoint at(static_cast<int>(slider->width() * fraction), slider->height() / 2);
    QTest::mouseClick(slider, Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - duration * fraction) < duration * 0.06; }, 5000))
        << player.CurrentPosition() << " of " << duration;
    test::Pump(200);
    EXPECT_NEAR(ParseTimeText(ed.ui.dispTime->text()), player.CurrentPosition(), 0.0015);
  }
  OnPlayerSeekRequest(ed, 5.0);
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 5.0) < 0.05; }, 3000));
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_PageUp);
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 15.0) < 0.05; }, 3000)) << player.CurrentPosition();
  QTest::keyClick(slider, Qt::Key_PageDown);
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 5.0) < 0.05; }, 3000)) << player.CurrentPosition();
  // A drag of the handle: the seek comes where it is let go.
  slider->setSliderDown(true);
  slider->setSliderPosition(20000);
  slider->setSliderDown(false);
  ASSERT_TRUE(WaitUntil([&] { return std::abs(player.CurrentPosition() - 20.0) < 0.05; }, 3000)) << player.CurrentPosition();

  // The bar grows with the layout like every other control: 26 pixels high at the design size.
  auto* play = w.window->findChild<QToolButton*>(QStringLiteral("WMPV_play"));
  ASSERT_NE(play, nullptr);
  QSize designHandle;
  for (int times : {1, 3}) {
    w.window->resize(FrmMain::DesignClientSize() * times + QSize(0, w.window->menuBar()->sizeHint().height()));
    test::Pump(100);
    EXPECT_NEAR(play->height(), 26 * times, times) << times;
    EXPECT_NEAR(slider->height(), 26 * times, times) << times;
    EXPECT_GE(play->iconSize().height(), 16 * times - times) << times;
    // The symbols are drawn at the device's pixels (here a screen at 200 %), not taken from a
    // 16-pixel picture of the icon theme, and the play symbol has ink in its middle.
    for (auto* b : w.window->findChildren<QToolButton*>()) {
      if (!b->objectName().startsWith(QLatin1String("WMPV_"))) continue;
      const QImage drawn = b->icon().pixmap(b->iconSize(), 2.0).toImage();
      EXPECT_EQ(drawn.size(), b->iconSize() * 2) << b->objectName().toStdString() << " " << times;
    }
    // So does the position bar's handle.
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = Qt::Horizontal;
    opt.maximum = slider->maximum();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
    if (times == 1) designHandle = handle.size();
    EXPECT_GE(handle.width(), designHandle.width() * times - times) << times;
    const QImage symbol = play->icon().pixmap(play->iconSize(), 2.0).toImage();
    EXPECT_GT(qAlpha(symbol.pixel(symbol.width() / 2, symbol.height() / 2)), 200) << times;
  }
}
