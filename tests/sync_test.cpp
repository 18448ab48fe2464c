// Keeping the grids and the stage on the entry in force at a time.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "playback/stage_view.h"
#include "playback/sync.h"
#include "document/time_text.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

int Find(std::initializer_list<double> times, float t) {
  std::vector<double> v(times);
  return FindRowInForce(v.data(), static_cast<int>(v.size()), t);
}

// The editor with its record sets and a stage, without the window.
struct Tables {
  test::ProgramFolder program;
  QTemporaryDir data;
  std::unique_ptr<Editor> ed = std::make_unique<Editor>();
  RecordSet sld, cur, edt;
  Stage stage;
  Tables() {
    ed->ProgramFolder = program.path();
    ed->DataFolder = data.path();
    ed->RS_SLD = &sld;
    ed->RS_CUR = &cur;
    ed->RS_SLDEDT = &edt;
    PlaceTwips(&stage, 0, 0, 4800, 3600);
    ed->ui.img = &stage;
    ReadSymbolFile(*ed);
  }
  void Slides(SlideArray& a, int16_t& count, const std::vector<std::pair<double, QString>>& slides) {
    for (size_t i = 0; i < slides.size(); ++i) {
      a[i].id = static_cast<int16_t>(i + 1);
      a[i].pos = slides[i].first;
      a[i].timeText = FormatTimeText(slides[i].first);
      a[i].image = slides[i].second;
    }
    count = static_cast<int16_t>(slides.size());
  }
  void Points(const std::vector<double>& times) {
    for (size_t i = 0; i < times.size(); ++i) {
      PointRecord& p = ed->Cur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = times[i];
      p.timeText = FormatTimeText(times[i]);
      p.x = QStringLiteral("0.5");
      p.y = QStringLiteral("0.5");
    }
    ed->CurCnt = static_cast<int16_t>(times.size());
    BuildPointTable(*ed);
  }
  QString Image(const QString& name) { return JoinPath(data.path(), name); }
  int SlideRow() { return sld.CurrentRow(); }
  int PointId() { return cur.Field(QStringLiteral("ID")).toInt(); }
};

}  // namespace

TEST(Sync, RowSearchInSinglePrecision) {
  // The entry in force: the last one at or before t, the first before the first entry's time.
  EXPECT_EQ(Find({0, 10, 20}, 5), 0);
  EXPECT_EQ(Find({0, 10, 20}, 10), 1);
  EXPECT_EQ(Find({0, 10, 20}, 25), 2);
  EXPECT_EQ(Find({0, 10, 20}, -18), 0);
  EXPECT_EQ(Find({0, 10, 20}, 19.999f), 1);
  EXPECT_EQ(Find({3, 10}, 1), 0);
  EXPECT_EQ(Find({7}, 100), 0);
  EXPECT_EQ(Find({7}, -1), 0);
  // Equal times: exactly on them the first, after them the last.
  EXPECT_EQ(Find({0, 4.0, 4.0, 6}, 4.0f), 1);
  EXPECT_EQ(Find({0, 4.0, 4.0, 6}, 5), 2);
  EXPECT_EQ(Find({0, 4.0, 4.0, 6}, 6), 3);
  EXPECT_EQ(Find({0, 4.0, 4.0, 4.0}, 4.0f), 3);  // the last entry is not after t: the last row
  // Times that differ only beyond single precision are equal: a double comparison would find
  // 10.0000001 after 10 and choose the entry before it.
  EXPECT_EQ(Find({0, 10.0000001, 10.0000001, 20}, 10.0f), 1);
  EXPECT_EQ(Find({10.0000001, 20}, 10.0f), 0);
  EXPECT_EQ(Find({0, 0.1, 0.2}, static_cast<float>(0.1)), 1);
  // A count below one still has the first slot.
  double one = 5;
  EXPECT_EQ(FindRowInForce(&one, 0, 9), 0);
}

TEST(Sync, SlideRowFollowsTimeAndShowsItsPicture) {
  Tables tb;
  for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) test::WriteJpeg(tb.Image(QString::fromLatin1(n)));
  tb.Slides(tb.ed->Sld, tb.ed->SldCnt, {{0, "a.jpg"}, {10, "b.jpg"}, {20, "c.jpg"}});
  BuildSlideTable(*tb.ed);
  const QString names[3] = {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")};
  const std::pair<float, int> cases[] = {{5, 0}, {10, 1}, {25, 2}, {-18, 0}, {19.9f, 1}};
  for (auto [t, row] : cases) {
    SyncSlideRow(*tb.ed, t);
    EXPECT_EQ(tb.SlideRow(), row) << t;
    EXPECT_EQ(tb.stage.PictureSource(), tb.Image(names[row]));
    EXPECT_FALSE(tb.stage.FileNotFoundVisible());
  }
  // A slide without a picture shows the default one.
  tb.ed->Sld[1].image.clear();
  BuildSlideTable(*tb.ed);
  SyncSlideRow(*tb.ed, 12);
  EXPECT_EQ(tb.stage.PictureSource(), tb.ed->DefaultPicture());
  EXPECT_TRUE(tb.stage.FileNotFoundVisible());
}

TEST(Sync, FirstSlideLaterThanTimeIsStillSelected) {
  Tables tb;
  tb.Slides(tb.ed->Sld, tb.ed->SldCnt, {{3, "a.jpg"}, {8, "b.jpg"}});
  BuildSlideTable(*tb.ed);
  tb.sld.MoveLast();
  SyncSlideRow(*tb.ed, 1);
  EXPECT_EQ(tb.SlideRow(), 0);
}

TEST(Sync, PointRowSelectsFirstOfEqualTimesAndShowsItsMarker) {
  Tables tb;
  tb.Points({0, 4.0, 4.0, 6});
  LayoutPointMarkers(*tb.ed, false);
  const std::pair<float, int> cases[] = {{4.0f, 2}, {5, 3}, {6, 4}, {-1, 1}, {100, 4}};
  for (auto [t, id] : cases) {
    SyncPointRow(*tb.ed, t);
    EXPECT_EQ(tb.PointId(), id) << t;
    // The selected point's marker is the one shown.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(tb.stage.Marker(MarkerArray::Point, i).visible, i == id - 1) << t << " " << i;
  }
}

TEST(Sync, KeepingTheSlideInForceTouchesNoFile) {
  Tables tb;
  test::WriteJpeg(tb.Image(QStringLiteral("a.jpg")), 320, 240, Qt::blue);
  test::WriteJpeg(tb.Image(QStringLiteral("b.jpg")), 320, 240, Qt::green);
  tb.Slides(tb.ed->Sld, tb.ed->SldCnt, {{0, "a.jpg"}, {10, "b.jpg"}});
  BuildSlideTable(*tb.ed);
  SyncSlideRow(*tb.ed, 1);
  PictureFileCache& files = tb.stage.Files();
  const int checks = files.FileChecks(), decodes = files.Decodes();
  for (int i = 0; i < 50; ++i) SyncSlideRow(*tb.ed, 1 + i * 0.1f);
  EXPECT_EQ(files.FileChecks(), checks);
  EXPECT_EQ(files.Decodes(), decodes);

  // The picture is replaced on disk while its slide stays in force: nothing notices yet.
  const QString a = tb.Image(QStringLiteral("a.jpg"));
  test::WriteJpeg(a, 320, 240, Qt::red);
  {
    QFile f(a);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
  }
  SyncSlideRow(*tb.ed, 9);
  EXPECT_EQ(files.FileChecks(), checks);
  const QImage& shown = tb.stage.Picture();
  EXPECT_GT(shown.pixelColor(10, 10).blue(), 200);

  // The slide changes: one check of the new picture; back again, the replaced one is read anew.
  SyncSlideRow(*tb.ed, 10);
  EXPECT_EQ(files.FileChecks(), checks + 1);
  SyncSlideRow(*tb.ed, 11);
  EXPECT_EQ(files.FileChecks(), checks + 1);
  SyncSlideRow(*tb.ed, 2);
  EXPECT_EQ(files.FileChecks(), checks + 2);
  EXPECT_EQ(files.Decodes(), decodes + 2);
  EXPECT_GT(tb.stage.Picture().pixelColor(10, 10).red(), 200);
  // Only the picture shown stays decoded: back on the other slide it is decoded again.
  SyncSlideRow(*tb.ed, 10);
  EXPECT_EQ(files.Decodes(), decodes + 3);

  // While slides are edited both lists draw on every tick, often different pictures: after the
  // first tick neither touches a file.
  tb.Slides(tb.ed->SldEdt, tb.ed->SldEdtCnt, {{0, "b.jpg"}, {10, "a.jpg"}});
  BuildSlideEditTable(*tb.ed, false);
  SyncSlideRow(*tb.ed, 3);
  SyncSlideEditRow(*tb.ed, 3);
  const int editChecks = files.FileChecks(), editDecodes = files.Decodes();
  for (int i = 0; i < 20; ++i) {
    SyncSlideRow(*tb.ed, 3 + i * 0.1f);
    SyncSlideEditRow(*tb.ed, 3 + i * 0.1f);
  }
  EXPECT_EQ(files.FileChecks(), editChecks);
  EXPECT_EQ(files.Decodes(), editDecodes);  // both pictures stay decoded
  // The one that runs last decides the picture.
  EXPECT_EQ(tb.stage.PictureSource(), tb.Image(QStringLiteral("b.jpg")));
}

TEST(Sync, SlideEditRowWithoutWorkingCopyLeavesTheRegisteredSlide) {
  Tables tb;
  test::WriteJpeg(tb.Image(QStringLiteral("a.jpg")));
  tb.Slides(tb.ed->Sld, tb.ed->SldCnt, {{0, "a.jpg"}});
  BuildSlideTable(*tb.ed);
  SyncSlideRow(*tb.ed, 1);
  // Slide editing never started: RS_SLDEDT was never opened.
  SyncSlideEditRow(*tb.ed, 1);
  EXPECT_EQ(tb.stage.PictureSource(), tb.Image(QStringLiteral("a.jpg")));
  EXPECT_FALSE(tb.stage.FileNotFoundVisible());
  // A working copy left over from another folder (count reset by opening a folder).
  tb.Slides(tb.ed->SldEdt, tb.ed->SldEdtCnt, {{0, "old.jpg"}});
  BuildSlideEditTable(*tb.ed, false);
  tb.ed->SldEdtCnt = 0;
  SyncSlideEditRow(*tb.ed, 1);
  EXPECT_EQ(tb.stage.PictureSource(), tb.Image(QStringLiteral("a.jpg")));
}

TEST(Sync, ClosedSlideTableShowsTheDefaultPicture) {
  Tables tb;
  SyncSlideRow(*tb.ed, 3);
  EXPECT_EQ(tb.stage.PictureSource(), tb.ed->DefaultPicture());
  EXPECT_TRUE(tb.stage.FileNotFoundVisible());
  // The point table closed: nothing moves, nothing fails.
  SyncPointRow(*tb.ed, 3);
  EXPECT_EQ(tb.cur.CurrentRow(), -1);
}

TEST(Sync, SlideAndSlideEditListsMovingTogetherCheckThePictureOnce) {
  // The real window: moving the working grid's row also runs its own move handler.
  test::Window w;
  Editor& ed = w.ed();
  QTemporaryDir data;
  ed.DataFolder = data.path();
  for (int i = 0; i < 4; ++i) {
    const QString name = QStringLiteral("%1.jpg").arg(i);
    test::WriteJpeg(JoinPath(data.path(), name));
    ed.Sld[i] = SlideRecord{static_cast<int16_t>(i + 1), 10.0 * i, FormatTimeText(10.0 * i), QString(), name};
  }
  ed.SldCnt = 4;
  BuildSlideTable(ed);
  BuildSlideEditTable(ed, true);
  PictureFileCache& files = ed.ui.img->Files();
  SyncSlideRow(ed, 0);
  SyncSlideEditRow(ed, 0);
  for (int slide = 1; slide < 4; ++slide) {
    const int before = files.FileChecks();
    for (int tick = 0; tick < 10; ++tick) {
      const float t = static_cast<float>(slide * 10 + tick);
      SyncSlideRow(ed, t);
      SyncSlideEditRow(ed, t);
    }
    EXPECT_EQ(files.FileChecks(), before + 1) << slide;
    EXPECT_EQ(ed.RS_SLDEDT->CurrentRow(), slide);
    EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(data.path(), QStringLiteral("%1.jpg").arg(slide)));
  }
  // A move of the working grid by the user still draws its picture.
  ed.RS_SLDEDT->MoveTo(0);
  EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(data.path(), QStringLiteral("0.jpg")));
}
