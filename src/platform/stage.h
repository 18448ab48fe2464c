#pragma once
// The stage: one picture surface that shows a slide image stretched over its whole area, the
// grid-line overlay, the "File Not Found" label, and two arrays of pointer markers. Markers are
// lightweight items the stage draws itself (3600 widgets would make every rebuild slow); each has
// Left, Top, Width, Height in twips of the stage, Visible, a tooltip, a background colour and a
// z-order, and can be hit by the pointer. Only what changes is repainted.
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QLineF>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <array>
#include <functional>
#include <vector>

namespace kemo {

struct StageMarker {
  double left = 0, top = 0, width = 160, height = 160;  // twips, in the stage's own coordinates
  bool visible = false;
  QColor back = QColor(255, 0, 0);
  QString caption = QStringLiteral("●");
  QString tooltip;
  quint32 z = 0;  // larger is in front
};

enum class MarkerArray { Point = 0, RecPoint = 1 };

// Picture files decoded once and kept by path, modification time and size, so that showing a
// picture again costs no disk access. An entry is trusted until Revalidate(); the first use after
// it checks the file once (one stat) and decodes it again only when the file has changed.
class PictureFileCache {
 public:
  // The picture of the file, decoded at `size` (its natural size when size is empty); a null
  // image when the file is missing or is not a picture.
  QImage Load(const QString& path, const QSize& size = {});
  // The files may have changed: check each one again when it is next loaded.
  void Revalidate() { ++generation_; }
  // True when the file has been checked since the last Revalidate().
  bool IsChecked(const QString& path) const;
  // Disk accesses so far: file checks (stat) and decodes.
  int FileChecks() const { return checks_; }
  int Decodes() const { return decodes_; }
  // How many decoded pictures are kept at most (two until told otherwise; at least one).
  void SetKeptPictures(int n) { keptPictures_ = std::max(n, 1); }

 private:
  struct Entry {
    QString path;
    QSize size;
    QDateTime modified;
    qint64 bytes = -1;
    bool exists = false;
    QImage image;
    quint64 checked = 0;  // the generation in which the file was last checked
    quint64 used = 0;
  };
  // The pictures kept hold no more than this together (the one just loaded is always kept): two
  // slides at the design size, the one shown and the one before, which stepping back and forth
  // shows again; at twice the size, the one shown alone. Smaller, still no more than kept.
  static constexpr qsizetype kKeepBytes = 2600 * 1024;
  static constexpr size_t kKeepEntries = 5;
  std::vector<Entry> entries_;
  quint64 generation_ = 1;
  quint64 clock_ = 0;
  int checks_ = 0;
  int decodes_ = 0;
  int keptPictures_ = 2;
};

class Stage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMarkers = 3600;

  explicit Stage(QWidget* parent = nullptr);

  // The picture, stretched to the stage when drawn. A null image clears it. Setting the picture
  // the stage already holds (the same image data) changes nothing and repaints nothing.
  // `source` names where the picture came from (a file path), for whoever asks PictureSource().
  void SetPicture(const QImage& image, const QString& source = {});
  const QImage& Picture() const { return picture_; }
  const QString& PictureSource() const { return source_; }
  // The picture files this stage has shown.
  PictureFileCache& Files() { return files_; }

  // Size of the stage in twips (its Width and Height as the procedures read them).
  double WidthTwips() const;
  double HeightTwips() const;

  // Markers. Index out of range is ignored (reads give a default marker).
  const StageMarker& Marker(MarkerArray a, int i) const;
  void SetMarker(MarkerArray a, int i, const StageMarker& m);
  void MoveMarker(MarkerArray a, int i, double left, double top);
  void SetMarkerVisible(MarkerArray a, int i, bool visible);
  void SetMarkerTooltip(MarkerArray a, int i, const QString& tip);
  // The tooltip shown over a marker: its own text, or where it has none the text tooltipOf makes
  // when the pointer rests on it (a full table has 3600 markers; their texts are not kept).
  QString MarkerTooltip(MarkerArray a, int i) const;
  void BringToFront(MarkerArray a, int i);
  // How many markers of the array exist (created by the layout); markers past it are not drawn.
  int MarkerCount(MarkerArray a) const { return static_cast<int>(markers_[static_cast<int>(a)].size()); }
  void EnsureMarkers(MarkerArray a, int count);
  // Many changes at once: one repaint of the whole stage at the end.
  void BeginBatch();
  void EndBatch();

  // The frontmost visible marker under a stage position in twips: {array, index}, or index -1.
  std::pair<MarkerArray, int> HitMarker(double xTwips, double yTwips) const;

  // Grid overlay: the nine horizontal and nine vertical lines, in twips of the stage.
  void SetGridLines(const std::array<QLineF, 9>& horizontal, const std::array<QLineF, 9>& vertical);
  void SetGridVisible(bool visible);
  bool GridVisible() const { return gridVisible_; }
  const std::array<QLineF, 9>& HorizontalLines() const { return hLines_; }
  const std::array<QLineF, 9>& VerticalLines() const { return vLines_; }

  void SetFileNotFoundVisible(bool visible);
  bool FileNotFoundVisible() const { return fileNotFound_; }

  // Paints the whole stage into a painter whose device is the stage's size in pixels.
  void Render(QPainter& p, const QRect& clip) const;
  void Render(QPainter& p, const QRegion& clip) const;

  // What has changed since the stage was last painted, in pixels (empty when nothing waits).
  // The window paints it through the event loop; repaint(PendingRegion()) paints it at once.
  QRegion PendingRegion() const { return pending_; }
  // Paints what has changed into a painter of the stage's pixel size (an image of the stage) and
  // takes it as painted.
  void RenderPending(QPainter& p);

  // Pointer events over the stage, positions in twips of the stage; marker events carry the hit.
  std::function<void(int button, int shift, double x, double y)> onMouseDown;
  std::function<void(int button, int shift, double x, double y)> onMouseMove;
  std::function<void(int button, int shift, double x, double y)> onMouseUp;
  std::function<void(MarkerArray a, int index, int button, int shift, double x, double y)> onMarkerMouseDown;
  std::function<QString(MarkerArray a, int index)> tooltipOf;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool event(QEvent* e) override;

 private:
  QRect PixelRect(const StageMarker& m) const;
  void Touch(const StageMarker& m);
  void Dirty(const QRect& r);
  void DirtyAll();
  const QImage& Scaled() const;
  const QImage& Glyph(const StageMarker& m, const QSize& size) const;
  // The "File Not Found" label: a band across the top of the stage, drawn once.
  const QImage& NotFoundBand() const;

  QImage picture_;
  QString source_;
  PictureFileCache files_;
  // The picture stretched to the pixel size, for the last few pictures shown: during slide editing
  // two pictures may take turns on every tick, and stretching one costs milliseconds.
  struct ScaledPicture {
    qint64 key = 0;
    QImage image;
  };
  mutable std::vector<ScaledPicture> scaled_;
  // A marker drawn once per size, colour and caption, then copied for every marker: laying out the
  // "●" text 3600 times would take most of a frame.
  struct MarkerGlyph {
    QSize size;
    QRgb back = 0;
    QString caption;
    QImage image;
  };
  mutable std::vector<MarkerGlyph> glyphs_;
  mutable QImage notFoundBand_;
  QRegion pending_;
  QRect batchRect_;
  std::array<std::vector<StageMarker>, 2> markers_;
  std::array<QLineF, 9> hLines_{}, vLines_{};
  bool gridVisible_ = false;
  bool fileNotFound_ = false;
  quint32 nextZ_ = 1;
  int batch_ = 0;
};

}  // namespace kemo
