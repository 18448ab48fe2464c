#pragma once
// The stage: one picture surface that shows a slide image stretched over its whole area, the
// grid-line overlay, the "File Not Found" label, and two arrays of pointer markers. Markers are
// lightweight items the stage draws itself (3600 widgets would make every rebuild slow); each has
// Left, Top, Width, Height in twips of the stage, Visible, a tooltip, a background colour and a
// z-order, and can be hit by the pointer. Only what changes is repainted.
#include <QColor>
#include <QImage>
#include <QLineF>
#include <QString>
#include <QWidget>
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

class Stage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMarkers = 3600;

  explicit Stage(QWidget* parent = nullptr);

  // The picture, stretched to the stage when drawn. A null image clears it.
  void SetPicture(const QImage& image);
  const QImage& Picture() const { return picture_; }

  // Size of the stage in twips (its Width and Height as the procedures read them).
  double WidthTwips() const;
  double HeightTwips() const;

  // Markers. Index out of range is ignored (reads give a default marker).
  const StageMarker& Marker(MarkerArray a, int i) const;
  void SetMarker(MarkerArray a, int i, const StageMarker& m);
  void MoveMarker(MarkerArray a, int i, double left, double top);
  void SetMarkerVisible(MarkerArray a, int i, bool visible);
  void SetMarkerTooltip(MarkerArray a, int i, const QString& tip);
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

  // Pointer events over the stage, positions in twips of the stage; marker events carry the hit.
  std::function<void(int button, int shift, double x, double y)> onMouseDown;
  std::function<void(int button, int shift, double x, double y)> onMouseMove;
  std::function<void(int button, int shift, double x, double y)> onMouseUp;
  std::function<void(MarkerArray a, int index, int button, int shift, double x, double y)> onMarkerMouseDown;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool event(QEvent* e) override;

 private:
  QRect PixelRect(const StageMarker& m) const;
  void Touch(const StageMarker& m);

  QImage picture_;
  QImage scaled_;  // the picture stretched to the current pixel size, made when first painted
  std::array<std::vector<StageMarker>, 2> markers_;
  std::array<QLineF, 9> hLines_{}, vLines_{};
  bool gridVisible_ = false;
  bool fileNotFound_ = false;
  quint32 nextZ_ = 1;
  int batch_ = 0;
};

}  // namespace kemo
