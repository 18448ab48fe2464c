#include "export/export_frames.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QTextOption>
#include <algorithm>

#include "document/data_files.h"
#include "platform/paths.h"
#include "platform/picture_file.h"

namespace kemo {

namespace {

const QColor kMarkerBack(255, 0, 0);
const QColor kColumnBack(32, 32, 32);
const QColor kColumnText(240, 240, 240);
const QString kTextFont = QStringLiteral("Noto Sans CJK JP");

// Decodes into `image`, whose memory is used again when it already has the size and format.
bool Decode(const QString& path, const QSize& size, QImage* image) {
  if (!ReadPictureFile(path, size, image)) return false;
  // A picture whose header claims another size than it decodes to is stretched like any other.
  if (size.isValid() && image->size() != size)
    *image = image->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return true;
}

// The marker's own picture, as the stage draws it: red, with a black "●" 4/5 of its height.
void DrawMarker(QPainter& p, const QRect& r) {
  p.fillRect(r, kMarkerBack);
  QFont f = QGuiApplication::font();
  f.setPixelSize(std::max(4, r.height() * 4 / 5));
  p.setFont(f);
  p.setPen(Qt::black);
  p.drawText(r, Qt::AlignCenter, QStringLiteral("●"));
}

QRect MarkerRect(double centreX, double centreY) {
  const int size = PointerSize();
  return QRect(static_cast<int>(std::lround(centreX - size / 2.0)), static_cast<int>(std::lround(centreY - size / 2.0)),
               size, size);
}

// The stage's "File Not Found" band across the top of the picture.
void DrawNotFound(QPainter& p, int width, int height) {
  QFont f = QGuiApplication::font();
  f.setPixelSize(std::max(10, height / 14));
  f.setBold(true);
  p.setFont(f);
  const int h = QFontMetrics(f).height() + 8;
  p.fillRect(QRect(0, 0, width, h), QColor(255, 255, 255, 220));
  p.setPen(QColor(200, 0, 0));
  p.drawText(QRect(0, 0, width, h), Qt::AlignCenter, QStringLiteral("File Not Found"));
}

}  // namespace

bool LoadStageSlidePicture(QImage* picture, const QString& folder, const QString& image,
                           const QString& defaultPicture, const QSize& size) {
  if (IsPlainFileName(image) && !image.trimmed().isEmpty()) {
    const QString path = JoinPath(folder, image);
    // The program's own picture shows as a stand-in even when a slide names it; a link that leads
    // out of the folder shows no picture of the user's, as on the stage.
    if (path != defaultPicture && CheckDataFile(path, folder) == Refusal::None && Decode(path, size, picture))
      return true;
  }
  if (!Decode(defaultPicture, size, picture)) {
    if (picture->size() != size || picture->format() != QImage::Format_RGB32)
      *picture = QImage(size, QImage::Format_RGB32);
    picture->fill(Qt::white);
  }
  return false;
}

QImage StageSlidePicture(const QString& folder, const QString& image, const QString& defaultPicture,
                         const QSize& size, bool* notFound) {
  QImage picture;
  *notFound = !LoadStageSlidePicture(&picture, folder, image, defaultPicture, size);
  return picture;
}

void DrawSlideFrame(QImage* frame, const QImage& picture, bool notFound, const std::vector<PointerMark>& marks,
                    const SlideFrameText& text) {
  using namespace ExportFrame;
  if (frame->size() != QSize(Width, Height) || frame->format() != QImage::Format_RGB32)
    *frame = QImage(Width, Height, QImage::Format_RGB32);
  frame->fill(Qt::black);
  QPainter p(frame);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRect slide(0, 0, SlideWidth, SlideHeight);
  p.drawImage(slide, picture);
  p.setClipRect(slide);
  if (notFound) DrawNotFound(p, SlideWidth, SlideHeight);
  for (const PointerMark& m : marks) DrawMarker(p, MarkerRect(m.x, m.y));
  p.setClipping(false);

  const QRect column(SlideWidth, PresenterHeight, Width - SlideWidth, Height - PresenterHeight);
  p.fillRect(column, kColumnBack);
  const QRect inner = column.adjusted(16, 16, -16, -16);
  QFont numberFont(kTextFont);
  numberFont.setPixelSize(24);
  numberFont.setBold(true);
  p.setFont(numberFont);
  p.setPen(kColumnText);
  const QString number =
      QStringLiteral("スライド ") + QString::number(text.number) + QStringLiteral(" / ") + QString::number(text.count);
  const int numberHeight = QFontMetrics(numberFont).height();
  p.drawText(QRect(inner.left(), inner.top(), inner.width(), numberHeight), Qt::AlignLeft | Qt::AlignVCenter, number);

  // The caption, wrapped, above the time text the encoder draws.
  QFont captionFont(kTextFont);
  captionFont.setPixelSize(26);
  p.setFont(captionFont);
  const int top = inner.top() + numberHeight + 14;
  const QRect captionRect(inner.left(), top, inner.width(), TimeTextTop - 20 - top);
  QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
  wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QString caption = text.caption;
  caption.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  p.setClipRect(captionRect);
  p.drawText(captionRect, caption, wrap);
  p.end();
}

QImage RenderSlideFrame(const QImage& picture, bool notFound, const std::vector<PointerMark>& marks,
                        const SlideFrameText& text) {
  QImage frame;
  DrawSlideFrame(&frame, picture, notFound, marks, text);
  return frame;
}

QImage RenderPointerGlyph() {
  const int size = PointerSize();
  QImage glyph(size, size, QImage::Format_RGB32);
  QPainter p(&glyph);
  p.setRenderHint(QPainter::TextAntialiasing);
  DrawMarker(p, glyph.rect());
  p.end();
  return glyph;
}

}  // namespace kemo
