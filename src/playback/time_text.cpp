#include "playback/time_text.h"

#include <algorithm>
#include <cmath>

namespace kemo {

QString FormatTimeText(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0.0;
  // Beyond a billion years the whole seconds no longer fit the integer arithmetic below.
  constexpr double kLimit = 1e15;
  seconds = std::clamp(seconds, -kLimit, kLimit);
  const double whole = std::trunc(seconds);
  const long long w = static_cast<long long>(whole);
  const long long minutes = w / 60;
  const long long secs = w % 60;
  long long millis = std::llround((seconds - whole) * 1000.0);
  QString text;
  // A negative time keeps its sign once, in front of the minutes.
  const bool negative = seconds < 0;
  const long long m = negative ? -minutes : minutes;
  const long long s = negative ? -secs : secs;
  if (negative) millis = -millis;
  text = QStringLiteral("%1:%2.%3")
             .arg(m, 2, 10, QLatin1Char('0'))
             .arg(s, 2, 10, QLatin1Char('0'))
             .arg(millis, 3, 10, QLatin1Char('0'));
  return negative ? QLatin1Char('-') + text : text;
}

double ParseTimeText(const QString& text) {
  const QString t = text.trimmed();
  const qsizetype colon = t.indexOf(QLatin1Char(':'));
  if (colon < 1) return 0.0;
  bool okM = false, okS = false;
  QString minutesPart = t.left(colon);
  bool negative = false;
  if (minutesPart.startsWith(QLatin1Char('-'))) {
    negative = true;
    minutesPart.remove(0, 1);
  }
  const long long minutes = minutesPart.toLongLong(&okM);
  const double secs = t.mid(colon + 1).toDouble(&okS);
  if (!okM || !okS || minutes < 0 || secs < 0) return 0.0;
  const double v = static_cast<double>(minutes) * 60.0 + secs;
  return negative ? -v : v;
}

double CutToMilliseconds(double position) {
  if (!std::isfinite(position)) return 0.0;
  return std::floor(position * 1000.0) / 1000.0;
}

}  // namespace kemo
