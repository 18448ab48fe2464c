// The stage surface, its markers and picture files, and the build of the stage view.
#include <QAction>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "support/test_support.h"
#include "points/points_state.h"

using namespace kemo;

namespace {

QImage Paint(const Stage& s) {
  QImage out(s.size(), QImage::Format_RGB32);
  out.fill(Qt::gray);
  QPainter p(&out);
  s.Render(p, QRect(QPoint(0, 0), s.size()));
  return out;
}

QPoint PixelCentre(const StageMarker& m) {
  const double k = PixelsPerTwip();
  return QPoint(static_cast<int>((m.left + m.width / 2) * k), static_cast<int>((m.top + m.height / 2) * k));
}

StageMarker MarkerAt(double left, double top, QColor back) {
  StageMarker m;
  m.left = left;
  m.top = top;
  m.visible = true;
  m.back = back;
  m.caption = QString();
  return m;
}

PointRecord Point(double t, const char* x, const char* y) {
  PointRecord p;
  p.t = t;
  p.timeText = FormatTimeText(t);
  p.x = QString::fromLatin1(x);
  p.y = QString::fromLatin1(y);
  return p;
}

}  // namespace

TEST(Stage, PaintsPictureMarkersInZOrderAndTheNotFoundBand) {
  Stage s;
  PlaceTwips(&s, 0, 0, 4800, 3600);
  QImage pic(64, 48, QImage::Format_RGB32);
  pic.fill(Qt::blue);
  s.SetPicture(pic);
  s.SetMarker(MarkerArray::Point, 0, MarkerAt(600, 600, Qt::red));
  s.SetMarker(MarkerArray::Point, 1, MarkerAt(660, 600, Qt::green));
  StageMarker hidden = MarkerAt(2000, 2000, Qt::red);
  hidden.visible = false;
  s.SetMarker(MarkerArray::Point, 2, hidden);
  QImage out = Paint(s);
  // The picture is stretched over the whole stage.
  EXPECT_EQ(out.pixelColor(2, 2), QColor(Qt::blue));
  EXPECT_EQ(out.pixelColor(out.width() - 2, out.height() - 2), QColor(Qt::blue));
  EXPECT_EQ(out.pixelColor(PixelCentre(s.Marker(MarkerArray::Point, 2))), QColor(Qt::blue));
  // Markers 0 and 1 overlap; equal z keeps the index order, so 1 is in front.
  const QPoint overlap(static_cast<int>(700 * PixelsPerTwip()), static_cast<int>(650 * PixelsPerTwip()));
  EXPECT_EQ(out.pixelColor(overlap), QColor(Qt::green));
  EXPECT_EQ(s.HitMarker(700, 650).second, 1);
  s.BringToFront(MarkerArray::Point, 0);
  EXPECT_EQ(Paint(s).pixelColor(overlap), QColor(Qt::red));
  EXPECT_EQ(s.HitMarker(700, 650).second, 0);
  EXPECT_EQ(s.HitMarker(2050, 2050).second, -1);  // hidden markers are not hit

  s.SetFileNotFoundVisible(true);
  out = Paint(s);
  EXPECT_NE(out.pixelColor(out.width() / 2, 4), QColor(Qt::blue));
  EXPECT_EQ(out.pixelColor(out.width() / 2, out.height() / 2), QColor(Qt::blue));
}

TEST(Stage, RepaintsOnlyWhatChanged) {
  QWidget top;
  top.resize(800, 600);
  Stage* s = new Stage(&top);
  PlaceTwips(s, 0, 0, 4800, 3600);
  QImage pic(64, 48, QImage::Format_RGB32);
  pic.fill(Qt::blue);
  s->SetPicture(pic);
  s->EnsureMarkers(MarkerArray::Point, Stage::kMarkers);
  top.show();
  test::Pump(50);
  s->repaint(s->PendingRegion());
  ASSERT_TRUE(s->PendingRegion().isEmpty());

  s->SetMarker(MarkerArray::Point, 5, MarkerAt(1000, 1000, Qt::red));
  s->MoveMarker(MarkerArray::Point, 5, 2000, 1000);
  const QRect dirty = s->PendingRegion().boundingRect();
  EXPECT_FALSE(dirty.isEmpty());
  EXPECT_LT(dirty.width() * dirty.height(), s->width() * s->height() / 10);
  s->repaint(s->PendingRegion());
  EXPECT_TRUE(s->PendingRegion().isEmpty());

  // The same picture again, and markers that do not change, ask for no paint at all.
  s->SetPicture(pic);
  s->MoveMarker(MarkerArray::Point, 5, 2000, 1000);
  s->SetMarkerVisible(MarkerArray::Point, 5, true);
  s->SetMarkerVisible(MarkerArray::Point, 6, false);
  EXPECT_TRUE(s->PendingRegion().isEmpty());

  // A batch of changes asks once, for the area it touched.
  s->BeginBatch();
  for (int i = 0; i < 100; ++i) s->SetMarker(MarkerArray::Point, i, MarkerAt(100 + i, 100, Qt::red));
  EXPECT_TRUE(s->PendingRegion().isEmpty());
  s->EndBatch();
  EXPECT_EQ(s->PendingRegion().rectCount(), 1);
  EXPECT_LT(s->PendingRegion().boundingRect().width(), s->width() / 2);
}

TEST(Stage, PictureFilesAreReadOnceUntilRevalidated) {
  QTemporaryDir dir;
  const QString path = JoinPath(dir.path(), QStringLiteral("p.jpg"));
  test::WriteJpeg(path, 200, 100, Qt::blue);
  PictureFileCache cache;
  QImage a = cache.Load(path, QSize(50, 40));
  EXPECT_EQ(a.size(), QSize(50, 40));
  cache.Load(path, QSize(50, 40));
  EXPECT_EQ(cache.FileChecks(), 1);
  EXPECT_EQ(cache.Decodes(), 1);
  EXPECT_EQ(cache.Load(path).size(), QSize(200, 100));  // another size is decoded anew
  EXPECT_EQ(cache.Decodes(), 2);

  cache.Revalidate();
  cache.Load(path);
  EXPECT_EQ(cache.FileChecks(), 3);
  EXPECT_EQ(cache.Decodes(), 2);  // unchanged on disk: no decode

  QFile::remove(path);
  cache.Revalidate();
  EXPECT_TRUE(cache.Load(path).isNull());
  test::WriteFile(path, "not a picture");
  cache.Revalidate();
  EXPECT_TRUE(cache.Load(path).isNull());
  EXPECT_TRUE(cache.Load(JoinPath(dir.path(), QStringLiteral("none.jpg"))).isNull());

  // Stage-sized pictures, at the design size and smaller: the one shown and the one before stay
  // decoded, an older one goes.
  QStringList slides;
  for (int i = 0; i < 3; ++i) {
    slides << JoinPath(dir.path(), QStringLiteral("s%1.jpg").arg(i));
    test::WriteJpeg(slides.last(), 640, 480, QColor(40 * i, 80, 120));
  }
  for (const QSize stage : {QSize(635, 476), QSize(320, 240)}) {
    for (const QString& slide : slides) cache.Load(slide, stage);
    const int decodes = cache.Decodes();
    cache.Load(slides[1], stage);
    cache.Load(slides[2], stage);
    EXPECT_EQ(cache.Decodes(), decodes) << stage.width();
    cache.Load(slides[0], stage);
    EXPECT_EQ(cache.Decodes(), decodes + 1) << stage.width();
  }
}

TEST(StageView, MarkersArePlacedFromThePointsFractions) {
  test::ProgramFolder program;
  auto ed = std::make_unique<Editor>();
  ed->ProgramFolder = program.path();
  Stage img;
  PlaceTwips(&img, 0, 0, 4000, 3000);
  ed->ui.img = &img;
  ed->Cur[0] = Point(0, "0", "0");
  ed->Cur[1] = Point(4, "0.5", "0.5");
  ed->Cur[2] = Point(6, "1", "0.4523");
  ed->Cur[4] = Point(9, "0.25", "abc");  // a slot past the points is still laid out
  ed->CurCnt = 3;
  img.SetMarker(MarkerArray::Point, 4, MarkerAt(111, 222, Qt::blue));

  LayoutPointMarkers(*ed, true);
  EXPECT_EQ(img.MarkerCount(MarkerArray::Point), 3600);
  const StageMarker& m0 = img.Marker(MarkerArray::Point, 0);
  // x 0, y 0: the centre lies 10 right of and 10 below the top-left corner.
  EXPECT_DOUBLE_EQ(m0.left + m0.width / 2, 10);
  EXPECT_DOUBLE_EQ(m0.top + m0.height / 2, 10);
  const StageMarker& m1 = img.Marker(MarkerArray::Point, 1);
  EXPECT_DOUBLE_EQ(m1.width, 160);
  EXPECT_DOUBLE_EQ(m1.height, 160);
  EXPECT_DOUBLE_EQ(m1.left, 1930);
  EXPECT_DOUBLE_EQ(m1.top, 1430);
  EXPECT_EQ(m1.back, QColor(255, 0, 0));
  EXPECT_EQ(m1.caption, QStringLiteral("●"));
  EXPECT_TRUE(m1.visible);
  EXPECT_EQ(img.MarkerTooltip(MarkerArray::Point, 1), QStringLiteral("ID［2］　時間［00:04.000］　X［50］　Y［50］"));
  EXPECT_EQ(img.MarkerTooltip(MarkerArray::Point, 2), QStringLiteral("ID［3］　時間［00:06.000］　X［100］　Y［45］"));
  EXPECT_DOUBLE_EQ(img.Marker(MarkerArray::Point, 2).left, 4000 - 70);
  // No x: hidden. A y that is not a number leaves the marker's top where it was.
  EXPECT_FALSE(img.Marker(MarkerArray::Point, 3).visible);
  const StageMarker& m4 = img.Marker(MarkerArray::Point, 4);
  EXPECT_DOUBLE_EQ(m4.left, 1000 - 80 + 10);
  EXPECT_DOUBLE_EQ(m4.top, 222);
  EXPECT_TRUE(m4.visible);
  EXPECT_EQ(m4.back, QColor(255, 0, 0));
  EXPECT_EQ(img.MarkerTooltip(MarkerArray::Point, 4), QStringLiteral("ID［5］　時間［00:09.000］　X［25］　Y［］"));

  // Without showMarkers every marker stays hidden until playback shows one.
  LayoutPointMarkers(*ed, false);
  for (int i = 0; i < 3600; ++i) ASSERT_FALSE(img.Marker(MarkerArray::Point, i).visible) << i;
  EXPECT_DOUBLE_EQ(img.Marker(MarkerArray::Point, 1).left, 1930);
}

TEST(StageView, GridAndRulersFollowThePicture) {
  test::Window w;
  Editor& ed = w.ed();
  const QRectF r = TwipsRectOf(ed.ui.img);
  const double W = r.width(), H = r.height(), L = r.left(), T = r.top();
  EXPECT_DOUBLE_EQ(W, 9525);
  EXPECT_DOUBLE_EQ(H, 9525.0 * 3 / 4);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(ed.ui.img->HorizontalLines()[i], QLineF(0, (i + 1) * H / 10, W, (i + 1) * H / 10)) << i;
    EXPECT_EQ(ed.ui.img->VerticalLines()[i], QLineF((i + 1) * W / 10, 0, (i + 1) * W / 10, H)) << i;
  }
  const double tickY[3] = {T, T + H / 2, T + H - 10};
  const double tickX[3] = {L, L + W / 2, L + W - 10};
  for (int k = 0; k < 3; ++k) {
    const QRectF y = TwipsRectOf(ed.ui.yLine[k]);
    EXPECT_DOUBLE_EQ(y.left(), L - 120);
    EXPECT_DOUBLE_EQ(y.right(), L);
    EXPECT_DOUBLE_EQ(y.top(), tickY[k]);
    const QRectF x = TwipsRectOf(ed.ui.xLine[k]);
    EXPECT_DOUBLE_EQ(x.left(), tickX[k]);
    EXPECT_DOUBLE_EQ(x.top(), T - 120);
    EXPECT_DOUBLE_EQ(x.bottom(), T);
    const QRectF label = TwipsRectOf(ed.ui.yLabel[k]);
    EXPECT_DOUBLE_EQ(label.right(), L - 120);
    EXPECT_DOUBLE_EQ(label.top(), k == 0 ? T + 100 : tickY[k] - 225);
  }
  // At start-up the stage shows the program's own picture.
  EXPECT_EQ(ed.ui.img->PictureSource(), ed.DefaultPicture());
  EXPECT_TRUE(ed.ui.img->FileNotFoundVisible());
}

TEST(StageView, BuildSetsMenusRecordingOptionsAndGridLayouts) {
  test::Window w;
  Editor& ed = w.ed();
  QTemporaryDir data;
  ed.DataFolder = data.path();
  test::WriteJpeg(JoinPath(data.path(), QStringLiteral("first.jpg")), 320, 240, Qt::blue);
  ed.Sld[0] = SlideRecord{1, 0.0, QStringLiteral("00:00.000"), QStringLiteral("表紙"), QStringLiteral("first.jpg")};
  ed.SldCnt = 1;
  BuildSlideTable(ed);
  ed.RS_CUR->Close();
  ed.ui.ppCurTimer50ms->setChecked(true);
  ed.ui.ppCurTimer10ms->setChecked(false);
  ed.points->RecordMoveMode = 2;
  ed.ui.opSmode[2]->setChecked(true);

  BuildStageView(ed);
  EXPECT_FALSE(ed.ui.ppCurDelete->isEnabled());
  EXPECT_FALSE(ed.ui.ppCurDisp->isEnabled());
  EXPECT_TRUE(ed.ui.ppSldDelete->isEnabled());
  EXPECT_TRUE(ed.ui.ppSldInsert->isEnabled());
  EXPECT_EQ(ed.points->RecordMoveMode, 0);
  EXPECT_TRUE(ed.ui.opSmode[0]->isChecked());
  EXPECT_TRUE(ed.ui.opInterval[1]->isChecked());
  EXPECT_EQ(ed.ui.recTimer->interval(), 50);
  const QString empty = QStringLiteral("最終記録No.-- 時間=--:--.--- X=-- Y=--");
  EXPECT_EQ(ed.ui.lbRecTimer0->text(), empty);
  EXPECT_EQ(ed.ui.lbRecTimer1->text(), empty);
  EXPECT_EQ(ed.ui.img->PictureSource(), JoinPath(data.path(), QStringLiteral("first.jpg")));
  EXPECT_FALSE(ed.ui.img->FileNotFoundVisible());

  DataGrid* g = ed.ui.dgSlide;
  // "ID" widened for 3600, taken from the room beside the columns: the grid keeps its width.
  const double slideWidths[4] = {540, 1200, 4500, 2500};
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(g->ColumnWidthTwips(c), slideWidths[c], 15) << c;
  EXPECT_DOUBLE_EQ(TwipsRectOf(g).width(), 8600 + 575);
  EXPECT_DOUBLE_EQ(TwipsRectOf(g).height(), 1875);
  // The title is as wide as the grid but stops where the slide count begins.
  EXPECT_DOUBLE_EQ(TwipsRectOf(ed.ui.lbSlideTitle).right(), TwipsRectOf(ed.ui.lbSldCnt[1]).left());
  EXPECT_TRUE(g->horizontalHeader()->font().bold());
  const auto align = [](RecordSet* rs, int c) {
    return rs->data(rs->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
  };
  EXPECT_EQ(align(ed.RS_SLD, 0), Qt::AlignHCenter);
  EXPECT_EQ(align(ed.RS_SLD, 2), Qt::AlignLeft);

  // With points and the 10 ms interval.
  ed.Cur[0] = Point(1, "0.1", "0.2");
  ed.CurCnt = 1;
  BuildPointTable(ed);
  ed.ui.ppCurTimer10ms->setChecked(true);
  BuildStageView(ed);
  EXPECT_TRUE(ed.ui.ppCurDelete->isEnabled());
  EXPECT_TRUE(ed.ui.ppCurDisp->isEnabled());
  EXPECT_TRUE(ed.ui.opInterval[0]->isChecked());
  EXPECT_EQ(ed.ui.recTimer->interval(), 10);
  DataGrid* c = ed.ui.dgCursor;
  const double pointWidths[5] = {540, 1005, 405, 405, 415};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(c->ColumnWidthTwips(i), pointWidths[i], 15) << i;
  EXPECT_DOUBLE_EQ(TwipsRectOf(c).width(), 2635 + 575);
  EXPECT_DOUBLE_EQ(TwipsRectOf(c).height(), 4535);
  EXPECT_EQ(align(ed.RS_CUR, 2), Qt::AlignRight);
  EXPECT_EQ(align(ed.RS_CUR, 4), Qt::AlignHCenter);

  // A first slide without a picture shows the placeholder.
  ed.Sld[0].image.clear();
  BuildSlideTable(ed);
  BuildStageView(ed);
  EXPECT_EQ(ed.ui.img->PictureSource(), ed.DefaultPicture());
  EXPECT_TRUE(ed.ui.img->FileNotFoundVisible());
}
