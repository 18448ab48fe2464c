#include "playback/stage_view.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineF>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <array>
#include <numeric>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "points/points.h"
#include "points/points_state.h"
#include "slides/slide_display.h"

namespace kemo {

namespace {

constexpr double kMarkerSize = 160;
constexpr double kTick = 120;
constexpr double kLineWidth = 15;  // one pixel
const QColor kMarkerBack(255, 0, 0);

void SetEnabled(QAction* a, bool on) {
  if (a) a->setEnabled(on);
}

bool HasRows(const RecordSet* rs) { return rs != nullptr && rs->RecordCount() > 0; }

// The grid fonts: the original face where it is installed, else the interface's (DataGrid falls back).
const QString kGridFont = QStringLiteral("Arial Unicode MS");

template <size_t N>
void LayOutGrid(DataGrid* g, RecordSet* rs, const std::array<double, N>& widths,
                const std::array<Qt::Alignment, N>& align, double height, double margin) {
  g->SetGridFont(kGridFont, 9, true);
  if (rs) rs->MoveFirst();
  g->Bind(rs);
  // The layout's narrow columns ("ID" is 400 twips) are below the style's usual minimum.
  g->horizontalHeader()->setMinimumSectionSize(std::max(1, TwipsToPixels(120)));
  for (size_t c = 0; c < N; ++c) {
    g->SetColumnWidthTwips(static_cast<int>(c), widths[c]);
    g->SetColumnAlignment(static_cast<int>(c), align[c]);
  }
  g->SetRowHeightTwips(250);
  const QRectF r = TwipsRectOf(g);
  const double width = std::accumulate(widths.begin(), widths.end(), 0.0) + margin;
  PlaceTwips(g, r.left(), r.top(), width, height);
  g->viewport()->update();
}

}  // namespace

double MarkerLeft(double x, double stageWidth, double markerWidth) { return x * stageWidth - markerWidth / 2 + 10; }
double MarkerTop(double y, double stageHeight, double markerHeight) { return y * stageHeight - markerHeight / 2 + 10; }

QString PointMarkerTooltip(int slot, const PointRecord& p) { return PointTooltip(QStringLiteral("ID"), slot + 1, p); }

void BuildStageView(Editor& ed) {
  Controls& ui = ed.ui;
  const bool points = HasRows(ed.RS_CUR);
  const bool slides = HasRows(ed.RS_SLD);
  SetEnabled(ui.ppCurDelete, points);
  SetEnabled(ui.ppCurDisp, points);
  SetEnabled(ui.ppSldDelete, slides);
  SetEnabled(ui.ppSldInsert, slides);

  // Recording goes back to free movement.
  ed.points->RecordMoveMode = 0;
  if (ui.opSmode[0]) ui.opSmode[0]->setChecked(true);

  // The option first, then the interval, so the interval written here is the one that holds.
  int option = 2;
  int interval = 100;
  if (ui.ppCurTimer10ms && ui.ppCurTimer10ms->isChecked()) {
    option = 0;
    interval = 10;
  } else if (ui.ppCurTimer50ms && ui.ppCurTimer50ms->isChecked()) {
    option = 1;
    interval = 50;
  }
  if (ui.opInterval[option]) ui.opInterval[option]->setChecked(true);
  if (ui.recTimer) ui.recTimer->setInterval(interval);

  const QString status = QStringLiteral("最終記録No.") + QStringLiteral("--") + QStringLiteral(" 時間=") +
                         QStringLiteral("--:--.---") + QStringLiteral(" X=") + QStringLiteral("--") +
                         QStringLiteral(" Y=") + QStringLiteral("--");
  if (ui.lbRecTimer0) ui.lbRecTimer0->setText(status);
  if (ui.lbRecTimer1) ui.lbRecTimer1->setText(status);

  LayoutStageGrid(ed);
  LayoutSlideGrid(ed);

  const QString& first = ed.Sld[0].image;
  ShowSlideImage(ed, first.isEmpty() ? ed.DefaultPicture() : SlideImagePath(ed, first));

  LayoutPointGrid(ed);
}

void LayoutStageGrid(Editor& ed) {
  Controls& ui = ed.ui;
  if (ui.img == nullptr) return;
  const QRectF r = TwipsRectOf(ui.img);
  const double W = r.width(), H = r.height(), L = r.left(), T = r.top();

  std::array<QLineF, 9> horizontal, vertical;
  for (int i = 0; i < 9; ++i) {
    const double y = (i + 1) * H / 10, x = (i + 1) * W / 10;
    horizontal[i] = QLineF(0, y, W, y);
    vertical[i] = QLineF(x, 0, x, H);
  }
  ui.img->SetGridLines(horizontal, vertical);

  // Rulers: index 0, 1, 2 are the elements 0, 50 and 100.
  const std::array<double, 3> tickY = {T, T + H / 2, T + H - 10};
  const std::array<double, 3> tickX = {L, L + W / 2, L + W - 10};
  for (int k = 0; k < 3; ++k) {
    PlaceTwips(ui.yLine[k], L - kTick, tickY[k], kTick, kLineWidth);
    PlaceTwips(ui.xLine[k], tickX[k], T - kTick, kLineWidth, kTick);
    if (QLabel* label = ui.yLabel[k]) {
      const QRectF lr = TwipsRectOf(label);
      const double top = k == 0 ? tickY[k] + 100 : tickY[k] - 225;
      // The label's right edge meets the tick's start.
      PlaceTwips(label, L - kTick - lr.width(), top, lr.width(), lr.height());
    }
  }
}

void LayoutPointMarkers(Editor& ed, bool showMarkers) {
  Stage* img = ed.ui.img;
  if (img == nullptr) return;
  img->EnsureMarkers(MarkerArray::Point, Stage::kMarkers);
  // A point's tooltip is made from its row when the pointer rests on its marker.
  img->tooltipOf = [&ed](MarkerArray a, int i) {
    const PointArray& cur = ed.Cur;
    const bool point = a == MarkerArray::Point && i >= 0 && i < Stage::kMarkers && !cur[i].x.isEmpty();
    return point ? PointMarkerTooltip(i, cur[i]) : QString();
  };
  const double W = img->WidthTwips(), H = img->HeightTwips();
  img->BeginBatch();
  for (int i = 0; i < Stage::kMarkers; ++i) {
    StageMarker m = img->Marker(MarkerArray::Point, i);
    m.back = kMarkerBack;
    m.width = kMarkerSize;
    m.height = kMarkerSize;
    m.caption = QStringLiteral("●");
    m.visible = false;
    m.tooltip.clear();
    const PointRecord& p = ed.Cur[i];
    if (!p.x.isEmpty()) {
      m.visible = showMarkers;
      // A coordinate that is not a number leaves the marker where it was along that axis.
      bool okX = false, okY = false;
      const double x = ReadNumber(p.x, &okX);
      const double y = ReadNumber(p.y, &okY);
      if (okX) m.left = MarkerLeft(x, W, m.width);
      if (okY) m.top = MarkerTop(y, H, m.height);
    }
    img->SetMarker(MarkerArray::Point, i, m);
  }
  img->EndBatch();
}

void LayoutSlideGrid(Editor& ed) {
  Controls& ui = ed.ui;
  if (ui.dgSlide == nullptr) return;
  // "ID" is wide enough for 3600; the room beside the columns gives up as much, so the grid keeps
  // its width of 9175 (enough for the border and the scroll bar).
  const std::array<double, 4> widths = {540, 1200, 4500, 2500};
  const std::array<Qt::Alignment, 4> align = {Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft};
  LayOutGrid(ui.dgSlide, ed.RS_SLD, widths, align, 1875, 435);
  ui.dgSlide->SetColumnWidestText(0, QStringLiteral("3600"));
  ui.dgSlide->SetColumnWidestText(1, QStringLiteral("100:00.000"));
  if (ui.lbSlideTitle) {
    const QRectF t = TwipsRectOf(ui.lbSlideTitle);
    double width = TwipsRectOf(ui.dgSlide).width();
    // The title stops short of the slide count on its right.
    if (QLabel* count = ui.lbSldCnt[1]; count && count->parentWidget() == ui.lbSlideTitle->parentWidget()) {
      const QRectF c = TwipsRectOf(count);
      if (c.left() > t.left() && c.top() < t.bottom() && c.bottom() > t.top()) width = std::min(width, c.left() - t.left());
    }
    PlaceTwips(ui.lbSlideTitle, t.left(), t.top(), width, t.height());
  }
}

void LayoutPointGrid(Editor& ed) {
  Controls& ui = ed.ui;
  if (ui.dgCursor == nullptr) return;
  // "ID" is wide enough for 3600; the room beside the columns gives up as much, so the grid keeps
  // its width of 3210 and stays clear of the stage's ruler.
  const std::array<double, 5> widths = {540, 1005, 405, 405, 415};
  const std::array<Qt::Alignment, 5> align = {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignRight,
                                              Qt::AlignHCenter};
  LayOutGrid(ui.dgCursor, ed.RS_CUR, widths, align, 4535, 440);
  // IDs up to 3600, times up to 100 minutes, X and Y up to 100.
  const QString widest[4] = {QStringLiteral("3600"), QStringLiteral("100:00.000"), QStringLiteral("100"),
                             QStringLiteral("100")};
  for (int c = 0; c < 4; ++c) ui.dgCursor->SetColumnWidestText(c, widest[c]);
}

}  // namespace kemo
