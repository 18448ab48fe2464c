#pragma once
// The fonts of the window's first drawing are looked up on a thread of their own while the toolkit
// connects to the display and the window is built: the desktop's font configuration (its files
// parsed, its caches mapped), then the window font's families and the fonts that stand in for
// them. Without it these are the largest part of drawing the first Japanese word.
#include <QFont>
#include <QString>
#include <QStringList>
#include <future>
#include <thread>
#include <utility>

namespace kemo {

class FontWarmUp {
 public:
  // Starts reading the configuration; needs no application object yet.
  FontWarmUp();
  ~FontWarmUp();
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;

  // Once the application object exists: looks up `font` as it draws `sample`.
  void Measure(const QFont& font, const QString& sample);
  // The same, started from inside the application object's construction, as soon as the display is
  // open (before the rest of the toolkit's set-up, which it then overlaps): the font of these
  // families at this size. Call before the application object is made.
  void MeasureOnceTheDisplayIsOpen(const QStringList& families, int points, const QString& sample);
  // Returns once the configuration is read, so that the toolkit finds it ready instead of reading
  // it a second time beside the thread.
  void WaitForConfiguration();
  // Returns once the thread has ended; before the application object goes, whose font database
  // the look-up uses.
  void Finish();

 private:
  std::promise<void> configured_;
  std::future<void> configuredDone_ = configured_.get_future();
  std::promise<std::pair<QFont, QString>> work_;
  bool workGiven_ = false;
  std::thread thread_;
};

}  // namespace kemo
