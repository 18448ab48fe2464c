#include "document/table_delta.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "document/time_text.h"

namespace kemo {

namespace {

// The fields of the two record types, seen alike: an id, a number (time or position) and texts.
template <class Rec>
struct Fields;

template <>
struct Fields<PointRecord> {
  static constexpr int kTexts = 4;
  static double& Num(PointRecord& r) { return r.t; }
  static double Num(const PointRecord& r) { return r.t; }
  static QString& Text(PointRecord& r, int k) {
    switch (k) {
      case 0: return r.timeText;
      case 1: return r.x;
      case 2: return r.y;
      default: return r.mark;
    }
  }
  static const QString& Text(const PointRecord& r, int k) { return Text(const_cast<PointRecord&>(r), k); }
};

template <>
struct Fields<SlideRecord> {
  static constexpr int kTexts = 3;
  static double& Num(SlideRecord& r) { return r.pos; }
  static double Num(const SlideRecord& r) { return r.pos; }
  static QString& Text(SlideRecord& r, int k) {
    switch (k) {
      case 0: return r.timeText;
      case 1: return r.caption;
      default: return r.image;
    }
  }
  static const QString& Text(const SlideRecord& r, int k) { return Text(const_cast<SlideRecord&>(r), k); }
};

bool SameNumber(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <class Rec>
bool SameExceptId(const Rec& a, const Rec& b) {
  using F = Fields<Rec>;
  if (!SameNumber(F::Num(a), F::Num(b))) return false;
  for (int k = 0; k < F::kTexts; ++k)
    if (F::Text(a, k) != F::Text(b, k)) return false;
  return true;
}

template <class Rec>
bool Same(const Rec& a, const Rec& b) {
  return a.id == b.id && SameExceptId(a, b);
}

template <class Rec>
bool IsBlank(const Rec& r) {
  using F = Fields<Rec>;
  if (r.id != 0 || !SameNumber(F::Num(r), 0.0)) return false;
  for (int k = 0; k < F::kTexts; ++k)
    if (!F::Text(r, k).isEmpty()) return false;
  return true;
}

template <class Rec>
int Used(const SlotTable<Rec>& t) {
  int n = t.Extent();
  while (n > 0 && IsBlank(t[n - 1])) --n;
  return n;
}

// --- the byte form ---

void PutInt(QByteArray& out, int32_t v) {
  char b[4];
  std::memcpy(b, &v, 4);
  out.append(b, 4);
}

void PutVarint(QByteArray& out, uint32_t v) {
  while (v >= 0x80) {
    out.append(static_cast<char>((v & 0x7f) | 0x80));
    v >>= 7;
  }
  out.append(static_cast<char>(v));
}

struct Reader {
  const char* p;
  const char* end;
  bool ok = true;
  bool Need(qsizetype n) {
    if (!ok || end - p < n) ok = false;
    return ok;
  }
  uint8_t Byte() {
    if (!Need(1)) return 0;
    return static_cast<uint8_t>(*p++);
  }
  int32_t Int() {
    if (!Need(4)) return 0;
    int32_t v;
    std::memcpy(&v, p, 4);
    p += 4;
    return v;
  }
  double Double() {
    if (!Need(8)) return 0;
    double v;
    std::memcpy(&v, p, 8);
    p += 8;
    return v;
  }
  uint32_t Varint() {
    uint32_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      const uint8_t b = Byte();
      if (!ok) return 0;
      v |= static_cast<uint32_t>(b & 0x7f) << shift;
      if (!(b & 0x80)) return v;
    }
    ok = false;
    return 0;
  }
};

// Record flags.
constexpr uint8_t kIdOfSlot = 1;      // id = slot + 1
constexpr uint8_t kIdAsOther = 2;     // id of the replaced record
constexpr uint8_t kNumAsOther = 4;    // number of the replaced record
constexpr uint8_t kNumMillis = 8;     // number as whole milliseconds (int32)
// Text codes, two bits a text.
constexpr int kTextAsOther = 0;   // the replaced record's
constexpr int kTextAsPrev = 1;    // the previous record's in this splice
constexpr int kTextLiteral = 2;
constexpr int kTextImplied = 3;   // text 0: the time text of the number; others: empty

// Above this size the records are compressed: full-size steps stay small in the history.
constexpr qsizetype kCompressAbove = 4096;

// Records from a slot on, read as a run from 0.
template <class Rec>
struct From {
  const SlotTable<Rec>& table;
  int first;
  const Rec& operator[](int k) const { return table[first + k]; }
};

template <class Rec, class Recs, class Others>
QByteArray Pack(const Recs& recs, int n, const Others& other, int otherCount, int firstSlot) {
  using F = Fields<Rec>;
  QByteArray out;
  out.reserve(n * 4 + 16);
  for (int k = 0; k < n; ++k) {
    const Rec& r = recs[k];
    const Rec* o = k < otherCount ? &other[k] : nullptr;
    const Rec* prev = k > 0 ? &recs[k - 1] : nullptr;
    uint8_t flags = 0;
    if (r.id == firstSlot + k + 1)
      flags |= kIdOfSlot;
    else if (o && r.id == o->id)
      flags |= kIdAsOther;
    const double num = F::Num(r);
    const double ms = std::round(num * 1000.0);
    if (o && SameNumber(num, F::Num(*o)))
      flags |= kNumAsOther;
    else if (std::abs(ms) < 2.0e9 && SameNumber(ms / 1000.0 + 0.0, num))
      flags |= kNumMillis;
    uint8_t codes = 0;
    int code[4] = {};
    for (int t = 0; t < F::kTexts; ++t) {
      const QString& s = F::Text(r, t);
      if (o && s == F::Text(*o, t))
        code[t] = kTextAsOther;
      else if (prev && s == F::Text(*prev, t))
        code[t] = kTextAsPrev;
      else if (t == 0 ? s == FormatTimeText(num) : s.isEmpty())
        code[t] = kTextImplied;
      else
        code[t] = kTextLiteral;
      codes |= static_cast<uint8_t>(code[t] << (2 * t));
    }
    out.append(static_cast<char>(flags));
    out.append(static_cast<char>(codes));
    if (!(flags & (kIdOfSlot | kIdAsOther))) {
      const int16_t id = r.id;
      out.append(reinterpret_cast<const char*>(&id), 2);
    }
    if (!(flags & kNumAsOther)) {
      if (flags & kNumMillis) {
        PutInt(out, static_cast<int32_t>(ms));
      } else {
        out.append(reinterpret_cast<const char*>(&num), 8);
      }
    }
    for (int t = 0; t < F::kTexts; ++t) {
      if (code[t] != kTextLiteral) continue;
      const QByteArray u = F::Text(r, t).toUtf8();
      PutVarint(out, static_cast<uint32_t>(u.size()));
      out.append(u);
    }
  }
  return out;
}

template <class Rec, class Others>
bool Unpack(const QByteArray& bytes, int n, const Others& other, int otherCount, int firstSlot, std::vector<Rec>& out) {
  using F = Fields<Rec>;
  out.clear();
  out.resize(static_cast<size_t>(n));
  Reader in{bytes.constData(), bytes.constData() + bytes.size()};
  for (int k = 0; k < n && in.ok; ++k) {
    Rec& r = out[static_cast<size_t>(k)];
    const Rec* o = k < otherCount ? &other[k] : nullptr;
    const uint8_t flags = in.Byte();
    const uint8_t codes = in.Byte();
    if (!in.ok) return false;
    if (flags & kIdOfSlot) {
      r.id = static_cast<int16_t>(firstSlot + k + 1);
    } else if (flags & kIdAsOther) {
      if (!o) return false;
      r.id = o->id;
    } else {
      if (!in.Need(2)) return false;
      int16_t id;
      std::memcpy(&id, in.p, 2);
      in.p += 2;
      r.id = id;
    }
    if (flags & kNumAsOther) {
      if (!o) return false;
      F::Num(r) = F::Num(*o);
    } else if (flags & kNumMillis) {
      F::Num(r) = static_cast<double>(in.Int()) / 1000.0 + 0.0;
    } else {
      F::Num(r) = in.Double();
    }
    for (int t = 0; t < F::kTexts && in.ok; ++t) {
      QString& s = F::Text(r, t);
      switch ((codes >> (2 * t)) & 3) {
        case kTextAsOther:
          if (!o) return false;
          s = F::Text(*o, t);
          break;
        case kTextAsPrev:
          if (k == 0) return false;
          s = F::Text(out[static_cast<size_t>(k - 1)], t);
          break;
        case kTextImplied:
          if (t == 0) s = FormatTimeText(F::Num(r));
          break;
        default: {
          const uint32_t len = in.Varint();
          if (!in.Need(static_cast<qsizetype>(len))) return false;
          s = QString::fromUtf8(in.p, static_cast<qsizetype>(len));
          in.p += len;
        }
      }
    }
  }
  return in.ok && in.p == in.end;
}

template <class Rec>
TableSplice Diff(const SlotTable<Rec>& a, int ac, const SlotTable<Rec>& b, int bc) {
  const int ua = Used(a), ub = Used(b);
  const int m = std::min(ua, ub);
  int p = 0;
  while (p < m && Same(a[p], b[p])) ++p;
  const int delta = ub - ua;
  int s = 0;
  while (s < m - p) {
    const Rec& x = a[ua - 1 - s];
    const Rec& y = b[ub - 1 - s];
    if (y.id != x.id + delta || !SameExceptId(x, y)) break;
    ++s;
  }
  TableSplice sp;
  sp.first = p;
  sp.removed = ua - s - p;
  sp.inserted = ub - s - p;
  sp.countBefore = ac;
  sp.countAfter = bc;
  if (sp.inserted > 0) {
    sp.records = Pack<Rec>(From<Rec>{b, p}, sp.inserted, From<Rec>{a, p}, sp.removed, p);
    if (sp.records.size() > kCompressAbove) {
      sp.records = qCompress(sp.records, 1);
      sp.packed = true;
    }
  }
  return sp;
}

template <class Rec>
bool Apply(SlotTable<Rec>& table, int16_t& count, const TableSplice& s, TableSplice* inverse) {
  const int u = Used(table);
  const int delta = s.inserted - s.removed;
  if (s.first < 0 || s.removed < 0 || s.inserted < 0 || s.first + s.removed > u || u + delta > kSlots ||
      s.countAfter < 0 || s.countAfter > MaxRecords || s.countBefore != count)
    return false;
  std::vector<Rec> ins;
  if (s.inserted > 0) {
    const QByteArray raw = s.packed ? qUncompress(s.records) : s.records;
    if (!Unpack(raw, s.inserted, From<Rec>{table, s.first}, s.removed, s.first, ins)) return false;
  } else if (!s.records.isEmpty()) {
    return false;
  }
  if (inverse) {
    TableSplice& v = *inverse;
    v = TableSplice{};
    v.first = s.first;
    v.removed = s.inserted;
    v.inserted = s.removed;
    v.countBefore = s.countAfter;
    v.countAfter = count;
    if (s.removed > 0) {
      v.records = Pack<Rec>(From<Rec>{table, s.first}, s.removed, ins.data(), s.inserted, s.first);
      if (v.records.size() > kCompressAbove) {
        v.records = qCompress(v.records, 1);
        v.packed = true;
      }
    }
  }
  const int from = s.first + s.removed, to = s.first + s.inserted, n = u - from;
  if (delta > 0) {
    for (int i = n - 1; i >= 0; --i) {
      table[to + i] = std::move(table[from + i]);
      table[to + i].id = static_cast<int16_t>(table[to + i].id + delta);
    }
  } else if (delta < 0) {
    for (int i = 0; i < n; ++i) {
      table[to + i] = std::move(table[from + i]);
      table[to + i].id = static_cast<int16_t>(table[to + i].id + delta);
    }
    for (int i = u + delta; i < u; ++i) table[i] = Rec{};
  }
  for (int k = 0; k < s.inserted; ++k) table[s.first + k] = std::move(ins[static_cast<size_t>(k)]);
  count = static_cast<int16_t>(s.countAfter);
  return true;
}

}  // namespace

void TableSplice::WriteTo(QByteArray& out) const {
  PutInt(out, first);
  PutInt(out, removed);
  PutInt(out, inserted);
  PutInt(out, countBefore);
  PutInt(out, countAfter);
  out.append(static_cast<char>(packed ? 1 : 0));
  PutInt(out, static_cast<int32_t>(records.size()));
  out.append(records);
}

bool TableSplice::ReadFrom(const char*& p, const char* end) {
  Reader in{p, end};
  first = in.Int();
  removed = in.Int();
  inserted = in.Int();
  countBefore = in.Int();
  countAfter = in.Int();
  packed = in.Byte() != 0;
  const int32_t size = in.Int();
  if (!in.ok || size < 0 || !in.Need(size)) return false;
  records = QByteArray(in.p, size);
  p = in.p + size;
  return true;
}

TableSplice DiffTables(const SlideArray& from, int fromCount, const SlideArray& to, int toCount) {
  return Diff(from, fromCount, to, toCount);
}
TableSplice DiffTables(const PointArray& from, int fromCount, const PointArray& to, int toCount) {
  return Diff(from, fromCount, to, toCount);
}
bool ApplySplice(SlideArray& table, int16_t& count, const TableSplice& s, TableSplice* inverse) {
  return Apply(table, count, s, inverse);
}
bool ApplySplice(PointArray& table, int16_t& count, const TableSplice& s, TableSplice* inverse) {
  return Apply(table, count, s, inverse);
}
int UsedSlots(const SlideArray& table) { return Used(table); }
int UsedSlots(const PointArray& table) { return Used(table); }

}  // namespace kemo
