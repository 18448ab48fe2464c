#include "playback/time_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kemo {

QString FormatTimeText(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0.0;
  // Beyond a billion years the whole seconds no longer fit the integer arithmetic below.
  constexpr double kLimit = 1e15;
  seconds = std::clamp(seconds, -kLimit, kLimit);
  const bool negative = seconds < 0;
  const double magnitude = negative ? -seconds : seconds;
  const double whole = std::trunc(magnitude);
  const long long w = static_cast<long long>(whole);
  long long minutes = w / 60;
  const int secs = static_cast<int>(w % 60);
  // Callers pass times already cut to milliseconds; the rounding only absorbs floating-point error.
  const int millis = static_cast<int>(std::llround((magnitude - whole) * 1000.0));
  // Written digit by digit: every time column of every table goes through here.
  char buf[40];
  int n = 0;
  if (negative) buf[n++] = '-';
  char digits[24];
  int d = 0;
  do {
    digits[d++] = static_cast<char>('0' + minutes % 10);
    minutes /= 10;
  } while (minutes > 0);
  if (d < 2) digits[d++] = '0';
  while (d > 0) buf[n++] = digits[--d];
  buf[n++] = ':';
  buf[n++] = static_cast<char>('0' + secs / 10);
  buf[n++] = static_cast<char>('0' + secs % 10);
  buf[n++] = '.';
  if (millis >= 1000) {  // 0.9995 and up rounds to a whole thousand, written as the pattern does
    n += std::snprintf(buf + n, sizeof(buf) - n, "%d", millis);
  } else {
    buf[n++] = static_cast<char>('0' + millis / 100);
    buf[n++] = static_cast<char>('0' + millis / 10 % 10);
    buf[n++] = static_cast<char>('0' + millis % 10);
  }
  return QString::fromLatin1(buf, n);
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
