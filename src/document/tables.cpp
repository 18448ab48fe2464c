// The working tables: the record arrays' clear and build operations, the record sets the grids
// show, and the symbol list of symbol.csv.
#include "document/tables.h"

#include <QFile>
#include <QStringDecoder>
#include <array>
#include <charconv>
#include <cmath>

#include "document/content_xml.h"
#include "document/editor.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "document/time_text.h"

namespace kemo {

namespace {

// Times beyond this many seconds are not times of any video; the time text's minute arithmetic
// would overflow on them, so they are read as "not a number".
constexpr double kMaxTimeMagnitude = 1e15;

bool ReadTime(const QString& text, double* value) {
  bool ok = false;
  const double v = ReadNumber(text, &ok);
  if (!ok || std::fabs(v) >= kMaxTimeMagnitude) return false;
  *value = v;
  return true;
}

std::vector<Column> SlideColumns(bool idAsText) {
  return {{SlideColumn::Id, idAsText ? FieldType::Text : FieldType::Integer, idAsText ? 4 : 0},
          {SlideColumn::Time, FieldType::Text, 12},
          {SlideColumn::Title, FieldType::Text, 256},
          {SlideColumn::Image, FieldType::Text, 256}};
}

std::vector<Column> PointColumns() {
  return {{QStringLiteral("ID"), FieldType::Integer, 0},
          {QStringLiteral("時間"), FieldType::Text, 12},
          {QStringLiteral("X"), FieldType::Text, 4},
          {QStringLiteral("Y"), FieldType::Text, 4},
          {QStringLiteral("表示"), FieldType::Text, 4}};
}

SlideRecord EmptySlide() {
  SlideRecord s;
  s.id = 1;
  s.pos = 0.0;
  s.timeText = FormatTimeText(0.0);
  return s;
}

// Rebuilds a slide record set whole from an array, in one model reset, and binds its grid.
void FillSlideSet(RecordSet* rs, DataGrid* grid, QLabel* countLabel, const SlideArray& slides, int count,
                  bool idAsText) {
  count = std::clamp(count, 0, kSlots);
  if (rs != nullptr) {
    RecordSet::BulkLoad bulk(*rs);
    rs->Close();
    rs->Open(SlideColumns(idAsText));
    // The registered slides change only through the slide-edit panel's working copy: a text typed
    // into their grid would be shown and never stored.
    if (!idAsText)
      for (int c = 0; c < 4; ++c) rs->SetLocked(c, true);
    for (int i = 0; i < count; ++i) {
      const SlideRecord& s = slides[i];
      rs->AddNew();
      rs->SetField(0, idAsText ? QVariant(QString::number(s.id)) : QVariant(static_cast<int>(s.id)));
      rs->SetField(1, s.timeText);
      rs->SetField(2, s.caption);
      rs->SetField(3, s.image);
      rs->Update();
    }
    rs->MoveFirst();
  }
  if (countLabel != nullptr) SetCaption(countLabel, QString::number(count) + QStringLiteral("枚のスライドがあります"));
  if (grid != nullptr && rs != nullptr) grid->Bind(rs);
}

void ClearSlots(SlideArray& a) { a.ClearRange(0, MaxRecords); }
void ClearSlots(PointArray& a) { a.ClearRange(0, MaxRecords); }

}  // namespace

double ReadNumber(const QString& text, bool* ok) {
  bool good = false;
  double v = 0.0;
  // The common case, a short plain decimal, without the toolkit's locale machinery (it is called
  // several thousand times per opened folder).
  char buf[64];
  qsizetype b = 0, e = text.size();
  while (b < e && text.at(b).isSpace()) ++b;
  while (e > b && text.at(e - 1).isSpace()) --e;
  if (b < e && text.at(b) == QLatin1Char('+')) ++b;
  bool fast = e - b > 0 && e - b < qsizetype(sizeof buf);
  for (qsizetype i = b; fast && i < e; ++i) {
    const char16_t c = text.at(i).unicode();
    fast = c < 0x80;
    buf[i - b] = static_cast<char>(c);
  }
  if (fast) {
    const char* end = buf + (e - b);
    const auto r = std::from_chars(buf, end, v);
    good = r.ec == std::errc() && r.ptr == end;
  }
  if (!good && !fast) v = text.toDouble(&good);
  // "NaN" and "inf" are numbers to the toolkit and to from_chars; to the tables they are not.
  good = good && std::isfinite(v);
  if (ok != nullptr) *ok = good;
  return good ? v : 0.0;
}

QString PercentText(const QString& fraction) {
  bool ok = false;
  const double v = ReadNumber(fraction, &ok);
  if (!ok) return {};
  const double percent = std::round(v * 100.0) + 0.0;  // + 0.0 turns -0 into 0
  if (!std::isfinite(percent)) return {};
  // The usual 0 to 100 are shared texts: a full point table shows 7200 of them.
  static const std::array<QString, 101> kUsual = [] {
    std::array<QString, 101> texts;
    for (int i = 0; i <= 100; ++i) texts[static_cast<size_t>(i)] = QString::number(i);
    return texts;
  }();
  if (percent >= 0 && percent <= 100) return kUsual[static_cast<size_t>(percent)];
  if (std::fabs(percent) < 1e15) return QString::number(static_cast<qint64>(percent));
  return QString::number(percent, 'f', 0);
}

void ReadSymbolFile(Editor& ed) {
  ed.SymOnList.clear();
  ed.SymOffList.clear();
  ed.Sym3List.clear();
  QFile f(JoinPath(ed.ProgramFolder, QStringLiteral("symbol.csv")));
  if (!f.open(QIODevice::ReadOnly)) return;
  // Three short lines; anything after them is not read.
  const QByteArray bytes = f.read(64 * 1024);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  const QStringList lines = text.split(QLatin1Char('\n'));
  QStringList* targets[3] = {&ed.SymOnList, &ed.SymOffList, &ed.Sym3List};
  for (int i = 0; i < 3 && i < lines.size(); ++i) {
    QString line = lines.at(i);
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    if (i == lines.size() - 1 && line.isEmpty()) break;  // the end of the file, not a line
    *targets[i] = line.split(QLatin1Char('\t'));
  }
}

void ClearAllTables(Editor& ed) {
  ed.SldCnt = 0;
  ed.CurCnt = 0;
  ed.SldEdtCnt = 0;
  ed.SldXml.ClearRange(0, MaxRecords);
  ed.CurXml.ClearRange(0, MaxRecords);
  ClearSlots(ed.Sld);
  ClearSlots(ed.Cur);
  if (ed.views.ClearRecordedPoints) ed.views.ClearRecordedPoints(ed);
}

void ClearPointTable(Editor& ed) {
  ed.CurCnt = 0;
  ClearSlots(ed.Cur);
}

void ClearSlideEditTable(Editor& ed) {
  ClearSlots(ed.SldEdt);
  ed.SldEdtCnt = 0;
}

void BuildRecords(Editor& ed) {
  // Each staged text is read once: its record is built and the text let go (a full folder's texts
  // hold a megabyte). A slot without one keeps the record it has, so building again after a file
  // that was not read leaves the tables of the file before.
  const NodeTextArray& sldXml = ed.SldXml;
  const NodeTextArray& curXml = ed.CurXml;
  const int sldCnt = std::clamp<int>(ed.SldCnt, 0, MaxRecords);
  for (int i = 0; i < sldCnt; ++i) {
    if (sldXml[i].isEmpty()) continue;
    SlideRecord& s = ed.Sld[i];
    QString values[3];
    GetXmlAttrs(ed.SldXml[i], {u"pos", u"caption", u"image"}, values);
    s.id = static_cast<int16_t>(i + 1);
    // A pos that is not a number leaves the time the slot held.
    double pos = 0.0;
    if (ReadTime(values[0], &pos)) s.pos = pos;
    s.timeText = FormatTimeText(s.pos);
    s.caption = std::move(values[1]);
    s.image = std::move(values[2]);
  }
  ed.SldXml.ClearRange(0, sldCnt);
  const int curCnt = std::clamp<int>(ed.CurCnt, 0, MaxRecords);
  for (int i = 0; i < curCnt; ++i) {
    if (curXml[i].isEmpty()) continue;
    PointRecord& p = ed.Cur[i];
    QString values[3];
    GetXmlAttrs(ed.CurXml[i], {u"t", u"x", u"y"}, values);
    p.id = static_cast<int16_t>(i + 1);
    double t = 0.0;
    // Rounded to three decimals, half away from zero, as the "0.000" pattern rounds the text.
    p.t = ReadTime(values[0], &t) ? RoundToMilliseconds(t) : 0.0;
    p.timeText = FormatTimeText(p.t);
    p.x = std::move(values[1]);
    p.y = std::move(values[2]);
    p.mark.clear();
  }
  ed.CurXml.ClearRange(0, curCnt);
}

void BuildSlideTable(Editor& ed) {
  if (ed.SldCnt <= 0) {
    // The slide table is never empty.
    ed.Sld[0] = EmptySlide();
    ed.SldCnt = 1;
  }
  FillSlideSet(ed.RS_SLD, ed.ui.dgSlide, ed.ui.lbSldCnt[1], ed.Sld, ed.SldCnt, false);
}

void BuildSlideEditTable(Editor& ed, bool copyFromSlides) {
  if (copyFromSlides) {
    ed.SldEdt.CopyRange(ed.Sld, 0, MaxRecords);
    ed.SldEdtCnt = ed.SldCnt;
  } else if (ed.SldEdtCnt <= 0) {
    ed.SldEdt[0] = EmptySlide();
    ed.SldEdtCnt = 1;
  }
  FillSlideSet(ed.RS_SLDEDT, ed.ui.dgSlideEdit, ed.ui.lbSldCnt[0], ed.SldEdt, ed.SldEdtCnt, true);
}

void BuildPointTable(Editor& ed) {
  if (ed.CurCnt <= 0) {
    // The point table is never empty.
    PointRecord p;
    p.id = 1;
    p.t = 0.0;
    p.timeText = FormatTimeText(0.0);
    p.x = QStringLiteral("0");
    p.y = QStringLiteral("0");
    p.mark = ed.SymOff();
    ed.Cur[0] = p;
    ed.CurCnt = 1;
  }
  RecordSet* rs = ed.RS_CUR;
  if (rs == nullptr) return;
  const int count = std::clamp<int>(ed.CurCnt, 0, kSlots);
  {
    RecordSet::BulkLoad bulk(*rs);
    rs->Close();
    rs->Open(PointColumns());
    for (int i = 0; i < count; ++i) {
      const PointRecord& p = ed.Cur[i];
      rs->AddNew();
      rs->SetField(0, static_cast<int>(p.id));
      rs->SetField(1, p.timeText);
      rs->SetField(2, PercentText(p.x));
      rs->SetField(3, PercentText(p.y));
      rs->SetField(4, p.mark);
      rs->Update();
    }
    rs->MoveFirst();
  }
  if (ed.ui.dgCursor != nullptr) ed.ui.dgCursor->Bind(rs);
}

}  // namespace kemo
