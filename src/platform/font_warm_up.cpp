#include "platform/font_warm_up.h"

#include <QFontMetrics>
#include <fontconfig/fontconfig.h>

namespace kemo {

// Reading the configuration is safe beside other threads (the library installs the first complete
// one), and so are the toolkit's font look-ups, which share what they find under its own lock.
FontWarmUp::FontWarmUp()
    : thread_([this, work = work_.get_future()]() mutable {
        FcInit();
        configured_.set_value();
        const auto [font, sample] = work.get();
        if (!sample.isEmpty()) QFontMetrics(font).horizontalAdvance(sample);
      }) {}

FontWarmUp::~FontWarmUp() { Finish(); }

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

void FontWarmUp::WaitForConfiguration() {
  if (configuredDone_.valid()) configuredDone_.wait();
}

}  // namespace kemo
