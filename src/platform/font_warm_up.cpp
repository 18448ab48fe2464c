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

// The desktop's font configuration, as the library would read it at its first use: the main file
// (or the one the environment names) with everything it includes, then the fonts of its folders.
// The library's own first read also parses every file of its folder of unused configuration
// samples, for the descriptions a configuration tool lists; that is some two fifths of the read, and
// nothing here asks for them. Where the configuration cannot be read, or names no cache folder,
// the library's own first read is left to do what it does then.
void LoadFontConfiguration() {
  FcConfig* config = FcConfigCreate();
  bool ready = config && FcConfigParseAndLoad(config, nullptr, FcTrue);
  if (ready) {
    FcStrList* caches = FcConfigGetCacheDirs(config);
    ready = caches && FcStrListNext(caches);
    if (caches) FcStrListDone(caches);
  }
  // Installing it builds its font sets and takes a reference of its own.
  if (ready) ready = FcConfigSetCurrent(config);
  if (config) FcConfigDestroy(config);
  if (!ready) FcInit();
}

// Reading and installing the configuration is safe beside other threads (an installed one is freed
// only when its last user lets it go), and so is filling the toolkit's font list, which it does
// once, under its own lock. A face loaded here would be this thread's alone, and the window's
// thread would wait on that lock while it loaded: the thread stops at the list.
FontWarmUp::FontWarmUp()
    : thread_([this, work = work_.get_future()]() mutable {
        LoadFontConfiguration();
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
