// The window's layout at the design size and scaled: every text of every visible control is shown in
// full (measured with the control's font against its rectangle, as far as its parents let it be
// seen), no two controls of one container overlap, and the stage keeps its 4:3 shape.
#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <cmath>

#include "app/panels.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

// The part of w that its parents let be seen, in w's coordinates.
QRect SeenRect(const QWidget* w, const QWidget* top) {
  QRect seen = w->rect();
  for (const QWidget* p = w->parentWidget(); p && p != top->parentWidget(); p = p->parentWidget())
    seen &= QRect(w->mapFrom(p, QPoint(0, 0)), p->size());
  return seen;
}

// Where a line of text set in `box` with these alignment flags puts its ink: the horizontal
// extent is the advance (a cut character is a cut text), the vertical one the glyphs' ink.
QRect InkOf(const QFontMetrics& fm, const QRect& box, int flags, const QString& text) {
  const QRect line = fm.boundingRect(box, flags, text);
  const QRect tight = fm.tightBoundingRect(QString(text).replace(QLatin1Char('\n'), QString()));
  const int lines = std::max(1, static_cast<int>(std::lround(static_cast<double>(line.height()) / fm.lineSpacing())));
  const int firstBaseline = line.top() + fm.ascent();
  const int lastBaseline = firstBaseline + (lines - 1) * fm.lineSpacing();
  return QRect(QPoint(line.left(), firstBaseline + tight.top()), QPoint(line.right(), lastBaseline + tight.bottom()));
}

// Problems of one control's text, or "".
QString TextProblem(QWidget* w, const QWidget* top) {
  const QRect seen = SeenRect(w, top);
  const QString name = w->objectName();
  if (seen.isEmpty()) return {};  // outside what its parents show (the unreachable interval option)
  if (auto* label = qobject_cast<QLabel*>(w)) {
    if (label->text().isEmpty()) return {};
    const QRect box = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                     -label->margin()) & seen;
    if (label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text())) {
      QTextDocument doc;
      doc.setDocumentMargin(0);
      doc.setDefaultFont(label->font());
      doc.setHtml(label->text());
      const QSizeF size(doc.idealWidth(), doc.size().height());
      if (size.width() > box.width() + 0.5 || size.height() > box.height() + 0.5)
        return QStringLiteral("%1: text %2x%3 in %4x%5").arg(name).arg(size.width()).arg(size.height())
            .arg(box.width()).arg(box.height());
      return {};
    }
    const int flags = static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect ink = InkOf(label->fontMetrics(), label->contentsRect(), flags, label->text());
    if (!box.contains(ink))
      return QStringLiteral("%1 \"%2\": ink (%3,%4 %5x%6) outside (%7,%8 %9x%10)")
          .arg(name, label->text()).arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())
          .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height());
    return {};
  }
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    if (button->text().isEmpty()) return {};
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    QRect box;
    int flags = Qt::AlignCenter;
    if (qobject_cast<QRadioButton*>(w)) {
      box = w->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, w);
      flags = Qt::AlignLeft | Qt::AlignVCenter;
    } else if (qobject_cast<QCheckBox*>(w)) {
      box = w->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, w);
      flags = Qt::AlignLeft | Qt::AlignVCenter;
    } else {
      box = w->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, w);
    }
    const QRect ink = InkOf(button->fontMetrics(), box, flags, button->text());
    if (!(box & seen).contains(ink))
      return QStringLiteral("%1 \"%2\": ink (%3,%4 %5x%6) outside (%7,%8 %9x%10)")
          .arg(name, button->text()).arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())
          .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height());
    return {};
  }
  return {};
}

// The widest value a column can show: IDs up to 3600, X and Y up to 100, times up to 100:00.000.
QString WidestValue(const QString& header) {
  if (header == QStringLiteral("ID") || header == QStringLiteral("記録No.")) return QStringLiteral("3600");
  if (header == QStringLiteral("時間")) return QStringLiteral("100:00.000");
  if (header == QStringLiteral("X") || header == QStringLiteral("Y")) return QStringLiteral("100");
  return {};
}

// Problems of a grid: a header or a widest value wider than its column, or columns that run
// under the vertical scroll bar (which is there once the rows outnumber the grid).
QStringList GridProblems(DataGrid* g) {
  QStringList out;
  if (!g->model()) return out;
  const int cellMargin = 2 * (g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1);
  const int headerMargin = 2 * g->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, g->horizontalHeader());
  const QFontMetrics cells(g->font());
  const QFontMetrics headers(g->horizontalHeader()->font());
  int total = 0;
  for (int c = 0; c < g->model()->columnCount(); ++c) {
    if (g->isColumnHidden(c)) continue;
    const int width = g->columnWidth(c);
    total += width;
    const QString header = g->model()->headerData(c, Qt::Horizontal).toString();
    if (headers.horizontalAdvance(header) + headerMargin > width)
      out << QStringLiteral("%1 header \"%2\" wider than %3").arg(g->objectName(), header).arg(width);
    const QString value = WidestValue(header);
    if (!value.isEmpty() && cells.horizontalAdvance(value) + cellMargin > width)
      out << QStringLiteral("%1 column \"%2\" cannot show %3 in %4").arg(g->objectName(), header, value).arg(width);
  }
  const int room = g->width() - 2 * g->frameWidth() - g->verticalScrollBar()->sizeHint().width();
  if (total > room) out << QStringLiteral("%1 columns %2 wide, room for %3 beside the scroll bar")
                              .arg(g->objectName()).arg(total).arg(room);
  if (g->verticalHeader()->defaultSectionSize() < cells.height())
    out << QStringLiteral("%1 rows lower than the text").arg(g->objectName());
  return out;
}

// Siblings that lie over one another by design: a mode value over its bracket label, the slide
// edit panel over the slide list panel, and the recording panel, which floats wherever it is dragged.
bool OverlapAllowed(const QString& a, const QString& b) {
  const QString pair = a < b ? a + QLatin1Char('|') + b : b + QLatin1Char('|') + a;
  static const QStringList allowed = {QStringLiteral("lbMode_0|lbMode_3"), QStringLiteral("lbMode_1|lbMode_2"),
                                      QStringLiteral("fDialog_1|fDialog_2")};
  return allowed.contains(pair) || a == QStringLiteral("fDialog_0") || b == QStringLiteral("fDialog_0");
}

// Walks every visible control the layout placed and returns what does not read in full or overlaps.
QStringList LayoutProblems(QWidget* top) {
  QStringList out;
  const QList<QWidget*> all = top->findChildren<QWidget*>();
  for (QWidget* w : all) {
    if (!w->isVisibleTo(top->window())) continue;
    const QString p = TextProblem(w, top);
    if (!p.isEmpty()) out << p;
    if (auto* g = qobject_cast<DataGrid*>(w)) out << GridProblems(g);
  }
  // Overlaps among the placed controls of each container.
  for (QWidget* parent : QList<QWidget*>{top} + all) {
    QList<QWidget*> placed;
    for (QObject* o : parent->children()) {
      auto* c = qobject_cast<QWidget*>(o);
      if (c && c->isVisibleTo(top->window()) && c->property("kemoTwipsRect").isValid() && !c->geometry().isEmpty())
        placed << c;
    }
    for (int i = 0; i < placed.size(); ++i)
      for (int j = i + 1; j < placed.size(); ++j) {
        if (!placed[i]->geometry().intersects(placed[j]->geometry())) continue;
        if (OverlapAllowed(placed[i]->objectName(), placed[j]->objectName())) continue;
        out << QStringLiteral("%1 overlaps %2").arg(placed[i]->objectName(), placed[j]->objectName());
      }
  }
  return out;
}

void ExpectReadsInFull(QWidget* top) {
  const QStringList problems = LayoutProblems(top);
  EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

// A window with a folder open, the recording panel shown and expanded, at the given layout scale
// (or with its client area the design's times the given factors across and down).
struct ShownWindow {
  test::Window w;
  QTemporaryDir data;
  explicit ShownWindow(double scale) : ShownWindow(QSizeF(scale, scale)) {}
  explicit ShownWindow(QSizeF factors) {
    QStringList scenes, points;
    for (int i = 0; i < 40; ++i) scenes << QStringLiteral("%1|スライド %2|%3.jpg").arg(i * 10).arg(i + 1).arg(i);
    for (int i = 0; i < 40; ++i) points << QStringLiteral("%1|0.5|0.5").arg(i);
    w.OpenFolder(data.path(), scenes, points);
    Controls& ui = w.ed().ui;
    ui.ppCurRecDisp->trigger();
    if (TwipsRectOf(ui.fDialog[0]).height() < 2000) OnPanelCollapseToggle(w.ed());
    Resize(factors);
    w.window->show();
    test::Pump(30);
  }
  void Resize(QSizeF factors) {
    const int menu = w.window->menuBar()->sizeHint().height();
    const QSize design = FrmMain::DesignClientSize();
    const QSize client(static_cast<int>(std::lround(design.width() * factors.width())),
                       static_cast<int>(std::lround(design.height() * factors.height())));
    w.window->resize(client + QSize(0, menu));
    test::Pump(30);
  }
};

}  // namespace

// From the smallest scale (1280 x 720 and 1366 x 768 laptops at 125 %, where fonts do not shrink in
// step with their boxes) through the design size to a 3840 x 2160 screen at 100 %: every label,
// button, grid header and widest grid value reads in full, the texts the controls take at run time
// included, once they are shown.
TEST(Layout, EveryTextReadsInFullAndNothingOverlapsAtEveryScale) {
  for (double scale : {0.75, 0.8, 0.81, 1.0, 1.5, 2.0, 3.0}) {
    SCOPED_TRACE(scale);
    ShownWindow s(scale);
    Controls& ui = s.w.ed().ui;
    EXPECT_NEAR(LayoutScale(), scale, 0.01);
    ExpectReadsInFull(s.w.window->centralWidget());
    EXPECT_TRUE(ui.fDialog[0]->isVisible());
    // The slide-edit panel over the slide list, with its own grid and buttons.
    ui.fDialog[1]->show();
    test::Pump(10);
    ExpectReadsInFull(s.w.window->centralWidget());
    // The longest texts the controls take at run time.
    ui.cbGrid->click();
    ui.lbRecStat[0]->setText(QStringLiteral("スライドクリックorドラッグ！"));
    ui.lbRecStat[1]->setText(QStringLiteral("スライドクリックorドラッグ！"));
    ui.lbRecErr->setText(QStringLiteral("最終記録時間より過去の時間は記録できません"));
    ui.lbRecTimer0->setText(QStringLiteral("最終記録No.3600 時間=100:00.000 X=100 Y=100"));
    ui.lbRecTimer1->setText(ui.lbRecTimer0->text());
    ui.lbRecCnt->setText(QStringLiteral("3600個の記録があります"));
    ui.lbMode[0]->setText(QStringLiteral("再生"));
    ui.lbMode[1]->setText(QStringLiteral("ON"));
    ui.dispTime->setText(QStringLiteral("100:00.000"));
    ui.WMPVstate->setText(QStringLiteral("バッファリング中"));
    test::Pump(10);
    ExpectReadsInFull(s.w.window->centralWidget());
  }
}

// A text made smaller to fit at a small scale, and a grid's header, get their full size back when
// the window is made larger.
TEST(Layout, TextsMadeSmallerToFitGrowBackWithTheWindow) {
  ShownWindow s(0.8);
  Controls& ui = s.w.ed().ui;
  QWidget* client = s.w.window->centralWidget();
  ui.lbRecStat[0]->setText(QStringLiteral("スライドクリックorドラッグ！"));
  test::Pump(10);
  EXPECT_LT(ui.lbRecStat[0]->font().pointSizeF(), client->font().pointSizeF());
  EXPECT_LT(ui.dgRecCursor->horizontalHeader()->font().pointSizeF(), 9 * 0.8);
  s.Resize(QSizeF(1.5, 1.5));
  EXPECT_NEAR(LayoutScale(), 1.5, 0.01);
  EXPECT_DOUBLE_EQ(ui.lbRecStat[0]->font().pointSizeF(), client->font().pointSizeF());
  EXPECT_NEAR(ui.dgRecCursor->horizontalHeader()->font().pointSizeF(), 9 * LayoutScale(), 0.01);
  EXPECT_NEAR(ui.dgRecCursor->font().pointSizeF(), 9 * LayoutScale(), 0.01);
}

TEST(Layout, ABiggerWindowScalesEveryControlAndTheStageKeepsItsShape) {
  ShownWindow s(1.0);
  Controls& ui = s.w.ed().ui;
  const QRect stage = ui.img->geometry();
  const QRect grid = ui.dgCursor->geometry();
  const int rowHeight = ui.dgCursor->verticalHeader()->defaultSectionSize();
  const double fontPoints = ui.dgCursor->font().pointSizeF();
  const int column = ui.dgCursor->columnWidth(1);
  // Twice the design size, and wider than the design's shape: the height sets the scale.
  const int menu = s.w.window->menuBar()->sizeHint().height();
  s.w.window->resize(QSize(FrmMain::DesignClientSize().width() * 3, FrmMain::DesignClientSize().height() * 2) +
                     QSize(0, menu));
  test::Pump(30);
  EXPECT_NEAR(LayoutScale(), 2.0, 0.01);
  EXPECT_NEAR(ui.img->width(), stage.width() * 2, 2);
  EXPECT_NEAR(ui.img->height(), stage.height() * 2, 2);
  EXPECT_NEAR(static_cast<double>(ui.img->width()) / ui.img->height(), 4.0 / 3.0, 0.01);
  EXPECT_NEAR(ui.dgCursor->height(), grid.height() * 2, 2);
  EXPECT_NEAR(ui.dgCursor->font().pointSizeF(), fontPoints * 2, 0.01);
  EXPECT_NEAR(ui.dgCursor->columnWidth(1), column * 2, 2);
  EXPECT_GE(ui.dgCursor->verticalHeader()->defaultSectionSize(), rowHeight * 2 - 4);
  // The twips the procedures read stay the design's.
  EXPECT_DOUBLE_EQ(TwipsRectOf(ui.img).width(), 9525);
  EXPECT_DOUBLE_EQ(TwipsRectOf(ui.dgCursor).left(), 135);
  // Back to the design size: every control where it was.
  s.w.window->resize(FrmMain::DesignClientSize() + QSize(0, menu));
  test::Pump(30);
  EXPECT_DOUBLE_EQ(LayoutScale(), 1.0);
  EXPECT_EQ(ui.img->geometry(), stage);
  EXPECT_EQ(ui.dgCursor->geometry(), grid);
  EXPECT_EQ(ui.dgCursor->columnWidth(1), column);
}

namespace {

// The rows a grid shows whole, whatever it holds.
int WholeRows(const DataGrid* g) { return g->viewport()->height() / g->verticalHeader()->defaultSectionSize(); }

// The grids of the window, each with the controls that stand below it in its column or panel.
struct GridColumn {
  DataGrid* grid;
  QList<QWidget*> below;
};

QList<GridColumn> GridColumns(Controls& ui) {
  return {{ui.dgCursor, {ui.cbDelete, ui.cbChkOff, ui.lbKeyComment[0]}},
          {ui.dgSlide, {ui.lbKeyComment[1]}},
          {ui.dgSlideEdit, {ui.lbKeyComment[1]}},
          {ui.dgRecCursor, {ui.lbRecCnt, ui.lbRecTimer1}}};
}

// Every placed control under the client area, by name.
QMap<QString, QRect> Geometries(QWidget* client) {
  QMap<QString, QRect> out;
  for (QWidget* w : client->findChildren<QWidget*>())
    if (w->property("kemoTwipsRect").isValid()) out.insert(w->objectName(), w->geometry());
  return out;
}

}  // namespace

TEST(Layout, ATallerWindowGivesTheGridsMoreRowsAndMovesWhatStandsBelowThem) {
  // At the design scale and at 1.5, each half as tall again as the design's shape.
  for (double scale : {1.0, 1.5}) {
    SCOPED_TRACE(scale);
    ShownWindow s(scale);
    Controls& ui = s.w.ed().ui;
    ui.fDialog[1]->show();
    test::Pump(10);
    QMap<QString, int> rows;
    QMap<QString, QRect> before;
    for (const GridColumn& c : GridColumns(ui)) {
      rows[c.grid->objectName()] = WholeRows(c.grid);
      before[c.grid->objectName()] = c.grid->geometry();
      for (QWidget* w : c.below) before[w->objectName()] = w->geometry();
    }
    const QRect stage = ui.img->geometry();
    const QRect video = ui.WMPV->geometry();
    const QMap<QString, QRect> base = Geometries(s.w.window->centralWidget());

    // From the design size straight to the tall shape: the scale and the spare height change at once.
    s.Resize(QSizeF(1, 1));
    s.Resize(QSizeF(scale, scale * 1.5));
    EXPECT_NEAR(LayoutScale(), scale, 0.01);
    // The stage and the video keep the one scale; the grids take the height.
    EXPECT_EQ(ui.img->geometry(), stage);
    EXPECT_EQ(ui.WMPV->geometry(), video);
    const int spare = s.w.window->centralWidget()->height() - s.w.window->centralWidget()->height() / 3 * 2;
    for (const GridColumn& c : GridColumns(ui)) {
      const QString name = c.grid->objectName();
      SCOPED_TRACE(name.toStdString());
      const int grew = c.grid->height() - before[name].height();
      EXPECT_EQ(c.grid->y(), before[name].y());
      EXPECT_GE(grew, spare - 4);
      EXPECT_LE(grew, spare + 1);
      // A row more for every row's height of the spare height.
      EXPECT_GE(WholeRows(c.grid), rows[name] + spare / c.grid->verticalHeader()->defaultSectionSize() - 1);
      for (QWidget* w : c.below) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_NEAR(w->y() - before[w->objectName()].y(), grew, 1);
        EXPECT_EQ(w->height(), before[w->objectName()].height());
      }
    }
    // Only the grids and what holds them grow; every other control keeps its size.
    const QStringList growing = {QStringLiteral("frMain"), QStringLiteral("fDialog_0"), QStringLiteral("fDialog_1"),
                                 QStringLiteral("fDialog_2"), QStringLiteral("Shape1"), QStringLiteral("dgCursor"),
                                 QStringLiteral("dgSlide"), QStringLiteral("dgSlideEdit"), QStringLiteral("dgRecCursor")};
    const QMap<QString, QRect> tall = Geometries(s.w.window->centralWidget());
    for (auto it = base.begin(); it != base.end(); ++it)
      if (!growing.contains(it.key()))
        EXPECT_EQ(tall.value(it.key()).size(), it.value().size()) << it.key().toStdString();
    // Every panel inside frMain, frMain inside the client area but for the design's overhang of
    // 25 twips, and every text still in full, nothing overlapping.
    const QRect frame(QPoint(0, 0), ui.frMain->size());
    for (QWidget* panel : ui.fDialog) EXPECT_TRUE(frame.contains(panel->geometry())) << panel->objectName().toStdString();
    EXPECT_LE(ui.frMain->geometry().bottom(), s.w.window->centralWidget()->height() + TwipsToPixels(25));
    EXPECT_GE(ui.frMain->geometry().bottom(), s.w.window->centralWidget()->height() - 2);
    ExpectReadsInFull(s.w.window->centralWidget());
    ui.fDialog[1]->hide();
    ExpectReadsInFull(s.w.window->centralWidget());
    // Collapsed, the recording panel keeps its strip's height; open again, it takes the rows.
    const int expanded = ui.fDialog[0]->height();
    OnPanelCollapseToggle(s.w.ed());
    EXPECT_EQ(ui.fDialog[0]->height(), TwipsToPixels(1695));
    OnPanelCollapseToggle(s.w.ed());
    EXPECT_EQ(ui.fDialog[0]->height(), expanded);

    // Back to the design's shape: the design's rows and places, and the twips never changed.
    ui.fDialog[1]->show();
    s.Resize(QSizeF(scale, scale));
    for (const GridColumn& c : GridColumns(ui)) {
      EXPECT_EQ(c.grid->geometry(), before[c.grid->objectName()]) << c.grid->objectName().toStdString();
      EXPECT_EQ(WholeRows(c.grid), rows[c.grid->objectName()]) << c.grid->objectName().toStdString();
    }
    EXPECT_DOUBLE_EQ(TwipsRectOf(ui.lbKeyComment[1]).top(), 10050);
    EXPECT_DOUBLE_EQ(TwipsRectOf(ui.cbDelete).top(), 9035);
  }
}

TEST(Layout, EveryControlIsBackInItsDesignPlaceAfterATallAndAWideWindow) {
  ShownWindow s(1.0);
  QWidget* client = s.w.window->centralWidget();
  const QMap<QString, QRect> design = Geometries(client);
  for (QSizeF shape : {QSizeF(1, 1.6), QSizeF(1.3, 2.4), QSizeF(2, 1.2), QSizeF(1, 1.01)}) {
    s.Resize(shape);
    s.Resize(QSizeF(1, 1));
    const QMap<QString, QRect> now = Geometries(client);
    for (auto it = design.begin(); it != design.end(); ++it)
      EXPECT_EQ(now.value(it.key()), it.value()) << it.key().toStdString() << " after " << shape.height();
  }
}

TEST(Layout, TheRecordingPanelStaysInsideTheFrameOfATallWindowAndOfASmallerOneAfterIt) {
  ShownWindow s(QSizeF(1, 1.5));
  Controls& ui = s.w.ed().ui;
  QWidget* panel = ui.fDialog[0];
  // Collapsed and dropped by its strip onto the buttons under the mouse-point grid, which stand
  // lower in the tall window: the panel lands at the pointer (as far as the frame lets it), in
  // the frame's spare height.
  OnPanelCollapseToggle(s.w.ed());
  const QRect frame(QPoint(0, 0), ui.frMain->size());
  const QPoint grab(TwipsToPixels(300), TwipsToPixels(100));
  for (QWidget* target : {static_cast<QWidget*>(ui.cbDelete), static_cast<QWidget*>(ui.lbKeyComment[1])}) {
    SCOPED_TRACE(target->objectName().toStdString());
    OnPanelDragStart(s.w.ed(), 0, PixelsToTwips(grab.x()), PixelsToTwips(grab.y()));
    const QPoint onTarget(TwipsToPixels(600), TwipsToPixels(100));
    DropPanelOn(s.w.ed(), 0, target, onTarget);
    const QPoint pointer = target->mapTo(ui.frMain, onTarget);
    EXPECT_NEAR(panel->x(), pointer.x() - grab.x(), 2);
    EXPECT_NEAR(panel->y(), std::min(pointer.y() - grab.y(), frame.height() - panel->height()), 2);
    EXPECT_GT(panel->geometry().bottom(), TwipsToPixels(10300));
    EXPECT_TRUE(frame.contains(panel->geometry()));
  }
  // Let go at the very bottom of the frame: it stays wholly inside.
  DropPanelOn(s.w.ed(), 0, ui.frMain, QPoint(frame.width() / 2, frame.height() - 2));
  EXPECT_TRUE(frame.contains(panel->geometry()));
  EXPECT_GE(panel->geometry().bottom(), frame.bottom() - 2);
  // Opened there, it rises as far as its taller grid needs.
  OnPanelCollapseToggle(s.w.ed());
  EXPECT_TRUE(frame.contains(panel->geometry()));
  EXPECT_GT(panel->height(), TwipsToPixels(6975) + TwipsToPixels(3000));
  // The window back at the design's shape: the panel moves up into the smaller frame.
  s.Resize(QSizeF(1, 1));
  EXPECT_TRUE(QRect(QPoint(0, 0), ui.frMain->size()).contains(panel->geometry()));
  EXPECT_EQ(panel->height(), TwipsToPixels(6975));
  ExpectReadsInFull(s.w.window->centralWidget());
}

TEST(Layout, PanelsOpenedInATallWindowTakeTheirShareAndTheirButtonsKeepTheirSize) {
  // The slide-edit grid is laid out when the panel opens, after the window became tall.
  ShownWindow s(QSizeF(1, 1.5));
  Controls& ui = s.w.ed().ui;
  OnPanelCollapseToggle(s.w.ed());
  ui.ppSldEdit->trigger();
  test::Pump(10);
  ASSERT_TRUE(ui.fDialog[1]->isVisible());
  const int spare = s.w.window->centralWidget()->height() / 3;
  EXPECT_GE(ui.dgSlideEdit->height(), TwipsToPixels(1875) + spare - 4);
  for (QWidget* button : {ui.cbSaveSld, ui.cbDeleteSld, ui.cbFrSldClose}) {
    EXPECT_EQ(button->size(), QSize(TwipsToPixels(780), TwipsToPixels(315))) << button->objectName().toStdString();
    EXPECT_LT(button->geometry().bottom(), TwipsToPixels(1700));
  }
  // The recording panel opened in the tall window: its grid takes as much.
  OnPanelCollapseToggle(s.w.ed());
  EXPECT_GE(ui.dgRecCursor->height(), TwipsToPixels(3900) + spare - 4);
  EXPECT_TRUE(QRect(QPoint(0, 0), ui.frMain->size()).contains(ui.fDialog[0]->geometry()));
  ExpectReadsInFull(s.w.window->centralWidget());
}
