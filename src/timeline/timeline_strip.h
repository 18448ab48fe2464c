#pragma once
// The timeline strip: the whole lecture below the window's design area. It shows the time ruler,
// the sound's waveform, the slides with their pictures, the pointer's density with its gaps and the
// playhead; a click seeks, a drag of the playhead scrubs, the wheel scrolls, Ctrl+wheel zooms about
// the mouse, a double-click on a slide selects its grid row, and a slide's left edge can be dragged
// (or moved with ←/→) to give the slide a new time, one registered change per drop.
#include <QHash>
#include <QImage>
#include <QSet>
#include <QThreadPool>
#include <QWidget>
#include <vector>

#include "timeline/timeline_paint.h"
#include "timeline/waveform_peaks.h"

namespace kemo {

struct Editor;

class TimelineStrip : public QWidget {
  Q_OBJECT
 public:
  explicit TimelineStrip(Editor& ed, QWidget* parent = nullptr);
  ~TimelineStrip() override;

  // The peaks shown (the owner fills them as they arrive, then calls PeaksChanged).
  WaveformPeaks& Peaks() { return peaks_; }
  void PeaksChanged();
  void SetWaveNote(const QString& note);
  // The sound's length as the encoder reported it (-1 unknown).
  void SetSoundDuration(double seconds);
  // Forgets the folder's pictures and peaks (another folder was opened).
  void ResetFolder();

  // Reads the tables and the position again; repaints only when something it shows changed.
  void Refresh();
  // Scrolls so that slide `index` stands in view and selects its edge.
  void ShowSlide(int index);

  const TimelineView& View() const { return view_; }
  void SetView(const TimelineView& v);
  double Duration() const { return duration_; }
  int SelectedSlide() const { return selected_; }
  // The x of slide index's edge in the strip (for tests and the window pass).
  int SlideEdgeX(int index) const;
  int PlayheadX() const;
  const TimelineScene& LastScene() const { return scene_; }

  QSize sizeHint() const override { return QSize(800, kTimelineHeight); }
  QSize minimumSizeHint() const override { return QSize(100, kTimelineHeight); }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void changeEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  enum class Drag { None, Scrub, Edge };
  void ReadTables();
  // The scene changed: drawn again at the next paint.
  void Invalidate();
  double PlayheadNow() const;
  int EdgeNear(double x) const;
  int SlideAt(double x) const;
  double DragTarget(double x, bool snap, bool* snapped) const;
  void SeekTo(double t);
  bool CanSeek() const;
  const QImage* Thumbnail(int slide);
  void ThumbnailArrived(const QString& name, const QImage& image, quint64 generation);

  Editor& ed_;
  WaveformPeaks peaks_;
  QString waveNote_;
  double soundDuration_ = -1;
  double duration_ = 0;
  TimelineView view_;
  bool viewSet_ = false;
  std::vector<TimelineSlide> slides_;
  std::vector<QString> images_;
  std::vector<double> pointTimes_;
  std::vector<TimeSpan> gaps_;
  std::vector<double> snapTargets_;
  quint64 signature_ = 0;
  double playhead_ = -1;
  int selected_ = -1;
  TimelineScene scene_;
  QImage sceneImage_;
  bool sceneDirty_ = true;

  Drag drag_ = Drag::None;
  double dragTime_ = 0;
  double grabOffset_ = 0;
  double pressTime_ = 0;
  int groupLo_ = -1, groupHi_ = -1;
  qint64 lastScrubMs_ = 0;

  // The slides' small pictures, decoded on a thread of their own (a slow share never holds the
  // window); a folder of its own for each generation.
  QHash<QString, QImage> thumbs_;
  QSet<QString> thumbsLoading_;
  quint64 thumbGeneration_ = 0;
  QThreadPool thumbPool_;  // last: its threads end before the strip's fields go
};

}  // namespace kemo
