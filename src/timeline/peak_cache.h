#pragma once
// The waveform's peaks kept per user between starts, in $XDG_CACHE_HOME/kemo-editor/waveform/,
// one file per video. A video is known by its size, its modification time and a hash of its first
// and last 64 kB: a video replaced, re-encoded or touched gets a new file, and the old one ages out.
// The file holds the identity again and a checksum over everything after the header: a file that
// is cut short, damaged, of another version or of another video is not used (the peaks are made
// again and written over it), and whatever it holds never sizes an allocation beyond what its own
// length allows.
#include <QByteArray>
#include <QString>

#include "timeline/waveform_peaks.h"

namespace kemo {

struct VideoIdentity {
  qint64 size = -1;
  qint64 mtimeNs = 0;
  QByteArray edgeHash;  // SHA-1 of the first and last 64 kB
  bool Valid() const { return size >= 0 && !edgeHash.isEmpty(); }
  // The cache file's name: hex of a hash of the three.
  QString Key() const;
};

// The identity of the open file `fd` (the video, opened through the data-file checks).
VideoIdentity IdentityOfOpenFile(int fd);

// The waveform folder under the user's cache base (UserWorkBase): "" when base is "".
QString PeakCacheFolder(const QString& workBase);

// Reads and checks the cached peaks of `id` from folder into *peaks; false (and *peaks untouched)
// when there is none or it does not check out.
bool ReadPeakCache(const QString& folder, const VideoIdentity& id, WaveformPeaks* peaks);
// Writes them (a new file renamed over the old), then removes the oldest files beyond kKeptFiles.
bool WritePeakCache(const QString& folder, const VideoIdentity& id, const WaveformPeaks& peaks);
QString PeakCachePath(const QString& folder, const VideoIdentity& id);

constexpr int kKeptPeakFiles = 40;

}  // namespace kemo
