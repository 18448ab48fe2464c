#include "platform/captions.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>
#include <QVariant>

namespace kemo {

namespace {
constexpr const char* kCaptionProperty = "kemoCaption";
constexpr const char* kShownProperty = "kemoCaptionShown";
}

QString ShowLineBreaks(const QString& text) {
  QString s = text;
  s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

void SetCaption(QLabel* label, const QString& text, int lineHeightPx) {
  if (!label) return;
  QString shown = ShowLineBreaks(text);
  if (lineHeightPx > 0) {
    label->setTextFormat(Qt::RichText);
    // Rich text takes line heights as a share of the font's own line spacing.
    const int natural = std::max(1, QFontMetrics(label->font()).lineSpacing());
    shown = QStringLiteral("<div style=\"line-height:%1%\">").arg(lineHeightPx * 100 / natural) +
            shown.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>")) + QStringLiteral("</div>");
  }
  label->setProperty(kCaptionProperty, text);
  label->setProperty(kShownProperty, shown);
  label->setText(shown);
}

QString Caption(const QLabel* label) {
  if (!label) return {};
  const QVariant kept = label->property(kCaptionProperty);
  if (kept.isValid() && label->property(kShownProperty).toString() == label->text()) return kept.toString();
  return label->text();
}

}  // namespace kemo
