#include "timing/adjust.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>
#include <cmath>

#include "document/editor.h"
#include "document/time_text.h"

namespace kemo {

namespace {

double TimeAt(const CheckTables& t, TimingTable table, int slot) {
  return table == TimingTable::Slides ? (*t.slides)[slot].pos : (*t.points)[slot].t;
}
int CountOf(const CheckTables& t, TimingTable table) {
  return std::clamp(table == TimingTable::Slides ? (t.slides ? t.slideCount : 0) : (t.points ? t.pointCount : 0), 0,
                    MaxRecords);
}
// The time a table keeps: points whole milliseconds, slides as computed.
double Kept(TimingTable table, double t) { return (table == TimingTable::Points ? RoundToMilliseconds(t) : t) + 0.0; }

// The first new time out of 0..videoLength, as the refusal that names its row; "" when none.
QString OutOfRange(const std::vector<PlanRow>& rows, double videoLength, const QString& verb) {
  for (const PlanRow& r : rows) {
    if (r.removed) continue;
    const QString row = RowName(r.table, r.row) + QStringLiteral("（") + FormatTimeText(r.oldTime) +
                        QStringLiteral(" → ") + FormatTimeText(r.newTime) + QStringLiteral("）");
    if (RoundToWholeMilliseconds(r.newTime) < 0)
      return verb + QStringLiteral("と") + row + QStringLiteral("が0秒より前になります。");
    if (videoLength > 0 && RoundToWholeMilliseconds(r.newTime) > RoundToWholeMilliseconds(videoLength))
      return verb + QStringLiteral("と") + row + QStringLiteral("が動画の終わり（") + FormatTimeText(videoLength) +
             QStringLiteral("）より後になります。");
  }
  return {};
}

template <class NewTime>
void AddRows(std::vector<PlanRow>& rows, const CheckTables& t, TimingTable table, NewTime newTime) {
  const int count = CountOf(t, table);
  for (int i = 0; i < count; ++i) {
    const double old = TimeAt(t, table, i);
    double now = old;
    if (!newTime(i, old, &now)) continue;
    now = Kept(table, now);
    if (now != old) rows.push_back(PlanRow{table, i + 1, old, now, false});
  }
}

QString AnchorsKey(const QString& folder) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  const QString key = canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
  return QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(24));
}

QString StateFile() {
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (state.isEmpty() || !QDir::isAbsolutePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
  return state + QStringLiteral("/kemo-editor/anchors.ini");
}

}  // namespace

TimeChange TimingPlan::Change() const {
  TimeChange c;
  for (const PlanRow& r : rows) {
    if (r.removed) continue;
    (r.table == TimingTable::Slides ? c.slides : c.points).push_back(RowTime{r.row - 1, r.newTime});
  }
  return c;
}

QString RowName(TimingTable table, int row) {
  return (table == TimingTable::Slides ? QStringLiteral("スライド ") : QStringLiteral("マウスポイント ")) +
         QString::number(row);
}

CheckTables TablesOf(const Editor& ed) { return CheckTables{&ed.Sld, ed.SldCnt, &ed.Cur, ed.CurCnt}; }

bool ParseTimeField(const QString& text, double* seconds) {
  static const QRegularExpression re(QStringLiteral("^\\s*\\d+:[0-5]?\\d(\\.\\d{1,3})?\\s*$"));
  if (!re.match(text).hasMatch()) return false;
  *seconds = ParseTimeText(text.trimmed());
  return true;
}

bool ParseOffsetText(const QString& text, double* seconds) {
  QString t = text.trimmed();
  bool negative = false;
  if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) {
    negative = t.startsWith(QLatin1Char('-'));
    t.remove(0, 1);
  }
  double v = 0;
  if (t.isEmpty() || t.at(0).isSpace() || !ParseTimeField(t, &v)) return false;
  *seconds = negative ? -v : v;
  return true;
}

TimingPlan PlanShift(const CheckTables& tables, const ShiftRequest& request, double videoLength) {
  TimingPlan plan;
  for (const TimingTable table : {TimingTable::Slides, TimingTable::Points}) {
    if (!Includes(request.target, table)) continue;
    const int count = CountOf(tables, table);
    std::vector<char> chosen(count, request.scope == TimingScope::All);
    if (request.scope == TimingScope::Selected)
      for (int row : table == TimingTable::Slides ? request.selectedSlides : request.selectedPoints)
        if (row >= 0 && row < count) chosen[row] = 1;
    const long long from = RoundToWholeMilliseconds(request.fromTime);
    AddRows(plan.rows, tables, table, [&](int i, double old, double* now) {
      if (request.scope == TimingScope::FromSelected ? RoundToWholeMilliseconds(old) < from : !chosen[i]) return false;
      *now = old + request.offset;
      return true;
    });
  }
  plan.error = OutOfRange(plan.rows, videoLength, QStringLiteral("ずらす"));
  return plan;
}

TimingPlan PlanStretch(const CheckTables& tables, TimingTarget target, const std::vector<Anchor>& anchors,
                       double videoLength) {
  TimingPlan plan;
  if (anchors.size() < 2) {
    plan.error = QStringLiteral("基準点を2つ以上指定してください。");
    return plan;
  }
  std::vector<double> from, to;
  for (size_t k = 0; k < anchors.size(); ++k) {
    const Anchor& a = anchors[k];
    const QString name = QStringLiteral("基準点 ") + QString::number(k + 1);
    if (a.row < 1 || a.row > CountOf(tables, a.table)) {
      plan.error = name + QStringLiteral("の行（") + RowName(a.table, a.row) + QStringLiteral("）がありません。");
      return plan;
    }
    if (!std::isfinite(a.trueTime) || a.trueTime < 0) {
      plan.error = name + QStringLiteral("の時間が正しくありません。");
      return plan;
    }
    for (size_t j = 0; j < k; ++j)
      if (anchors[j].table == a.table && anchors[j].row == a.row) {
        plan.error = QStringLiteral("基準点 ") + QString::number(j + 1) + QStringLiteral("と") + name +
                     QStringLiteral("が同じ行（") + RowName(a.table, a.row) + QStringLiteral("）です。");
        return plan;
      }
    from.push_back(TimeAt(tables, a.table, a.row - 1));
    to.push_back(a.trueTime);
    if (k > 0 && (RoundToWholeMilliseconds(from[k]) <= RoundToWholeMilliseconds(from[k - 1]) ||
                  RoundToWholeMilliseconds(to[k]) <= RoundToWholeMilliseconds(to[k - 1]))) {
      plan.error = name + QStringLiteral("が基準点 ") + QString::number(k) +
                   QStringLiteral("より前です。基準点は行の時間と正しい時間がともに増える順に並べてください。");
      return plan;
    }
  }
  const size_t last = from.size() - 1;
  const auto map = [&](double t) {
    if (t <= from[0]) return t + (to[0] - from[0]);
    if (t >= from[last]) return t + (to[last] - from[last]);
    const size_t k = static_cast<size_t>(std::upper_bound(from.begin(), from.end(), t) - from.begin()) - 1;
    return to[k] + (t - from[k]) * (to[k + 1] - to[k]) / (from[k + 1] - from[k]);
  };
  for (const TimingTable table : {TimingTable::Slides, TimingTable::Points}) {
    if (!Includes(target, table)) continue;
    AddRows(plan.rows, tables, table, [&](int, double old, double* now) {
      *now = RoundToMilliseconds(map(old));
      return true;
    });
  }
  plan.error = OutOfRange(plan.rows, videoLength, QStringLiteral("伸縮する"));
  return plan;
}

bool ApplyTimingPlan(Editor& ed, const TimingPlan& plan) {
  return plan.Ok() && !plan.rows.empty() && ApplyTimeChange(ed, plan.Change()).applied;
}

CheckFix FixFor(ProblemKind kind) {
  switch (kind) {
    case ProblemKind::OutOfOrder: return CheckFix::Sort;
    case ProblemKind::SameTime: return CheckFix::DropSameTime;
    case ProblemKind::SamePicture: return CheckFix::DropSamePicture;
    case ProblemKind::PastEnd: return CheckFix::DropPastEnd;
    default: return CheckFix::None;
  }
}

QString FixName(CheckFix fix) {
  switch (fix) {
    case CheckFix::Sort: return QStringLiteral("時間順に並べ替え");
    case CheckFix::DropSameTime: return QStringLiteral("同じ時間の行を削除");
    case CheckFix::DropSamePicture: return QStringLiteral("同じ画像の続きを削除");
    case CheckFix::DropPastEnd: return QStringLiteral("動画の終わりより後を削除");
    case CheckFix::None: break;
  }
  return {};
}

TimingPlan PlanFix(const CheckTables& tables, CheckFix fix, TimingTable table, double videoLength) {
  TimingPlan plan;
  const int count = CountOf(tables, table);
  const auto ms = [&](int i) { return RoundToWholeMilliseconds(TimeAt(tables, table, i)); };
  std::vector<char> drop(count, 0);
  switch (fix) {
    case CheckFix::None: break;
    case CheckFix::Sort: {
      std::vector<int> order(count);
      for (int i = 0; i < count; ++i) order[i] = i;
      std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ms(a) < ms(b); });
      for (int i = 0; i < count; ++i)
        if (order[i] != i)
          plan.rows.push_back(PlanRow{table, order[i] + 1, TimeAt(tables, table, order[i]), TimeAt(tables, table, order[i])});
      return plan;
    }
    case CheckFix::DropSameTime:
      for (int i = 1; i < count; ++i) drop[i - 1] = ms(i) == ms(i - 1);
      break;
    case CheckFix::DropSamePicture:
      if (table == TimingTable::Slides)
        for (int i = 1; i < count; ++i)
          drop[i] = !(*tables.slides)[i].image.isEmpty() && (*tables.slides)[i].image == (*tables.slides)[i - 1].image;
      break;
    case CheckFix::DropPastEnd:
      if (videoLength > 0)
        for (int i = 0; i < count; ++i) drop[i] = ms(i) > RoundToWholeMilliseconds(videoLength);
      break;
  }
  if (count > 0 && std::count(drop.begin(), drop.end(), 1) == count) drop[0] = 0;  // the table is never emptied
  for (int i = 0; i < count; ++i)
    if (drop[i]) plan.rows.push_back(PlanRow{table, i + 1, TimeAt(tables, table, i), TimeAt(tables, table, i), true});
  return plan;
}

namespace {

template <class Rec>
void DropAndSort(SlotTable<Rec>& t, int16_t& count, const TimingPlan& plan, bool sort) {
  std::vector<Rec> kept;
  kept.reserve(count);
  std::vector<char> drop(count, 0);
  for (const PlanRow& r : plan.rows)
    if (r.removed && r.row >= 1 && r.row <= count) drop[r.row - 1] = 1;
  for (int i = 0; i < count; ++i)
    if (!drop[i]) kept.push_back(std::move(t[i]));
  if (sort) {
    const auto ms = [](const Rec& r) {
      if constexpr (std::is_same_v<Rec, PointRecord>) return RoundToWholeMilliseconds(r.t);
      else return RoundToWholeMilliseconds(r.pos);
    };
    std::stable_sort(kept.begin(), kept.end(), [&](const Rec& a, const Rec& b) { return ms(a) < ms(b); });
  }
  for (int i = 0; i < count; ++i) t[i] = Rec{};
  for (size_t i = 0; i < kept.size(); ++i) {
    t[i] = std::move(kept[i]);
    t[i].id = static_cast<int16_t>(i + 1);
  }
  count = static_cast<int16_t>(kept.size());
}

}  // namespace

bool ApplyCheckFix(Editor& ed, CheckFix fix, TimingTable table, double videoLength) {
  if (!TimeChangeAllowed(ed)) return false;
  const TimingPlan plan = PlanFix(TablesOf(ed), fix, table, videoLength);
  if (plan.rows.empty()) return false;
  const int first = plan.rows.front().row - 1;
  if (table == TimingTable::Slides)
    DropAndSort(ed.Sld, ed.SldCnt, plan, fix == CheckFix::Sort);
  else
    DropAndSort(ed.Cur, ed.CurCnt, plan, fix == CheckFix::Sort);
  const int row = std::clamp(first, 0, std::max(0, (table == TimingTable::Slides ? ed.SldCnt : ed.CurCnt) - 1));
  return CommitTimingTables(ed, kTimeAdjustName, table == TimingTable::Slides ? row : -1,
                            table == TimingTable::Points ? row : -1);
}

std::vector<Anchor> LoadAnchors(const QString& folder) {
  QSettings s(StateFile(), QSettings::IniFormat);
  std::vector<Anchor> anchors;
  for (const QString& item : s.value(AnchorsKey(folder)).toStringList()) {
    const QStringList f = item.split(QLatin1Char(' '));
    bool okRow = false, okTime = false;
    Anchor a;
    a.table = f.value(0) == QStringLiteral("points") ? TimingTable::Points : TimingTable::Slides;
    a.row = f.value(1).toInt(&okRow);
    a.trueTime = f.value(2).toDouble(&okTime);
    if (f.size() == 3 && okRow && okTime) anchors.push_back(a);
  }
  return anchors;
}

void SaveAnchors(const QString& folder, const std::vector<Anchor>& anchors) {
  if (anchors.empty() && !QFileInfo::exists(StateFile())) return;
  QDir().mkpath(QFileInfo(StateFile()).path());
  QSettings s(StateFile(), QSettings::IniFormat);
  QStringList items;
  for (const Anchor& a : anchors)
    items << TableKey(a.table) + QLatin1Char(' ') + QString::number(a.row) + QLatin1Char(' ') +
                 QString::number(a.trueTime, 'g', 17);
  if (items.isEmpty())
    s.remove(AnchorsKey(folder));
  else
    s.setValue(AnchorsKey(folder), items);
}

}  // namespace kemo
