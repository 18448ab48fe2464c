#include "export/output_place.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "document/data_files.h"
#include "platform/paths.h"

namespace kemo {

namespace {

// The names a data folder's own files have or will have (compared without regard to case: folders
// travel on sticks whose file systems ignore it).
bool IsDataFolderName(const QString& name) {
  const QString n = name.toLower();
  if (n == QStringLiteral("video.avi") || n == QStringLiteral("video.flv") || n == QStringLiteral("content.xml"))
    return true;
  if (n.startsWith(QStringLiteral("content")) && n.endsWith(QStringLiteral(".xml"))) return true;  // backups
  static const QStringList pictures = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                       QStringLiteral("bmp"), QStringLiteral("gif")};
  return pictures.contains(QFileInfo(n).suffix());
}

bool Writable(const QString& folder) {
  return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

}  // namespace

OutputPlace CheckOutputPlace(const QString& typed, const QString& dataFolder, const QStringList& inputs,
                             const QString& extension) {
  OutputPlace place;
  if (typed.trimmed().isEmpty()) {
    place.refusal = QStringLiteral("書き出し先のファイル名がありません。");
    return place;
  }
  const QString absolute = QDir::cleanPath(QFileInfo(typed).absoluteFilePath());
  if (typed.endsWith(QLatin1Char('/')) || QFileInfo(absolute).isDir()) {
    place.path = absolute;
    place.refusal = ShowPath(absolute) + QStringLiteral("はフォルダです。書き出すファイルの名前を指定してください。");
    return place;
  }
  QFileInfo info(absolute);
  place.path = info.suffix().isEmpty() ? absolute + QLatin1Char('.') + extension : absolute;
  info = QFileInfo(place.path);
  const QString folder = info.absolutePath();
  if (!QFileInfo(folder).isDir()) {
    place.refusal = ShowPath(folder) + QStringLiteral("というフォルダがありません。");
    return place;
  }
  const bool inDataFolder = !dataFolder.isEmpty() && SameFile(folder, dataFolder);
  bool input = inDataFolder && IsDataFolderName(info.fileName());
  for (const QString& in : inputs) input = input || SameFile(in, place.path);
  if (input) {
    place.refusal = ShowPath(place.path) + QStringLiteral("はデータフォルダのファイルのため、書き出し先にできません。");
    return place;
  }
  if (!Writable(folder)) {
    place.refusal = ShowPath(folder) + QStringLiteral("に書き込む権限がありません。");
    return place;
  }
  return place;
}

QString PartPathOf(const QString& output) {
  const QFileInfo out(output);
  return JoinPath(out.absolutePath(), QStringLiteral(".") + out.fileName() + QStringLiteral(".part"));
}

PartFileHold::~PartFileHold() { Discard(); }

bool PartFileHold::Take(const QString& output, QString* refusal) {
  Discard();
  output_ = output;
  part_ = PartPathOf(output);
  const QByteArray name = QFile::encodeName(part_);
  fd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd_ < 0) {
    *refusal = ShowPath(output) + (errno == EACCES || errno == EPERM || errno == EROFS
                                       ? QStringLiteral("に書き込む権限がありません。")
                                       : QStringLiteral("の一時ファイルを作れません。"));
    part_.clear();
    return false;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
    part_.clear();
    *refusal = ShowPath(output) + QStringLiteral("には別の書き出しが書き込んでいます。終わるまでお待ちください。");
    return false;
  }
  // What a killed writer left is not kept.
  if (::ftruncate(fd_, 0) != 0) {
    *refusal = ShowPath(output) + QStringLiteral("の一時ファイルを作れません。");
    Discard();
    return false;
  }
  return true;
}

bool PartFileHold::Commit() {
  if (fd_ < 0) return false;
  const bool ok = ::rename(QFile::encodeName(part_).constData(), QFile::encodeName(output_).constData()) == 0;
  if (!ok) ::unlink(QFile::encodeName(part_).constData());
  ::close(fd_);
  fd_ = -1;
  part_.clear();
  return ok;
}

void PartFileHold::Discard() {
  if (fd_ < 0) return;
  // Removed while still held, so no other writer takes over a name about to vanish.
  ::unlink(QFile::encodeName(part_).constData());
  ::close(fd_);
  fd_ = -1;
  part_.clear();
}

}  // namespace kemo
