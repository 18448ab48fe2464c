#include "timing/check.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <future>
#include <optional>
#include <string>
#include <unordered_map>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "document/content_xml.h"
#include "document/data_files.h"
#include "document/editor.h"
#include "document/tables.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "document/time_text.h"

namespace kemo {

namespace {

long long Ms(double t) { return RoundToWholeMilliseconds(t); }

// "2.5" for 2.5 s: as few decimals as the value needs, at most three.
QString SecondsText(double s) {
  QString text = QString::number(s, 'f', 3);
  while (text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}

struct Collector {
  std::vector<Problem>& out;
  TimingTable table;
  void Add(ProblemKind kind, int slot, double time, const QString& detail) {
    out.push_back(Problem{kind, table, slot + 1, time, detail});
  }
};

// A fraction of the picture: a number in 0..1.
bool InPicture(const QString& text) {
  bool ok = false;
  const double v = ReadNumber(text, &ok);
  return ok && v >= 0.0 && v <= 1.0;
}

// The times shared by both tables: order, 1 ms, below 0, past the end, and the row limit last.
template <class Rec, class TimeOf>
void CheckTimes(Collector& c, const SlotTable<Rec>& rows, int count, double videoLength, TimeOf timeOf,
                const std::function<void(int)>& between) {
  for (int i = 0; i < count; ++i) {
    const double t = timeOf(rows[i]);
    if (t < 0) c.Add(ProblemKind::BeforeStart, i, t, QStringLiteral("時間が0秒より前です"));
    if (videoLength > 0 && Ms(t) > Ms(videoLength))
      c.Add(ProblemKind::PastEnd, i, t,
            QStringLiteral("時間が動画の終わり（") + FormatTimeText(videoLength) + QStringLiteral("）より後です"));
    if (i == 0) continue;
    const double before = timeOf(rows[i - 1]);
    const long long gap = Ms(t) - Ms(before);
    if (gap < 0)
      c.Add(ProblemKind::OutOfOrder, i, t,
            QStringLiteral("時間が前の行（") + FormatTimeText(before) + QStringLiteral("）より前です"));
    else if (gap < 1)
      c.Add(ProblemKind::SameTime, i, t, QStringLiteral("前の行と同じ時間です"));
    else
      between(i);
  }
}

}  // namespace

std::vector<Problem> CheckTiming(const CheckTables& tables, const PictureStates& pictures, double videoLength,
                                 const CheckOptions& options) {
  std::vector<Problem> out;
  const int sldCnt = std::clamp(tables.slides ? tables.slideCount : 0, 0, MaxRecords);
  const int curCnt = std::clamp(tables.points ? tables.pointCount : 0, 0, MaxRecords);
  const long long shortMs = std::llround(options.shortSlide * 1000);
  const long long gapMs = std::llround(options.pointGap * 1000);

  Collector slides{out, TimingTable::Slides};
  const SlideArray& s = sldCnt > 0 ? *tables.slides : SlideArray::Empty();
  for (int i = 0; i < sldCnt; ++i) {
    const QString& image = s[i].image;
    if (!image.isEmpty()) {
      const PictureState state = pictures.value(image, PictureState::Missing);
      if (state == PictureState::Missing)
        slides.Add(ProblemKind::MissingPicture, i, s[i].pos, QStringLiteral("画像「") + image + QStringLiteral("」がありません"));
      else if (state == PictureState::Unreadable)
        slides.Add(ProblemKind::BadPicture, i, s[i].pos, QStringLiteral("画像「") + image + QStringLiteral("」を読み込めません"));
    }
    if (i > 0 && !image.isEmpty() && image == s[i - 1].image)
      slides.Add(ProblemKind::SamePicture, i, s[i].pos, QStringLiteral("前のスライドと同じ画像「") + image + QStringLiteral("」です"));
  }
  CheckTimes(slides, s, sldCnt, videoLength, [](const SlideRecord& r) { return r.pos; }, [&](int i) {
    const long long shown = Ms(s[i].pos) - Ms(s[i - 1].pos);
    if (shown < shortMs)
      slides.Add(ProblemKind::ShortSlide, i - 1, s[i - 1].pos,
                 QStringLiteral("表示が") + SecondsText(shown / 1000.0) + QStringLiteral("秒しかありません"));
  });
  // The last slide is shown until the end of the video.
  if (sldCnt > 0 && videoLength > 0) {
    const long long shown = Ms(videoLength) - Ms(s[sldCnt - 1].pos);
    if (shown >= 0 && shown < shortMs)
      slides.Add(ProblemKind::ShortSlide, sldCnt - 1, s[sldCnt - 1].pos,
                 QStringLiteral("表示が") + SecondsText(shown / 1000.0) + QStringLiteral("秒しかありません"));
  }
  // Each table in row order, whichever rule found the problem.
  std::stable_sort(out.begin(), out.end(), [](const Problem& a, const Problem& b) { return a.row < b.row; });
  if (sldCnt >= MaxRecords)
    slides.Add(ProblemKind::RowLimit, sldCnt - 1, s[sldCnt - 1].pos,
               QStringLiteral("スライドが上限の") + QString::number(MaxRecords) + QStringLiteral("行に達しています"));

  const size_t pointsFrom = out.size();
  Collector points{out, TimingTable::Points};
  const PointArray& p = curCnt > 0 ? *tables.points : PointArray::Empty();
  for (int i = 0; i < curCnt; ++i)
    if (!InPicture(p[i].x) || !InPicture(p[i].y))
      points.Add(ProblemKind::OutsidePicture, i, p[i].t,
                 QStringLiteral("位置（X ") + p[i].x + QStringLiteral("、Y ") + p[i].y + QStringLiteral("）が画像の外です"));
  CheckTimes(points, p, curCnt, videoLength, [](const PointRecord& r) { return r.t; }, [&](int i) {
    const long long gap = Ms(p[i].t) - Ms(p[i - 1].t);
    if (gap > gapMs)
      points.Add(ProblemKind::PointGap, i - 1, p[i - 1].t,
                 QStringLiteral("次の点まで") + SecondsText(gap / 1000.0) + QStringLiteral("秒空いています"));
  });
  std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(pointsFrom), out.end(),
                   [](const Problem& a, const Problem& b) { return a.row < b.row; });
  if (curCnt >= MaxRecords)
    points.Add(ProblemKind::RowLimit, curCnt - 1, p[curCnt - 1].t,
               QStringLiteral("マウスポイントが上限の") + QString::number(MaxRecords) + QStringLiteral("行に達しています"));
  return out;
}

namespace {

// What one look at a name in the folder found: its status (0 or an errno) and what it is.
struct NameLook {
  int error = 0;
  struct stat st {};
};

// Every entry of the folder looked at once, on a thread of its own, while content.xml is read: the
// check then finds each picture's state without a second look. A folder with far more entries than
// a lecture has pictures is not listed (the pictures are then looked at one by one).
class FolderLooks {
 public:
  explicit FolderLooks(const QString& folder)
      : worker_(std::async(std::launch::async, [path = QFile::encodeName(folder)] { return List(path); })) {}
  const std::unordered_map<std::string, NameLook>* Get() {
    if (!taken_) {
      looks_ = worker_.get();
      taken_ = true;
    }
    return looks_ ? &*looks_ : nullptr;
  }

 private:
  static std::optional<std::unordered_map<std::string, NameLook>> List(const QByteArray& path) {
    const int dir = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return std::nullopt;
    const int listing = ::dup(dir);
    DIR* d = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!d) {
      if (listing >= 0) ::close(listing);
      ::close(dir);
      return std::nullopt;
    }
    std::unordered_map<std::string, NameLook> looks;
    bool complete = true;
    while (const dirent* e = ::readdir(d)) {
      if (looks.size() > 4 * static_cast<size_t>(MaxRecords)) {
        complete = false;
        break;
      }
      NameLook look;
      if (::fstatat(dir, e->d_name, &look.st, AT_SYMLINK_NOFOLLOW) != 0) look.error = errno;
      looks.emplace(e->d_name, look);
    }
    ::closedir(d);
    ::close(dir);
    if (!complete) return std::nullopt;
    return looks;
  }

  std::future<std::optional<std::unordered_map<std::string, NameLook>>> worker_;
  std::optional<std::unordered_map<std::string, NameLook>> looks_;
  bool taken_ = false;
};

PictureStates PictureStatesOf(const QString& folder, const SlideArray* slides, int slideCount,
                              const std::unordered_map<std::string, NameLook>* listed) {
  PictureStates states;
  const QByteArray base = QFile::encodeName(folder);
  const int dir = ::open(base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const uid_t user = ::geteuid();
  const gid_t group = ::getegid();
  for (int i = 0; slides != nullptr && i < slideCount; ++i) {
    const QString& name = (*slides)[i].image;
    if (name.isEmpty() || states.contains(name)) continue;
    PictureState state = PictureState::Unreadable;
    if (dir >= 0 && IsPlainFileName(name)) {
      // One look at the name itself; only a link is followed through the data-file checks.
      const QByteArray encoded = QFile::encodeName(name);
      NameLook look;
      if (listed) {
        const auto it = listed->find(std::string(encoded.constData(), encoded.size()));
        if (it == listed->end())
          look.error = ENOENT;
        else
          look = it->second;
      } else if (::fstatat(dir, encoded.constData(), &look.st, AT_SYMLINK_NOFOLLOW) != 0) {
        look.error = errno;
      }
      struct stat& st = look.st;
      if (look.error != 0) {
        state = PictureState::Missing;
      } else if (S_ISLNK(st.st_mode)) {
        const QString path = JoinPath(folder, name);
        const QByteArray native = QFile::encodeName(path);
        if (::stat(native.constData(), &st) != 0)
          state = PictureState::Missing;
        else if (CheckDataFile(path, folder) == Refusal::None && S_ISREG(st.st_mode) && st.st_size > 0 &&
                 ::access(native.constData(), R_OK) == 0)
          state = PictureState::Present;
      } else if (S_ISREG(st.st_mode) && st.st_size > 0) {
        const mode_t read = user == 0 ? S_IRUSR | S_IRGRP | S_IROTH
                            : st.st_uid == user ? S_IRUSR
                            : st.st_gid == group ? S_IRGRP
                                                 : S_IROTH;
        if (st.st_mode & read) state = PictureState::Present;
      }
    }
    states.insert(name, state);
  }
  if (dir >= 0) ::close(dir);
  return states;
}

}  // namespace

PictureStates ReadPictureStates(const QString& folder, const SlideArray* slides, int slideCount) {
  return PictureStatesOf(folder, slides, slideCount, nullptr);
}

namespace {

// AVI: the longest stream its headers describe (start + length of each stream header), else the
// main header's frame count times its frame time.
double AviLength(const QByteArray& h) {
  const auto u32 = [&](qsizetype at) -> quint32 {
    return at + 4 <= h.size() ? qFromLittleEndian<quint32>(h.constData() + at) : 0;
  };
  double longest = -1, main = -1;
  qsizetype at = 12;
  while (at + 8 <= h.size()) {
    const QByteArray id = h.mid(at, 4);
    const quint32 size = u32(at + 4);
    if (id == "LIST") {
      if (h.mid(at + 8, 4) == "movi") break;
      at += 12;  // into the list
      continue;
    }
    if (id == "avih" && at + 8 + 20 <= h.size()) {
      const double frameUs = u32(at + 8);
      main = frameUs * u32(at + 8 + 16) / 1e6;
    } else if (id == "strh" && at + 8 + 36 <= h.size()) {
      const double scale = u32(at + 8 + 20), rate = u32(at + 8 + 24);
      const double start = u32(at + 8 + 28), length = u32(at + 8 + 32);
      if (rate > 0) longest = std::max(longest, (start + length) * scale / rate);
    }
    at += 8 + size + (size & 1);
  }
  return longest > 0 ? longest : main > 0 ? main : -1;
}

// FLV: the "duration" of its onMetaData, else the time stamp of its last tag.
double FlvLength(const QByteArray& head, const QString& path, const QString& folder) {
  static const QByteArray key("\x00\x08" "duration\x00", 11);
  const qsizetype at = head.indexOf(key);
  if (at >= 0 && at + key.size() + 8 <= head.size()) {
    const quint64 bits = qFromBigEndian<quint64>(head.constData() + at + key.size());
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d) && d > 0) return d;
  }
  int fd = -1;
  if (!OpenDataFile(path, folder, &fd).ok()) return -1;
  double length = -1;
  struct stat st {};
  unsigned char tail[4], tag[8];
  if (::fstat(fd, &st) == 0 && st.st_size > 13 + 4 && ::pread(fd, tail, 4, st.st_size - 4) == 4) {
    const qint64 last = qFromBigEndian<quint32>(tail);
    const qint64 tagAt = st.st_size - 4 - last;
    if (last >= 11 && tagAt >= 13 && ::pread(fd, tag, 8, tagAt) == 8) {
      const quint32 ms = (quint32(tag[7]) << 24) | (quint32(tag[4]) << 16) | (quint32(tag[5]) << 8) | tag[6];
      length = ms / 1000.0;
    }
  }
  ::close(fd);
  return length > 0 ? length : -1;
}

// The check's own message seam: the loader's reason is kept, never shown.
class KeptMessages : public MessageBoxes {
 public:
  MsgResult Show(const QString& text, MsgButtons, MsgIcon) override {
    if (!text.isEmpty()) texts << QString(text).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return MsgResult::No;
  }
  QStringList texts;
};

}  // namespace

double ReadVideoLength(const QString& folder) {
  for (const auto& [name, kind] : {std::pair{QStringLiteral("Video.avi"), VideoKind::Avi},
                                   std::pair{QStringLiteral("Video.flv"), VideoKind::Flv}}) {
    const QString path = JoinPath(folder, name);
    if (!QFileInfo::exists(path)) continue;
    QByteArray head;
    if (!ReadDataFileHead(path, folder, 16 * 1024, &head).ok()) return -1;
    if (kind == VideoKind::Avi)
      return head.startsWith("RIFF") && head.mid(8, 4) == "AVI " ? AviLength(head) : -1;
    return head.startsWith("FLV\x01") ? FlvLength(head, path, folder) : -1;
  }
  return -1;
}

FolderCheck CheckFolder(const QString& folder, const CheckOptions& options) {
  FolderCheck result;
  KeptMessages messages;
  auto ed = std::make_unique<Editor>();
  ed->svc.messages = &messages;
  ed->DataFolder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  if (!QFileInfo(ed->DataFolder).isDir()) {
    result.reason = ShowPath(ed->DataFolder) + QStringLiteral("はフォルダではありません。");
    return result;
  }
  if (!QFileInfo(ed->ContentPath()).isFile()) {
    result.reason = ShowPath(ed->ContentPath()) + QStringLiteral("が見つかりません。");
    return result;
  }
  // The folder's entries are looked at while content.xml is read.
  FolderLooks looks(ed->DataFolder);
  ClearAllTables(*ed);
  // Rows past the limit are left out as opening the folder leaves them out, with a word said.
  if (ReadContentXml(*ed) != LoadResult::Loaded) {
    result.reason = messages.texts.isEmpty() ? ShowPath(ed->ContentPath()) + QStringLiteral("を読み込めません。")
                                             : messages.texts.join(QLatin1Char(' '));
    return result;
  }
  BuildRecords(*ed);
  result.readable = true;
  result.notes = messages.texts;
  result.videoLength = ReadVideoLength(ed->DataFolder);
  const CheckTables tables{&ed->Sld, ed->SldCnt, &ed->Cur, ed->CurCnt};
  result.problems = CheckTiming(tables, PictureStatesOf(ed->DataFolder, &ed->Sld, ed->SldCnt, looks.Get()),
                                result.videoLength, options);
  return result;
}

QString TableKey(TimingTable table) {
  return table == TimingTable::Slides ? QStringLiteral("slides") : QStringLiteral("points");
}

QString KindKey(ProblemKind kind) {
  switch (kind) {
    case ProblemKind::OutOfOrder: return QStringLiteral("out_of_order");
    case ProblemKind::SameTime: return QStringLiteral("same_time");
    case ProblemKind::SamePicture: return QStringLiteral("same_picture");
    case ProblemKind::ShortSlide: return QStringLiteral("short_slide");
    case ProblemKind::BeforeStart: return QStringLiteral("before_start");
    case ProblemKind::PastEnd: return QStringLiteral("past_end");
    case ProblemKind::OutsidePicture: return QStringLiteral("outside_picture");
    case ProblemKind::PointGap: return QStringLiteral("point_gap");
    case ProblemKind::MissingPicture: return QStringLiteral("missing_picture");
    case ProblemKind::BadPicture: return QStringLiteral("unreadable_picture");
    case ProblemKind::RowLimit: return QStringLiteral("row_limit");
  }
  return {};
}

QString ProblemLine(const Problem& p) {
  return (p.table == TimingTable::Slides ? QStringLiteral("スライド ") : QStringLiteral("マウスポイント ")) +
         QString::number(p.row) + QStringLiteral("（") + FormatTimeText(p.time) + QStringLiteral("）：") + p.detail;
}

}  // namespace kemo
