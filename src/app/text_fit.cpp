#include "app/text_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "platform/twips.h"

namespace kemo {

namespace {

constexpr double kStep = 0.25;      // points
constexpr double kSmallest = 3.0;   // points: reached only on a screen smaller than the design's minimum
constexpr const char* kFittedFor = "kemoFittedFor";    // text, size and font the font was last fitted for
constexpr const char* kOwnFont = "kemoOwnFont";        // the font set on the control before it was fitted
constexpr const char* kInherits = "kemoInheritsFont";  // the control took its parent's font before

// True when the text set in `box` with these alignment flags reads in full: its lines fit, and so
// does its ink, which in some faces (an arrow, say) reaches past the line above or below.
bool FitsIn(const QFontMetrics& fm, const QRect& box, int flags, const QString& text) {
  const QRect line = fm.boundingRect(box, flags, text);
  if (line.width() > box.width() || line.height() > box.height()) return false;
  const QRect tight = fm.tightBoundingRect(QString(text).replace(QLatin1Char('\n'), QString()));
  const int lines = std::max(1, static_cast<int>(std::lround(static_cast<double>(line.height()) / fm.lineSpacing())));
  const int firstBaseline = line.top() + fm.ascent();
  const int lastBaseline = firstBaseline + (lines - 1) * fm.lineSpacing();
  return firstBaseline + tight.top() >= box.top() && lastBaseline + tight.bottom() <= box.bottom();
}

// True when the widget's text, in the font f, fits its box.
bool Fits(QWidget* w, const QFont& f) {
  const QFontMetrics fm(f);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    const QRect box = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                     -label->margin());
    if (label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text())) {
      QTextDocument doc;
      doc.setDocumentMargin(0);
      doc.setDefaultFont(f);
      doc.setHtml(label->text());
      return doc.idealWidth() <= box.width() && doc.size().height() <= box.height();
    }
    const int flags = static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    return FitsIn(fm, box, flags, label->text());
  }
  auto* button = qobject_cast<QAbstractButton*>(w);
  if (!button) return true;
  QStyleOptionButton opt;
  opt.initFrom(button);
  opt.text = button->text();
  QStyle::SubElement element = QStyle::SE_PushButtonContents;
  if (qobject_cast<QRadioButton*>(w)) element = QStyle::SE_RadioButtonContents;
  if (qobject_cast<QCheckBox*>(w)) element = QStyle::SE_CheckBoxContents;
  const QRect box = w->style()->subElementRect(element, &opt, w);
  return FitsIn(fm, box, Qt::AlignCenter, button->text());
}

QString TextOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  return {};
}

QString FittedFor(QWidget* w) {
  return TextOf(w) + QLatin1Char('\x1f') + QString::number(w->width()) + QLatin1Char('x') +
         QString::number(w->height()) + QLatin1Char('\x1f') + w->font().toString();
}

// The font the control shows when its text fits: its design font at the present scale, its
// parent's, or the one it was given.
QFont FullFont(QWidget* w) {
  if (const double design = ScaledDesignPoints(w); design > 0) {
    QFont f = w->font();
    f.setPointSizeF(design);
    return f;
  }
  if (w->property(kInherits).toBool()) return w->parentWidget() ? w->parentWidget()->font() : w->font();
  const QVariant own = w->property(kOwnFont);
  return own.isValid() ? own.value<QFont>() : w->font();
}

void FitText(QWidget* w) {
  if (TextOf(w).isEmpty() || w->width() <= 0 || w->height() <= 0) return;
  if (w->property(kFittedFor).toString() == FittedFor(w)) return;
  if (!w->property(kInherits).isValid() && !w->property(kOwnFont).isValid()) {
    // What to go back to once the text fits again.
    if (w->testAttribute(Qt::WA_SetFont))
      w->setProperty(kOwnFont, w->font());
    else
      w->setProperty(kInherits, true);
  }
  const QFont full = FullFont(w);
  QFont f = full;
  if (f.pointSizeF() > 0)
    while (f.pointSizeF() - kStep >= kSmallest && !Fits(w, f)) f.setPointSizeF(f.pointSizeF() - kStep);
  if (w->property(kInherits).toBool() && ScaledDesignPoints(w) <= 0 && f == full) {
    if (w->testAttribute(Qt::WA_SetFont)) w->setFont(QFont());  // its parent's again, following it from now on
  } else if (f != w->font()) {
    w->setFont(f);
  }
  w->setProperty(kFittedFor, FittedFor(w));
}

// Fits a control's text before it is drawn, whenever its text, size or font changed since.
class TextWatch : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && o->isWidgetType()) FitText(static_cast<QWidget*>(o));
    return false;
  }
};

QObject* Watch() {
  static TextWatch watch;
  return &watch;
}

}  // namespace

void FitTexts(QWidget* root) {
  if (!root) return;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w)) continue;
    // Installed again, it stays one filter.
    w->removeEventFilter(Watch());
    w->installEventFilter(Watch());
    // A hidden control (a closed panel's) is fitted before it is first drawn: measuring its text
    // now would read every glyph of it from the font file for nothing.
    if (w->isVisibleTo(root)) FitText(w);
  }
}

}  // namespace kemo
