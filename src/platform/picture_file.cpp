#include "platform/picture_file.h"

#include <QFile>
#include <QImageReader>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kemo {

namespace {

// Opens `path` without blocking into `file`, when it is a regular file.
bool OpenRegular(const QString& path, QFile* file) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
}

// The format the first bytes of the common picture files name, or nothing for any other. A reader
// told the format asks only that format's decoder; one left to find it out loads every image plugin
// the system has (TIFF, WebP, MNG...) to ask each in turn, which costs time and memory for no gain
// with the pictures a recorder writes.
QByteArray FormatByHeader(QIODevice* device) {
  const QByteArray head = device->peek(8);
  if (head.startsWith("\xFF\xD8\xFF")) return QByteArrayLiteral("jpeg");
  if (head.startsWith("\x89PNG\r\n\x1A\n")) return QByteArrayLiteral("png");
  if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return QByteArrayLiteral("gif");
  if (head.startsWith("BM")) return QByteArrayLiteral("bmp");
  return {};
}

// Runs `attempt` with a reader told the format the header names, and, where that header only looked
// like a known format, again with a reader that finds the format out.
bool WithReader(QFile* file, const std::function<bool(QImageReader&)>& attempt) {
  const QByteArray format = FormatByHeader(file);
  QImageReader reader(file);
  if (!format.isEmpty()) {
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
  }
  if (attempt(reader)) return true;
  if (format.isEmpty() || !file->seek(0)) return false;
  QImageReader any(file);
  return attempt(any);
}

}  // namespace

bool IsPictureFile(const QString& path) {
  QFile file;
  if (!OpenRegular(path, &file)) return false;
  return WithReader(&file, [](QImageReader& r) { return r.canRead() && r.size().isValid(); });
}

bool ReadPictureFile(const QString& path, const QSize& size, QImage* image) {
  QFile file;
  if (!OpenRegular(path, &file)) return false;
  return WithReader(&file, [&size, image](QImageReader& r) {
    if (size.isValid() && !size.isEmpty()) r.setScaledSize(size);
    return r.read(image) && !image->isNull();
  });
}

QImage ReadPictureFile(const QString& path, const QSize& size) {
  QImage image;
  if (!ReadPictureFile(path, size, &image)) return {};
  return image;
}

}  // namespace kemo
