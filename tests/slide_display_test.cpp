// The slide grid's keys, clicks and right-button menu, and the drawing of slide pictures.
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "document/time_text.h"
#include "slides/slide_display.h"
#include "support/test_support.h"
#include "slides/slides_state.h"

using namespace kemo;

namespace {

// The colour of the stage picture at its centre.
QColor CentreColour(const Stage& s) {
  const QImage& p = s.Picture();
  return p.isNull() ? QColor() : p.pixelColor(p.width() / 2, p.height() / 2);
}

bool IsBluish(const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; }

// A stage and the editor around it, without the window.
struct StageOnly {
  test::ProgramFolder program;
  QTemporaryDir data;
  std::unique_ptr<Editor> ed = std::make_unique<Editor>();
  Stage stage;
  StageOnly() {
    ed->ProgramFolder = program.path();
    ed->DataFolder = data.path();
    PlaceTwips(&stage, 0, 0, 4800, 3600);
    ed->ui.img = &stage;
  }
  void ExpectDefaultWithNotFound(const QString& what) {
    SCOPED_TRACE(what.toStdString());
    EXPECT_TRUE(stage.FileNotFoundVisible());
    EXPECT_EQ(stage.PictureSource(), ed->DefaultPicture());
    EXPECT_FALSE(stage.Picture().isNull());
  }
};

// The window with three slides at 0, 10 and 20 s and their pictures in a data folder.
struct SlideWindow {
  test::Window w;
  QTemporaryDir data;
  Editor& ed() { return w.ed(); }
  SlideWindow() {
    Editor& e = w.ed();
    e.DataFolder = data.path();
    const char* names[3] = {"a.jpg", "b.jpg", "c.jpg"};
    for (int i = 0; i < 3; ++i) {
      test::WriteJpeg(JoinPath(data.path(), QString::fromLatin1(names[i])));
      SlideRecord& s = e.Sld[i];
      s.id = static_cast<int16_t>(i + 1);
      s.pos = 10.0 * i;
      s.timeText = FormatTimeText(s.pos);
      s.caption = QStringLiteral("スライド%1").arg(i + 1);
      s.image = QString::fromLatin1(names[i]);
    }
    e.SldCnt = 3;
    BuildSlideTable(e);
    w.window->show();
    // A loaded video that was never played, as after opening a converted folder.
    e.EditorState = State::Idle;
    w.player.SetURL(JoinPath(data.path(), QStringLiteral("Video.avi")));
    test::Pump(30);
    RefreshModeDisplay(e);
    test::Pump(30);
  }
  int Row() { return ed().RS_SLD->CurrentRow(); }
  QPoint RowCentre(int row) {
    DataGrid* g = ed().ui.dgSlide;
    return g->visualRect(g->model()->index(row, 2)).center();
  }
};

}  // namespace

TEST(SlideDisplay, ShowsSlidePictureAndFallsBackToDefault) {
  StageOnly s;
  const QString good = JoinPath(s.data.path(), QStringLiteral("good.jpg"));
  test::WriteJpeg(good, 320, 240, Qt::blue);
  ShowSlideImage(*s.ed, good);
  EXPECT_FALSE(s.stage.FileNotFoundVisible());
  EXPECT_EQ(s.stage.PictureSource(), good);
  EXPECT_TRUE(IsBluish(CentreColour(s.stage)));
  // Decoded at the stage's own size: it is stretched over the whole stage.
  EXPECT_EQ(s.stage.Picture().size(), s.stage.size());

  ShowSlideImage(*s.ed, SlideImagePath(*s.ed, QString()));
  s.ExpectDefaultWithNotFound(QStringLiteral("empty image name"));
  EXPECT_FALSE(IsBluish(CentreColour(s.stage)));

  ShowSlideImage(*s.ed, good);
  ShowSlideImage(*s.ed, SlideImagePath(*s.ed, QStringLiteral("missing.jpg")));
  s.ExpectDefaultWithNotFound(QStringLiteral("missing file"));

  const QString text = JoinPath(s.data.path(), QStringLiteral("notes.jpg"));
  test::WriteFile(text, "this is not a picture\n");
  ShowSlideImage(*s.ed, good);
  ShowSlideImage(*s.ed, text);
  s.ExpectDefaultWithNotFound(QStringLiteral("not a picture"));

  ShowSlideImage(*s.ed, good);
  ShowSlideImage(*s.ed, s.ed->DefaultPicture());
  s.ExpectDefaultWithNotFound(QStringLiteral("the default picture itself"));

  ShowSlideImage(*s.ed, good);
  ShowSlideImage(*s.ed, s.ed->DataFolder + QStringLiteral("\\  "));
  s.ExpectDefaultWithNotFound(QStringLiteral("trailing backslash"));
}

TEST(SlideDisplay, ImageNamesThatAreNotPlainFileNamesNeverLeaveTheDataFolder) {
  StageOnly s;
  // Real pictures exist where each name would lead if it were joined.
  QDir(s.data.path()).mkpath(QStringLiteral("sub"));
  QDir(s.data.path()).mkpath(QStringLiteral("folder"));
  test::WriteJpeg(JoinPath(JoinPath(s.data.path(), QStringLiteral("sub")), QStringLiteral("x.jpg")));
  const QString outside = JoinPath(QFileInfo(s.data.path()).path(), QStringLiteral("outside.jpg"));
  test::WriteJpeg(outside);
  const QString good = JoinPath(s.data.path(), QStringLiteral("good.jpg"));
  test::WriteJpeg(good);

  for (const QString& name : {QStringLiteral("sub/x.jpg"), QStringLiteral("sub\\x.jpg"), QStringLiteral("../outside.jpg"),
                              QStringLiteral(".."), QStringLiteral(".")}) {
    EXPECT_EQ(SlideImagePath(*s.ed, name), JoinPath(s.data.path(), QString())) << name.toStdString();
    ShowSlideImage(*s.ed, good);
    ShowSlideImage(*s.ed, SlideImagePath(*s.ed, name));
    s.ExpectDefaultWithNotFound(name);
    // A caller that joins the name itself is caught as well.
    ShowSlideImage(*s.ed, good);
    ShowSlideImage(*s.ed, JoinPath(s.data.path(), name));
    s.ExpectDefaultWithNotFound(QStringLiteral("joined ") + name);
  }
  // A plain name that names a folder is no picture either.
  ShowSlideImage(*s.ed, good);
  ShowSlideImage(*s.ed, SlideImagePath(*s.ed, QStringLiteral("folder")));
  s.ExpectDefaultWithNotFound(QStringLiteral("folder"));
  QFile::remove(outside);
}

TEST(SlideDisplay, ArrowKeysSeekWhileNoPlaybackRuns) {
  SlideWindow sw;
  Editor& ed = sw.ed();
  auto& writes = sw.w.player.positionWrites;

  // Down on the last row and Up on the first row seek to the same slide again.
  ed.RS_SLD->MoveLast();
  writes.clear();
  OnSlideGridKeyDown(ed, 40, 0);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_DOUBLE_EQ(writes.back(), 20.0);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:20.000"));
  EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(ed.DataFolder, QStringLiteral("c.jpg")));
  ed.RS_SLD->MoveFirst();
  OnSlideGridKeyDown(ed, 38, 0);
  EXPECT_DOUBLE_EQ(writes.back(), 0.0);
  EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(ed.DataFolder, QStringLiteral("a.jpg")));

  // Up from the last row goes to the one before it.
  ed.RS_SLD->MoveLast();
  OnSlideGridKeyDown(ed, 38, 0);
  EXPECT_DOUBLE_EQ(writes.back(), 10.0);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:10.000"));

  // Any other key seeks to the first slide, whatever row is current.
  ed.RS_SLD->MoveLast();
  OnSlideGridKeyDown(ed, 34, 0);  // Page Down
  EXPECT_DOUBLE_EQ(writes.back(), 0.0);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:00.000"));

  // Through the grid itself: the handler seeks to the next slide, then the grid moves its row.
  DataGrid* g = ed.ui.dgSlide;
  ed.RS_SLD->MoveFirst();
  writes.clear();
  QTest::keyClick(g, Qt::Key_Down);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_DOUBLE_EQ(writes.back(), 10.0);
  EXPECT_EQ(sw.Row(), 1);
  EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(ed.DataFolder, QStringLiteral("b.jpg")));

  // Recording paused and editing paused are no-playback states too.
  for (uint8_t s : {State::RecordPaused, State::EditPaused}) {
    ed.EditorState = s;
    writes.clear();
    OnSlideGridKeyDown(ed, 40, 0);
    EXPECT_EQ(writes.size(), 1u) << int(s);
  }
}

TEST(SlideDisplay, ArrowKeysDuringPlaybackMoveTheRowWithoutSeeking) {
  SlideWindow sw;
  Editor& ed = sw.ed();
  DataGrid* g = ed.ui.dgSlide;
  ed.RS_SLD->MoveFirst();
  for (uint8_t s : {State::Playing, State::RecordPlaying, State::EditPlaying}) {
    ed.EditorState = s;
    sw.w.player.positionWrites.clear();
    const QString before = ed.ui.dispTime->text();
    OnSlideGridKeyDown(ed, 40, 0);
    EXPECT_TRUE(sw.w.player.positionWrites.empty()) << int(s);
    EXPECT_EQ(ed.ui.dispTime->text(), before);
  }
  ed.EditorState = State::Playing;
  g->setEnabled(true);
  QTest::keyClick(g, Qt::Key_Down);
  EXPECT_EQ(sw.Row(), 1);
  EXPECT_TRUE(sw.w.player.positionWrites.empty());
}

TEST(SlideDisplay, ClickOnNeverStartedVideoPlaysAndPausesBeforeSeeking) {
  SlideWindow sw;
  Editor& ed = sw.ed();
  ScriptedPlayer& player = sw.w.player;
  ASSERT_EQ(player.PlayState(), PlayState::Ready);
  player.log.clear();
  DataGrid* g = ed.ui.dgSlide;
  QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, sw.RowCentre(1));
  EXPECT_EQ(sw.Row(), 1);
  const qsizetype play = player.log.indexOf(QStringLiteral("play"));
  const qsizetype pause = player.log.indexOf(QStringLiteral("pause"));
  const qsizetype seek = player.log.indexOf(QStringLiteral("seek:10"));
  ASSERT_GE(play, 0) << player.log.join(' ').toStdString();
  EXPECT_GT(pause, play);
  EXPECT_GT(seek, pause);
  EXPECT_EQ(ed.ui.dispTime->text(), QStringLiteral("00:10.000"));
  EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(ed.DataFolder, QStringLiteral("b.jpg")));
  EXPECT_FALSE(sw.w.pointer.waiting);

  // Paused already: only a pause before the seek, no play.
  test::Pump(30);
  player.SetStateNow(PlayState::Paused);
  player.log.clear();
  ed.RS_SLD->MoveTo(2);
  OnSlideGridMouseUp(ed, 1, 0, 0, 0);
  EXPECT_EQ(player.log, QStringList({QStringLiteral("pause"), QStringLiteral("seek:20")}));
}

TEST(SlideDisplay, ClickWaitsAtMostUntilTheWaitTimerFires) {
  SlideWindow sw;
  Editor& ed = sw.ed();
  ScriptedPlayer& player = sw.w.player;
  player.respondToPlay = false;  // the video never starts
  // A wait timer still running from an earlier time-out fires soon; the wait ends with it.
  ed.ui.WaitTm->start(200);
  ed.RS_SLD->MoveTo(2);
  player.log.clear();
  OnSlideGridMouseUp(ed, 1, 0, 0, 0);
  EXPECT_TRUE(ed.WaitTimedOut);
  // The seek goes ahead in whatever state the player reached, without a pause.
  EXPECT_EQ(player.log, QStringList({QStringLiteral("play"), QStringLiteral("seek:20")}));
}

TEST(SlideDisplay, OnlyARightButtonMovementOpensTheSlidesMenu) {
  SlideWindow sw;
  Editor& ed = sw.ed();
  std::vector<QMenu*> opened;
  ed.slides->PopupHook = [&opened](QMenu* m, const QPoint&) { opened.push_back(m); };
  OnSlideGridMouseMove(ed, 1, 0, 0, 0);
  OnSlideGridMouseMove(ed, 3, 0, 0, 0);
  OnSlideGridMouseMove(ed, 0, 0, 0, 0);
  OnSlideGridMouseMove(ed, 6, 0, 0, 0);
  EXPECT_TRUE(opened.empty());
  OnSlideGridMouseMove(ed, 2, 1, 0, 0);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], ed.ui.ppSld);

  // The real grid reports the held buttons of a movement.
  QWidget* vp = ed.ui.dgSlide->viewport();
  const QPoint at = sw.RowCentre(0);
  auto move = [&](Qt::MouseButtons held) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), vp->mapToGlobal(QPointF(at)), Qt::NoButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &e);
  };
  opened.clear();
  move(Qt::LeftButton);
  move(Qt::LeftButton | Qt::RightButton);
  move(Qt::NoButton);
  EXPECT_TRUE(opened.empty());
  move(Qt::RightButton);
  EXPECT_EQ(opened.size(), 1u);
}
