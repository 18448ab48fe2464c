#include "document/time_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kemo {

namespace {

// Beyond a billion years the milliseconds no longer fit the integer arithmetic below.
constexpr double kLimit = 1e15;

}  // namespace

long long RoundToWholeMilliseconds(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  seconds = std::clamp(seconds, -kLimit, kLimit);
  const bool negative = seconds < 0;
  const double magnitude = negative ? -seconds : seconds;
  // Away from a half millisecond, the nearest whole millisecond of the double is that of its
  // decimal form: the two differ by far less than the margin. Only near a half is the form written.
  const double scaled = magnitude * 1000.0;
  const double floor = std::floor(scaled);
  const double fraction = scaled - floor;
  if (std::abs(fraction - 0.5) > scaled * 1e-13 + 1e-12) {
    const long long total = static_cast<long long>(floor) + (fraction > 0.5 ? 1 : 0);
    return negative ? -total : total;
  }
  // The shortest decimal form that reads back as this double ("4.0005", "5.9996", "1e-07").
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed);
  if (r.ec != std::errc()) return 0;
  const char* end = r.ptr;
  const char* dot = std::find(static_cast<const char*>(buf), end, '.');
  long long whole = 0;
  for (const char* c = buf; c < dot; ++c) whole = whole * 10 + (*c - '0');
  long long millis = 0;
  int digits = 0;
  const char* c = dot == end ? end : dot + 1;
  for (; c < end && digits < 3; ++c, ++digits) millis = millis * 10 + (*c - '0');
  for (; digits < 3; ++digits) millis *= 10;
  // Half up on the first dropped digit: what follows it only matters when it is 5 or more.
  if (c < end && *c >= '5') ++millis;
  const long long total = whole * 1000 + millis;
  return negative ? -total : total;
}

double RoundToMilliseconds(double seconds) {
  return static_cast<double>(RoundToWholeMilliseconds(seconds)) / 1000.0 + 0.0;
}

QString FormatTimeText(double seconds) {
  const long long total = RoundToWholeMilliseconds(seconds);
  const bool negative = total < 0;
  const long long ms = negative ? -total : total;
  long long minutes = ms / 60000;
  const int secs = static_cast<int>(ms / 1000 % 60);
  const int millis = static_cast<int>(ms % 1000);
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
  buf[n++] = static_cast<char>('0' + millis / 100);
  buf[n++] = static_cast<char>('0' + millis / 10 % 10);
  buf[n++] = static_cast<char>('0' + millis % 10);
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
  const QString secsPart = t.mid(colon + 1);
  const double secs = secsPart.toDouble(&okS);
  if (!okM || !okS || minutes < 0 || secs < 0 || minutes > 1'000'000'000'000LL) return 0.0;
  // The common form "ss.fff": whole milliseconds, divided once, so that "00:12.300" gives exactly
  // the double 12.3 and not 12 + 0.3 with its own rounding.
  const qsizetype dot = secsPart.indexOf(QLatin1Char('.'));
  const QString wholePart = dot < 0 ? secsPart : secsPart.left(dot);
  const QString fracPart = dot < 0 ? QString() : secsPart.mid(dot + 1);
  auto digitsOnly = [](const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
  };
  double v = 0.0;
  if (!wholePart.isEmpty() && wholePart.size() <= 6 && fracPart.size() <= 3 && digitsOnly(wholePart) &&
      digitsOnly(fracPart)) {
    long long f = fracPart.isEmpty() ? 0 : fracPart.toLongLong();
    for (qsizetype k = fracPart.size(); k < 3; ++k) f *= 10;
    v = static_cast<double>((minutes * 60 + wholePart.toLongLong()) * 1000 + f) / 1000.0;
  } else {
    v = static_cast<double>(minutes) * 60.0 + secs;
  }
  return negative ? -v : v;
}

double CutToMilliseconds(double position) {
  if (!std::isfinite(position)) return 0.0;
  return std::floor(position * 1000.0) / 1000.0;
}

}  // namespace kemo
