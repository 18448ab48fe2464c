#include "app/text_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <functional>

namespace kemo {

namespace {

constexpr double kStep = 0.25;      // points
constexpr double kSmallest = 5.0;  // points: below this nothing reads anyway

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
    const QRect need = fm.boundingRect(box, flags, label->text());
    return need.width() <= box.width() && need.height() <= box.height();
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
  const QRect need = fm.boundingRect(box, Qt::AlignCenter, button->text());
  return need.width() <= box.width() && need.height() <= box.height();
}

QString TextOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  return {};
}

}  // namespace

void FitTexts(QWidget* root) {
  if (!root) return;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w)) continue;
    if (TextOf(w).isEmpty() || w->width() <= 0 || w->height() <= 0) continue;
    QFont f = w->font();
    if (f.pointSizeF() <= 0 || Fits(w, f)) continue;
    while (f.pointSizeF() - kStep >= kSmallest && !Fits(w, f)) f.setPointSizeF(f.pointSizeF() - kStep);
    w->setFont(f);
  }
}

}  // namespace kemo
