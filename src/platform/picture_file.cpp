#include "platform/picture_file.h"

#include <QFile>
#include <QImageReader>
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

}  // namespace

bool IsPictureFile(const QString& path) {
  QFile file;
  if (!OpenRegular(path, &file)) return false;
  QImageReader reader(&file);
  return reader.canRead() && reader.size().isValid();
}

bool ReadPictureFile(const QString& path, const QSize& size, QImage* image) {
  QFile file;
  if (!OpenRegular(path, &file)) return false;
  QImageReader reader(&file);
  if (size.isValid() && !size.isEmpty()) reader.setScaledSize(size);
  return reader.read(image) && !image->isNull();
}

QImage ReadPictureFile(const QString& path, const QSize& size) {
  QImage image;
  if (!ReadPictureFile(path, size, &image)) return {};
  return image;
}

}  // namespace kemo
