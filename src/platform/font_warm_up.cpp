#include "platform/font_warm_up.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <fontconfig/fontconfig.h>

namespace kemo {

namespace {

// What the early look-up is for; the toolkit calls its start routines without an argument.
struct EarlyMeasure {
  FontWarmUp* fonts = nullptr;
  QStringList families;
  int points = 0;
  QString sample;
};
EarlyMeasure& Early() {
  static EarlyMeasure early;
  return early;
}

}  // namespace

// Reading the configuration is safe beside other threads (the library installs the first complete
// one), and so are the toolkit's font look-ups, which share what they find under its own lock.
FontWarmUp::FontWarmUp()
    : thread_([this, work = work_.get_future()]() mutable {
        FcInit();
        configured_.set_value();
        const auto [font, sample] = work.get();
        if (!sample.isEmpty()) QFontMetrics(font).horizontalAdvance(sample);
      }) {}

FontWarmUp::~FontWarmUp() {
  if (Early().fonts == this) Early() = EarlyMeasure{};
  Finish();
}

void FontWarmUp::Finish() {
  if (!workGiven_) {
    workGiven_ = true;
    work_.set_value({});
  }
  if (thread_.joinable()) thread_.join();
}

void FontWarmUp::Measure(const QFont& font, const QString& sample) {
  if (workGiven_) return;
  workGiven_ = true;
  work_.set_value({font, sample});
}

void FontWarmUp::MeasureOnceTheDisplayIsOpen(const QStringList& families, int points, const QString& sample) {
  Early() = EarlyMeasure{this, families, points, sample};
  // Start routines run at the end of the core application's set-up, by which time the display's
  // connection and its font database exist.
  qAddPreRoutine([] {
    EarlyMeasure& e = Early();
    if (e.fonts == nullptr) return;
    QFont font;
    font.setFamilies(e.families);
    font.setPointSize(e.points);
    e.fonts->Measure(font, e.sample);
    e = EarlyMeasure{};
  });
}

void FontWarmUp::WaitForConfiguration() {
  if (configuredDone_.valid()) configuredDone_.wait();
}

}  // namespace kemo
