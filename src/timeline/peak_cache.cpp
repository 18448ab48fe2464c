#include "timeline/peak_cache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace kemo {

namespace {

constexpr char kMagic[8] = {'K', 'E', 'M', 'O', 'P', 'E', 'A', 'K'};
constexpr quint32 kVersion = 1;
constexpr qint64 kEdgeBytes = 64 * 1024;
// No cache file is larger than the peaks of 100 hours.
constexpr qint64 kMaxFileBytes = 100LL * 3600 * 100 * 2 * 12 / 10 + 4096;

QByteArray Header(const VideoIdentity& id, const WaveformPeaks& p) {
  QByteArray h;
  QDataStream s(&h, QIODevice::WriteOnly);
  s.setByteOrder(QDataStream::LittleEndian);
  s.writeRawData(kMagic, sizeof kMagic);
  s << kVersion << static_cast<quint32>(WaveformPeaks::kSampleRate) << id.size << id.mtimeNs;
  s.writeRawData(id.edgeHash.constData(), id.edgeHash.size());
  for (const auto& l : p.levels) s << static_cast<quint64>(l.size());
  return h;
}

QByteArray Payload(const WaveformPeaks& p) {
  QByteArray b;
  b.reserve(static_cast<qsizetype>(p.Bytes()));
  for (const auto& l : p.levels)
    b.append(reinterpret_cast<const char*>(l.data()), static_cast<qsizetype>(l.size() * sizeof(PeakPair)));
  return b;
}

QByteArray Checksum(const QByteArray& header, const QByteArray& payload) {
  QCryptographicHash h(QCryptographicHash::Sha1);
  h.addData(header);
  h.addData(payload);
  return h.result();
}

bool ReadAllAt(int fd, char* to, qint64 count, qint64 offset) {
  while (count > 0) {
    const ssize_t n = ::pread(fd, to, static_cast<size_t>(count), offset);
    if (n <= 0) return false;
    to += n;
    count -= n;
    offset += n;
  }
  return true;
}

}  // namespace

QString VideoIdentity::Key() const {
  QCryptographicHash h(QCryptographicHash::Sha1);
  h.addData(QByteArray::number(size) + '/' + QByteArray::number(mtimeNs) + '/');
  h.addData(edgeHash);
  return QString::fromLatin1(h.result().toHex());
}

VideoIdentity IdentityOfOpenFile(int fd) {
  VideoIdentity id;
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return id;
  QCryptographicHash h(QCryptographicHash::Sha1);
  const qint64 size = st.st_size;
  const qint64 head = std::min(size, kEdgeBytes);
  const qint64 tailAt = std::max(head, size - kEdgeBytes);
  QByteArray buf(static_cast<qsizetype>(kEdgeBytes), '\0');
  if (!ReadAllAt(fd, buf.data(), head, 0)) return id;
  h.addData(QByteArrayView(buf.constData(), head));
  if (size > tailAt) {
    if (!ReadAllAt(fd, buf.data(), size - tailAt, tailAt)) return id;
    h.addData(QByteArrayView(buf.constData(), size - tailAt));
  }
  id.size = size;
  id.mtimeNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  id.edgeHash = h.result();
  return id;
}

QString PeakCacheFolder(const QString& workBase) {
  return workBase.isEmpty() ? QString() : JoinPath(workBase, QStringLiteral("waveform"));
}

QString PeakCachePath(const QString& folder, const VideoIdentity& id) {
  return JoinPath(folder, id.Key() + QStringLiteral(".peaks"));
}

bool ReadPeakCache(const QString& folder, const VideoIdentity& id, WaveformPeaks* peaks) {
  if (folder.isEmpty() || !id.Valid()) return false;
  const QByteArray path = QFile::encodeName(PeakCachePath(folder, id));
  // Not a FIFO or a device, whatever was put there: opened without blocking, checked once open.
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st {};
  QByteArray bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileBytes) {
    bytes.resize(static_cast<qsizetype>(st.st_size));
    if (!ReadAllAt(fd, bytes.data(), st.st_size, 0)) bytes.clear();
  }
  ::close(fd);

  WaveformPeaks empty;
  const qsizetype headerSize = Header(id, empty).size();
  const qsizetype sumSize = 20;
  if (bytes.size() < headerSize + sumSize) return false;
  QDataStream s(bytes);
  s.setByteOrder(QDataStream::LittleEndian);
  char magic[8];
  quint32 version = 0, rate = 0;
  qint64 size = 0, mtime = 0;
  s.readRawData(magic, sizeof magic);
  s >> version >> rate >> size >> mtime;
  QByteArray hash(20, '\0');
  s.readRawData(hash.data(), 20);
  std::array<quint64, WaveformPeaks::kLevels> counts{};
  for (quint64& c : counts) s >> c;
  if (s.status() != QDataStream::Ok || std::memcmp(magic, kMagic, sizeof magic) != 0 || version != kVersion ||
      rate != WaveformPeaks::kSampleRate || size != id.size || mtime != id.mtimeNs || hash != id.edgeHash)
    return false;
  // The counts must be exactly what the rest of the file holds, and the coarse levels exactly what
  // the finest one gives.
  quint64 total = 0;
  for (int l = 0; l < WaveformPeaks::kLevels; ++l) {
    if (counts[l] > static_cast<quint64>(bytes.size())) return false;
    total += counts[l];
    if (l > 0) {
      const quint64 ratio = WaveformPeaks::kSpanSamples[l] / WaveformPeaks::kSpanSamples[l - 1];
      if (counts[l] != (counts[l - 1] + ratio - 1) / ratio) return false;
    }
  }
  if (static_cast<quint64>(bytes.size()) != headerSize + total * sizeof(PeakPair) + sumSize) return false;
  const QByteArray header = bytes.left(headerSize);
  const QByteArray payload = bytes.mid(headerSize, static_cast<qsizetype>(total * sizeof(PeakPair)));
  if (Checksum(header, payload) != bytes.right(sumSize)) return false;

  WaveformPeaks got;
  qsizetype at = 0;
  for (int l = 0; l < WaveformPeaks::kLevels; ++l) {
    got.levels[l].resize(counts[l]);
    std::memcpy(got.levels[l].data(), payload.constData() + at, counts[l] * sizeof(PeakPair));
    at += static_cast<qsizetype>(counts[l] * sizeof(PeakPair));
  }
  *peaks = std::move(got);
  return true;
}

bool WritePeakCache(const QString& folder, const VideoIdentity& id, const WaveformPeaks& peaks) {
  if (folder.isEmpty() || !id.Valid()) return false;
  if (!QDir().mkpath(folder)) return false;
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  const QByteArray header = Header(id, peaks);
  const QByteArray payload = Payload(peaks);
  QSaveFile f(PeakCachePath(folder, id));
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(header);
  f.write(payload);
  f.write(Checksum(header, payload));
  if (!f.commit()) return false;
  // The oldest files beyond the kept number go.
  QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.peaks")}, QDir::Files, QDir::Time);
  for (qsizetype i = kKeptPeakFiles; i < files.size(); ++i) QFile::remove(files.at(i).absoluteFilePath());
  return true;
}

}  // namespace kemo
