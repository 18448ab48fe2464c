#pragma once
// The fonts of the window's first drawing are looked up on a thread of their own while the toolkit
// connects to the display and the window is built: the desktop's font configuration (its files
// parsed, its caches mapped), then the toolkit's list of the installed fonts. Without it these are
// the largest part of drawing the first Japanese word. The faces themselves are loaded by the
// thread that draws: the toolkit keeps a thread's loaded faces to that thread.
#include <future>
#include <thread>

namespace kemo {

// Reads the desktop's font configuration and installs it as the font library's own, as its first
// use would, without the descriptions of its unused samples.
void LoadFontConfiguration();

class FontWarmUp {
 public:
  // Starts reading the configuration; needs no application object yet.
  FontWarmUp();
  ~FontWarmUp();
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;

  // Once the application object exists: fills the toolkit's font list.
  void FillFontList();
  // The same, started from inside the application object's construction, as soon as the display is
  // open (before the rest of the toolkit's set-up, which it then overlaps). Call before the
  // application object is made.
  void FillFontListOnceTheDisplayIsOpen();
  // Returns once the configuration is read, so that the toolkit finds it ready instead of reading
  // it a second time beside the thread.
  void WaitForConfiguration();
  // Returns once the thread has ended; before the application object goes, whose font list the
  // thread fills.
  void Finish();

 private:
  std::promise<void> configured_;
  std::future<void> configuredDone_ = configured_.get_future();
  std::promise<bool> work_;
  bool workGiven_ = false;
  std::thread thread_;
};

}  // namespace kemo
