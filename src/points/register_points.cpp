// Registering a recorded run: the recorded points replace the registered points inside the run's
// time span, the rest stay around them, and the track is renumbered and cut at the table limit.
#include <algorithm>
#include <cmath>
#include <vector>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/stage.h"
#include "playback/stage_view.h"
#include "playback/sync.h"
#include "playback/time_text.h"
#include "points/points.h"
#include "points/points_internal.h"

namespace kemo {

using namespace points_detail;

namespace {

// Times are compared in whole milliseconds: every stored time has three decimals, and two doubles
// for the same millisecond made by different arithmetic must not count as different.
long long Ms(double t) { return std::llround(t * 1000.0); }

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
  const long long recFirst = Ms(rec[0].t);
  int i = 0;
  // Registered points strictly before the run stay.
  while (i < MaxRecords && cur[i].id > 0 && Ms(cur[i].t) < recFirst) put(cur[i++]);
  // The run, with its own positions and marks.
  for (int j = 0; j < MaxRecords && rec[j].id >= 1; ++j) put(rec[j]);
  // Registered points after the run's last time; those up to and including it are replaced.
  for (; i < MaxRecords && cur[i].id >= 1; ++i) {
    if (!buf.empty() && Ms(buf.back().t) >= Ms(cur[i].t)) continue;
    put(cur[i]);
  }

  MergeResult r;
  const int n = std::min<int>(static_cast<int>(buf.size()), MaxRecords);
  for (int s = 0; s < n; ++s) {
    out[s] = std::move(buf[s]);
    out[s].timeText = FormatTimeText(out[s].t);
  }
  r.count = n;
  for (int s = n; s < kSlots; ++s) {
    PointRecord& p = out[s];
    if (p.id != 0 || p.t != 0 || !p.timeText.isEmpty() || !p.x.isEmpty() || !p.y.isEmpty() || !p.mark.isEmpty())
      ClearPoint(p);
  }
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

  // The registered points the merge replaces: from the first at or after the run's start up to the
  // last at or before its end.
  for (int i = 0; i < MaxRecords && cur[i].id != 0; ++i) {
    const long long t = Ms(cur[i].t);
    if (t < tStart || t > tEnd) continue;
    if (q.firstDel == 0)
      q.firstDel = cur[i].id;
    else
      q.lastDel = cur[i].id;
  }
  QString deletion;
  if (q.firstDel <= 0)
    deletion = QStringLiteral("\r");
  else if (q.lastDel == 0)
    deletion = QStringLiteral("\r") + QStringLiteral("既登録マウスポイント") + QStringLiteral("(ID=") +
               QString::number(q.firstDel) + QStringLiteral(")") + QStringLiteral("は削除されます。");
  else
    deletion = QStringLiteral("\r") + QStringLiteral("既登録マウスポイント") + QStringLiteral("(ID=") +
               QString::number(q.firstDel) + QStringLiteral(" から ID=") + QString::number(q.lastDel) +
               QStringLiteral(")") + QStringLiteral("は削除されます。");
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
  SetContentChanged(ed, true);
}

}  // namespace kemo
