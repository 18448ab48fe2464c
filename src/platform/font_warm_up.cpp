#include "platform/font_warm_up.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <fontconfig/fontconfig.h>

namespace kemo {

namespace {

// The warm-up the early start routine is for; the toolkit calls its start routines without an
// argument.
FontWarmUp*& Early() {
  static FontWarmUp* early = nullptr;
  return early;
}

}  // namespace

// Reading the configuration is safe beside other threads (the library installs the first complete
// one), and so is filling the toolkit's font list, which it does once, under its own lock. A face
// loaded here would be this thread's alone, and the window's thread would wait on that lock while
// it loaded: the thread stops at the list.
FontWarmUp::FontWarmUp()
    : thread_([this, work = work_.get_future()]() mutable {
        FcInit();
        configured_.set_value();
        if (work.get()) QFontDatabase::families();
      }) {}

FontWarmUp::~FontWarmUp() {
  if (Early() == this) Early() = nullptr;
  Finish();
}

void FontWarmUp::Finish() {
  if (!workGiven_) {
    workGiven_ = true;
    work_.set_value(false);
  }
  if (thread_.joinable()) thread_.join();
}

void FontWarmUp::FillFontList() {
  if (workGiven_) return;
  workGiven_ = true;
  work_.set_value(true);
}

void FontWarmUp::FillFontListOnceTheDisplayIsOpen() {
  Early() = this;
  // Start routines run at the end of the core application's set-up, by which time the display's
  // connection and its font database exist.
  qAddPreRoutine([] {
    if (FontWarmUp* fonts = Early()) fonts->FillFontList();
    Early() = nullptr;
  });
}

void FontWarmUp::WaitForConfiguration() {
  if (configuredDone_.valid()) configuredDone_.wait();
}

}  // namespace kemo
