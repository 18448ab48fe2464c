#include "document/journal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

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
  const QString canonical = QFileInfo(dataFolder).canonicalFilePath();
  const QString key = canonical.isEmpty() ? QDir::cleanPath(QDir(dataFolder).absolutePath()) : canonical;
  const QByteArray name = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
  return RecoveryFolder() + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".journal");
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
  while (end - p >= 9) {
    uint32_t len = 0;
    std::memcpy(&len, p, 4);
    if (len < 1 || static_cast<qint64>(len) + 8 > end - p) break;  // a record cut short: the end
    const char* body = p + 4;
    uint32_t check = 0;
    std::memcpy(&check, body + len, 4);
    if (check != Fnv1a(body, len)) break;
    const char kind = body[0];
    Cursor c{body + 1, body + len};
    p = body + len + 4;
    if (!haveHeader) {
      JournalHeader h;
      if (kind != kHeader || !ReadHeaderBody(c, &h)) return false;
      if (header) *header = h;
      if (work) work->header = h;
      haveHeader = true;
      if (!work) return true;
      continue;
    }
    bool ok = false;
    if (kind == kDocument) {
      TableSplice s, q;
      ok = s.ReadFrom(c.p, c.end) && q.ReadFrom(c.p, c.end) && c.p == c.end &&
           (s.Empty() || ApplySplice(work->sld, work->sldCnt, s, nullptr)) &&
           (q.Empty() || ApplySplice(work->cur, work->curCnt, q, nullptr));
    } else if (kind == kRecorded) {
      TableSplice r;
      ok = r.ReadFrom(c.p, c.end) && c.p == c.end && (r.Empty() || ApplySplice(work->rec, work->recCnt, r, nullptr));
    }
    if (!ok) {
      work->damaged = true;
      return true;
    }
    ++work->changes;
  }
  if (work && p != end) work->damaged = true;
  return haveHeader;
}

bool Journal::Begin(const JournalHeader& header, const SlideArray& sld, int sldCnt, const PointArray& cur,
                    int curCnt, const PointArray& rec, int recCnt) {
  const QString path = JournalPathFor(header.folder);
  QDir().mkpath(QFileInfo(path).path());
  QFile::setPermissions(RecoveryFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (!file_.Open(path, true)) return false;
  QByteArray all = Frame(kHeader, HeaderBody(header));
  // The tables the changes start from, as changes of empty tables.
  QByteArray doc, run;
  DiffTables(BlankSlides(), 0, sld, sldCnt).WriteTo(doc);
  DiffTables(BlankPoints(), 0, cur, curCnt).WriteTo(doc);
  DiffTables(BlankPoints(), 0, rec, recCnt).WriteTo(run);
  all += Frame(kDocument, doc);
  all += Frame(kRecorded, run);
  if (!file_.Append(all)) {
    file_.Remove();
    return false;
  }
  return true;
}

void Journal::AppendDocument(const TableSplice& slides, const TableSplice& points) {
  if (!file_.IsOpen() || (slides.Empty() && points.Empty())) return;
  QByteArray body;
  body.reserve(slides.records.size() + points.records.size() + 64);
  slides.WriteTo(body);
  points.WriteTo(body);
  file_.Append(Frame(kDocument, body));
}

void Journal::AppendRecorded(const TableSplice& run) {
  if (!file_.IsOpen() || run.Empty()) return;
  QByteArray body;
  body.reserve(run.records.size() + 32);
  run.WriteTo(body);
  file_.Append(Frame(kRecorded, body));
}

}  // namespace kemo
