#include "document/journal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace kemo {

namespace {

// The hash that tells one content.xml from another: a guard against another program's change, not
// against forgery, and it runs on every open and save (SHA-1 is several times faster than SHA-256
// here).
constexpr QCryptographicHash::Algorithm kContentHash = QCryptographicHash::Sha1;

constexpr char kHeader = 'H';
constexpr char kDocument = 'D';  // a splice of the slides and one of the points
constexpr char kRecorded = 'R';  // a splice of the recorded run
constexpr int32_t kVersion = 1;
// A journal larger than this is not one of ours.
constexpr qint64 kMaxJournalBytes = qint64(1) << 30;
constexpr qint64 kMaxHeaderBytes = 64 * 1024;

uint32_t Fnv1a(const char* p, qsizetype n) {
  uint32_t h = 2166136261u;
  for (qsizetype i = 0; i < n; ++i) {
    h ^= static_cast<uint8_t>(p[i]);
    h *= 16777619u;
  }
  return h;
}

void Put32(QByteArray& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }
void Put64(QByteArray& out, qint64 v) { out.append(reinterpret_cast<const char*>(&v), 8); }
void PutBytes(QByteArray& out, const QByteArray& b) {
  Put32(out, static_cast<uint32_t>(b.size()));
  out.append(b);
}

// One record: its length, its kind and body, and a check of both.
QByteArray Frame(char kind, const QByteArray& body) {
  QByteArray out;
  out.reserve(body.size() + 9);
  Put32(out, static_cast<uint32_t>(body.size() + 1));
  out.append(kind);
  out.append(body);
  Put32(out, Fnv1a(out.constData() + 4, body.size() + 1));
  return out;
}

struct Cursor {
  const char* p;
  const char* end;
  bool Take(void* dst, qsizetype n) {
    if (end - p < n) return false;
    std::memcpy(dst, p, static_cast<size_t>(n));
    p += n;
    return true;
  }
  bool Bytes(QByteArray* b) {
    uint32_t n = 0;
    if (!Take(&n, 4) || end - p < static_cast<qsizetype>(n)) return false;
    *b = QByteArray(p, n);
    p += n;
    return true;
  }
};

QByteArray HeaderBody(const JournalHeader& h) {
  QByteArray b;
  Put32(b, kVersion);
  PutBytes(b, h.folder.toUtf8());
  Put64(b, h.content.size);
  Put64(b, h.content.modifiedMs);
  PutBytes(b, h.content.hash);
  Put64(b, h.beganMs);
  return b;
}

bool ReadHeaderBody(Cursor c, JournalHeader* h) {
  int32_t version = 0;
  QByteArray folder;
  if (!c.Take(&version, 4) || version != kVersion || !c.Bytes(&folder)) return false;
  h->folder = QString::fromUtf8(folder);
  return c.Take(&h->content.size, 8) && c.Take(&h->content.modifiedMs, 8) && c.Bytes(&h->content.hash) &&
         c.Take(&h->beganMs, 8);
}

const SlideArray& BlankSlides() {
  static const auto* blank = new SlideArray{};
  return *blank;
}
const PointArray& BlankPoints() {
  static const auto* blank = new PointArray{};
  return *blank;
}

const QString kJournalSuffix = QStringLiteral(".journal");

// Why a journal could not be written, for the user.
QString ReasonOf(int error) {
  switch (error) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return QStringLiteral("ディスクの空き容量が足りません");
    case EACCES:
    case EPERM: return QStringLiteral("書き込みが許可されていません");
    case EROFS: return QStringLiteral("読み取り専用です");
    case ENOTDIR:
    case EEXIST: return QStringLiteral("フォルダの場所に同じ名前のファイルがあります");
    default: return QString::fromLocal8Bit(std::strerror(error));
  }
}

QString JournalKey(const QString& dataFolder) {
  const QString canonical = QFileInfo(dataFolder).canonicalFilePath();
  const QString key = canonical.isEmpty() ? QDir::cleanPath(QDir(dataFolder).absolutePath()) : canonical;
  return QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(24));
}

}  // namespace

FileIdentity IdentifyFile(const QString& path) {
  FileIdentity id;
  QFileInfo info(path);
  if (!info.isFile()) return id;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return id;
  QCryptographicHash hash(kContentHash);
  if (!hash.addData(&f)) return id;
  id.size = info.size();
  id.modifiedMs = info.lastModified().toMSecsSinceEpoch();
  id.hash = hash.result();
  id.path = path;
  return id;
}

FileIdentity IdentifyBytes(const QString& path, const QByteArray& bytes) {
  FileIdentity id;
  const QFileInfo info(path);
  id.size = bytes.size();
  id.modifiedMs = info.lastModified().toMSecsSinceEpoch();
  id.hash = QCryptographicHash::hash(bytes, kContentHash);
  id.path = path;
  return id;
}

QString RecoveryFolder() {
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (state.isEmpty() || !QDir::isAbsolutePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
  return state + QStringLiteral("/kemo-editor/recovery");
}

QString JournalPathFor(const QString& dataFolder) {
  return RecoveryFolder() + QLatin1Char('/') + JournalKey(dataFolder) + kJournalSuffix;
}

bool JournalNamedFor(const QString& path, const QString& dataFolder) {
  const QString name = QFileInfo(path).fileName();
  const QString key = JournalKey(dataFolder);
  if (!name.startsWith(key) || !name.endsWith(kJournalSuffix)) return false;
  const qsizetype rest = name.size() - key.size() - kJournalSuffix.size();
  return rest == 0 || (rest > 1 && name.at(key.size()) == QLatin1Char('-'));
}

QStringList JournalsFor(const QString& dataFolder) {
  QStringList paths;
  const QString key = JournalKey(dataFolder);
  for (const QFileInfo& f : QDir(RecoveryFolder()).entryInfoList({key + QStringLiteral("*") + kJournalSuffix},
                                                                 QDir::Files, QDir::Time))
    if (JournalNamedFor(f.filePath(), dataFolder)) paths << f.filePath();
  return paths;
}

bool JournalInUse(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

bool ReadJournal(const QString& path, JournalHeader* header, RecoveredWork* work) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxJournalBytes) return false;
  // The header is the first record, and small (a folder's path and a hash): for it alone the start
  // of the file is enough.
  const QByteArray all = work ? f.readAll() : f.read(kMaxHeaderBytes);
  const char* p = all.constData();
  const char* end = p + all.size();
  bool haveHeader = false;
  // A record whose check fails, or that does not fit the tables the records before it gave, is
  // passed over: every other one is applied in order.
  while (end - p >= 9) {
    uint32_t len = 0;
    std::memcpy(&len, p, 4);
    if (len < 1 || static_cast<qint64>(len) + 8 > end - p) break;  // a record cut short: the end
    const char* body = p + 4;
    uint32_t check = 0;
    std::memcpy(&check, body + len, 4);
    p = body + len + 4;
    const bool intact = check == Fnv1a(body, len);
    const char kind = body[0];
    Cursor c{body + 1, body + len};
    if (!haveHeader) {
      JournalHeader h;
      if (!intact || kind != kHeader || !ReadHeaderBody(c, &h)) return false;
      if (header) *header = h;
      if (work) work->header = h;
      haveHeader = true;
      if (!work) return true;
      continue;
    }
    bool ok = false;
    if (!intact) {
    } else if (kind == kDocument) {
      TableSplice s, q, back;
      if (s.ReadFrom(c.p, c.end) && q.ReadFrom(c.p, c.end) && c.p == c.end &&
          (s.Empty() || ApplySplice(work->sld, work->sldCnt, s, &back))) {
        ok = q.Empty() || ApplySplice(work->cur, work->curCnt, q, nullptr);
        // A record is applied whole or not at all.
        if (!ok && !s.Empty()) ApplySplice(work->sld, work->sldCnt, back, nullptr);
      }
    } else if (kind == kRecorded) {
      TableSplice r;
      ok = r.ReadFrom(c.p, c.end) && c.p == c.end && (r.Empty() || ApplySplice(work->rec, work->recCnt, r, nullptr));
    }
    if (ok)
      ++work->changes;
    else
      ++work->unreadable;
  }
  if (work && p != end) ++work->unreadable;
  if (work) work->damaged = work->unreadable > 0;
  return haveHeader;
}

bool Journal::Begin(const JournalHeader& header, const SlideArray& sld, int sldCnt, const PointArray& cur,
                    int curCnt, const PointArray& rec, int recCnt, QString* reason) {
  file_.Remove();
  const QString folder = RecoveryFolder();
  const QString path = JournalPathFor(header.folder);
  auto fail = [&](int error) {
    if (reason) *reason = ReasonOf(error);
    return false;
  };
  if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) return fail(QFileInfo::exists(folder) ? ENOTDIR : EACCES);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QByteArray all = Frame(kHeader, HeaderBody(header));
  // The tables the changes start from, as changes of empty tables.
  QByteArray doc, run;
  DiffTables(BlankSlides(), 0, sld, sldCnt).WriteTo(doc);
  DiffTables(BlankPoints(), 0, cur, curCnt).WriteTo(doc);
  DiffTables(BlankPoints(), 0, rec, recCnt).WriteTo(run);
  all += Frame(kDocument, doc);
  all += Frame(kRecorded, run);
  // Written and locked under a name no editor reads, then linked to the journal's name: a journal is
  // never seen half-written or unlocked by another editor, and a name taken is never replaced.
  const QString stem = path.chopped(kJournalSuffix.size());
  QByteArray part = QFile::encodeName(stem + QStringLiteral("-XXXXXX.part"));
  const int fd = ::mkostemps(part.data(), 5, O_CLOEXEC | O_APPEND);
  if (fd < 0) return fail(errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::unlink(part.constData());
    ::close(fd);
    return fail(error);
  }
  file_.Adopt(fd, QFile::decodeName(part));
  if (!file_.Append(all)) {
    const int error = errno;
    file_.Remove();
    return fail(error);
  }
  const QString partPath = QFile::decodeName(part);
  const QString beside = partPath.chopped(5) + kJournalSuffix;  // "<name>-XXXXXX.journal"
  for (const QString& name : {path, beside}) {
    if (::link(part.constData(), QFile::encodeName(name).constData()) == 0) {
      ::unlink(part.constData());
      file_.Adopt(fd, name);
      return true;
    }
    if (errno != EEXIST) break;
  }
  const int error = errno;
  file_.Remove();
  return fail(error);
}

bool Journal::AppendDocument(const TableSplice& slides, const TableSplice& points, QString* reason) {
  if (!file_.IsOpen() || (slides.Empty() && points.Empty())) return file_.IsOpen();
  QByteArray body;
  body.reserve(slides.records.size() + points.records.size() + 64);
  slides.WriteTo(body);
  points.WriteTo(body);
  if (file_.Append(Frame(kDocument, body))) return true;
  if (reason) *reason = ReasonOf(errno);
  return false;
}

bool Journal::AppendRecorded(const TableSplice& run, QString* reason) {
  if (!file_.IsOpen() || run.Empty()) return file_.IsOpen();
  QByteArray body;
  body.reserve(run.records.size() + 32);
  run.WriteTo(body);
  if (file_.Append(Frame(kRecorded, body))) return true;
  if (reason) *reason = ReasonOf(errno);
  return false;
}

}  // namespace kemo
