#pragma once
#include <QImage>
#include <QSize>
#include <QString>

namespace kemo {

// Decodes the picture file at `path`, scaled to `size` when that is valid and not empty. Only a
// regular file is read: the file is opened without blocking and checked once open, so a FIFO or a
// device put in a picture's place between a check and the read is never waited on. A null image
// when there is no such file or it does not decode.
QImage ReadPictureFile(const QString& path, const QSize& size = QSize());
// The same into `image`, whose memory is used again when it already has the size and format;
// false when nothing was decoded.
bool ReadPictureFile(const QString& path, const QSize& size, QImage* image);

// True when `path` is a regular file whose header reads as a picture of a valid size (the picture
// itself is not decoded); opened as ReadPictureFile opens it.
bool IsPictureFile(const QString& path);

}  // namespace kemo
