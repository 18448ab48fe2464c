#include "platform/captions.h"

#include <QLabel>
#include <QVariant>

namespace kemo {

namespace {
constexpr const char* kCaptionProperty = "kemoCaption";
}

QString ShowLineBreaks(const QString& text) {
  QString s = text;
  s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

void SetCaption(QLabel* label, const QString& text) {
  if (!label) return;
  label->setProperty(kCaptionProperty, text);
  label->setText(ShowLineBreaks(text));
}

QString Caption(const QLabel* label) {
  if (!label) return {};
  const QVariant kept = label->property(kCaptionProperty);
  if (kept.isValid() && ShowLineBreaks(kept.toString()) == label->text()) return kept.toString();
  return label->text();
}

}  // namespace kemo
