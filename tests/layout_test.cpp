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

// A window with a folder open, the recording panel shown and expanded, at the given layout scale.
struct ShownWindow {
  test::Window w;
  QTemporaryDir data;
  explicit ShownWindow(double scale) {
    QStringList scenes, points;
    for (int i = 0; i < 40; ++i) scenes << QStringLiteral("%1|スライド %2|%3.jpg").arg(i * 10).arg(i + 1).arg(i);
    for (int i = 0; i < 40; ++i) points << QStringLiteral("%1|0.5|0.5").arg(i);
    w.OpenFolder(data.path(), scenes, points);
    Controls& ui = w.ed().ui;
    ui.ppCurRecDisp->trigger();
    if (TwipsRectOf(ui.fDialog[0]).height() < 2000) OnPanelCollapseToggle(w.ed());
    const int menu = w.window->menuBar()->sizeHint().height();
    const QSize client = FrmMain::DesignClientSize() * scale;
    w.window->resize(client + QSize(0, menu));
    w.window->show();
    test::Pump(30);
  }
};

}  // namespace

TEST(Layout, EveryTextReadsInFullAndNothingOverlapsAtDesignSizeAndScaled) {
  for (double scale : {1.0, 1.5}) {
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
    ExpectReadsInFull(s.w.window->centralWidget());
  }
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
