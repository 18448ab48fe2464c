// Registering a recorded run: the recorded points replace the registered points inside the run's
// time span, the rest stay around them, and the track is renumbered and cut at the table limit.
#include <algorithm>
#include <cmath>
#include <vector>

#include <QStringList>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/stage.h"
#include "playback/stage_view.h"
#include "playback/sync.h"
#include "document/time_text.h"
#include "points/points.h"
#include "points/points_internal.h"

namespace kemo {

using namespace points_detail;

namespace {

// Times are compared in whole milliseconds: every stored time has three decimals, and two doubles
// for the same millisecond made by different arithmetic must not count as different.
long long Ms(double t) { return RoundToWholeMilliseconds(t); }

int RecordedCount(const PointArray& rec, int count) {
  int n = 0;
  while (n < count && n < MaxRecords && rec[n].id >= 1) ++n;
  return n;
}

}  // namespace

MergeResult MergeRecordedPoints(const PointArray& cur, const PointArray& rec, PointArray& out) {
  // The merge buffer holds one point more than the table so that the first point cut can be
  // named; further points are not kept. `out` may be `cur` itself, hence the buffer.
  static thread_local std::vector<PointRecord> buf;
  buf.clear();
  buf.reserve(kSlots);
  auto put = [&](const PointRecord& p) {
    if (static_cast<int>(buf.size()) >= kSlots) return;
    PointRecord& d = buf.emplace_back();
    d.id = static_cast<int16_t>(buf.size());
    d.t = p.t;
    d.x = p.x;
    d.y = p.y;
    d.mark = p.mark;
  };
  const int n = RecordedCount(rec, MaxRecords);
  const long long recFirst = n > 0 ? Ms(rec[0].t) : 0;
  const long long recLast = n > 0 ? Ms(rec[n - 1].t) : -1;
  int registered = 0;
  while (registered < MaxRecords && cur[registered].id > 0) ++registered;
  // Registered points before the run stay, then the run with its own positions and marks, then the
  // registered points after the run's last time; exactly those inside the run's span are replaced.
  // The span decides, not the place in the table, so a track out of order loses nothing outside it.
  for (int i = 0; i < registered; ++i)
    if (Ms(cur[i].t) < recFirst) put(cur[i]);
  for (int j = 0; j < n; ++j) put(rec[j]);
  for (int i = 0; i < registered; ++i)
    if (Ms(cur[i].t) > recLast) put(cur[i]);

  MergeResult r;
  const int count = std::min<int>(static_cast<int>(buf.size()), MaxRecords);
  for (int s = 0; s < count; ++s) {
    out[s] = std::move(buf[s]);
    out[s].timeText = FormatTimeText(out[s].t);
  }
  r.count = count;
  out.ClearRange(count, kSlots);
  if (static_cast<int>(buf.size()) > MaxRecords) {
    r.overflow = true;
    r.firstDroppedT = buf[MaxRecords].t;
  }
  return r;
}

RegisterQuestion BuildRegisterQuestion(const PointArray& cur, const PointArray& rec, int recCount) {
  RegisterQuestion q;
  const int n = RecordedCount(rec, recCount);
  if (n < 1) return q;
  const PointRecord& first = rec[0];
  const PointRecord& last = rec[n - 1];
  const long long tStart = Ms(first.t), tEnd = Ms(last.t);
  QString range = first.timeText;
  if (tStart != tEnd) range += QStringLiteral("から") + last.timeText;

  // The registered points the merge replaces: every one inside the span. In a track in time order
  // they are one run of ids; a track loaded out of order may give several, each named.
  std::vector<std::pair<int, int>> runs;
  for (int i = 0; i < MaxRecords && cur[i].id != 0; ++i) {
    const long long t = Ms(cur[i].t);
    if (t < tStart || t > tEnd) continue;
    const int id = cur[i].id;
    if (!runs.empty() && runs.back().second == id - 1)
      runs.back().second = id;
    else
      runs.emplace_back(id, id);
  }
  QString deletion = QStringLiteral("\r");
  if (!runs.empty()) {
    q.firstDel = runs.front().first;
    q.lastDel = runs.size() == 1 && runs.front().first == runs.front().second ? 0 : runs.back().second;
    QStringList parts;
    for (const auto& [a, b] : runs)
      parts << (a == b ? QStringLiteral("ID=") + QString::number(a)
                       : QStringLiteral("ID=") + QString::number(a) + QStringLiteral(" から ID=") + QString::number(b));
    deletion += QStringLiteral("既登録マウスポイント") + QStringLiteral("(") + parts.join(QStringLiteral("、")) +
                QStringLiteral(")") + QStringLiteral("は削除されます。");
  }
  q.text = range + QStringLiteral("の新規マウスポイントを登録します。") + deletion + QStringLiteral("よろしいですか？");
  return q;
}

void RegisterRecordedPoints(Editor& ed) {
  if (ed.recCurCnt < 1) return;
  const PointRecord& lastSlot = ed.Cur[MaxRecords - 1];
  if (lastSlot.id >= 1 && Ms(lastSlot.t) < Ms(ed.recCur[0].t)) {
    Ask(ed,
        QString::number(MaxRecords) + QStringLiteral("件目の最終登録時間 ") + lastSlot.timeText +
            QStringLiteral(" を超えているため登録することができません。") + QStringLiteral("既登録データを削除してください。"),
        MsgButtons::Ok, MsgIcon::Critical);
    return;
  }
  const RegisterQuestion q = BuildRegisterQuestion(ed.Cur, ed.recCur, ed.recCurCnt);
  if (q.text.isEmpty()) return;
  if (Ask(ed, q.text, MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes) return;

  const double resume = ed.svc.player ? CutToMilliseconds(ed.svc.player->CurrentPosition()) : 0.0;
  const MergeResult r = MergeRecordedPoints(ed.Cur, ed.recCur, ed.Cur);
  ed.CurCnt = static_cast<int16_t>(r.count);
  QString overflow;
  if (r.overflow) {
    overflow = QStringLiteral("\r") + FormatTimeText(r.firstDroppedT) + QStringLiteral("以降のデータは最大登録件数") +
               QString::number(MaxRecords) + QStringLiteral("件を超えたため削除しました。");
    Ask(ed, overflow, MsgButtons::Ok, MsgIcon::Information);
  }

  BuildPointTable(ed);
  BuildStageView(ed);
  LayoutPointMarkers(ed, false);
  ClearRecordedPoints(ed);
  BuildRecordedTable(ed);
  RefreshRecordPanel(ed);
  if (Stage* stage = ed.ui.img) {
    stage->BeginBatch();
    for (int i = 0; i < stage->MarkerCount(MarkerArray::RecPoint); ++i) {
      stage->SetMarkerVisible(MarkerArray::RecPoint, i, false);
      stage->MoveMarker(MarkerArray::RecPoint, i, -10, -10);
    }
    stage->EndBatch();
  }
  SyncSlideRow(ed, static_cast<float>(resume));
  SyncSlideEditRow(ed, static_cast<float>(resume));
  SyncPointRow(ed, static_cast<float>(resume));
  Ask(ed, QStringLiteral("登録しました。") + overflow, MsgButtons::Ok, MsgIcon::None);
  RecordChange(ed, ChangeName::PointRegister);
}

}  // namespace kemo
