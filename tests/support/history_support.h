#pragma once
// Helpers of the history and recovery tests: a picture of the registered tables to compare field by
// field, and the window on an opened data folder with the commands driven as a user drives them.
#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "document/editor.h"
#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "document/time_text.h"
#include "points/points.h"
#include "slides/slide_edit.h"
#include "slides/slide_rows.h"
#include "support/test_support.h"

namespace kemo::test {

inline bool SameRecord(const PointRecord& a, const PointRecord& b) {
  return a.id == b.id && a.t == b.t && a.timeText == b.timeText && a.x == b.x && a.y == b.y && a.mark == b.mark;
}
inline bool SameRecord(const SlideRecord& a, const SlideRecord& b) {
  return a.id == b.id && a.pos == b.pos && a.timeText == b.timeText && a.caption == b.caption && a.image == b.image;
}

// The registered tables, every slot, and their counts.
struct Tables {
  SlideArray sld{};
  PointArray cur{};
  int sldCnt = 0, curCnt = 0;

  static std::unique_ptr<Tables> Of(const SlideArray& sld, int sldCnt, const PointArray& cur, int curCnt) {
    auto t = std::make_unique<Tables>();
    t->sld = sld;
    t->cur = cur;
    t->sldCnt = sldCnt;
    t->curCnt = curCnt;
    return t;
  }
  static std::unique_ptr<Tables> Of(const Editor& ed) { return Of(ed.Sld, ed.SldCnt, ed.Cur, ed.CurCnt); }
  bool Same(const Tables& o) const { return FirstDifference(o).empty(); }
  std::string FirstDifference(const Tables& o) const {
    std::ostringstream s;
    if (sldCnt != o.sldCnt) s << "slide count " << sldCnt << " vs " << o.sldCnt;
    if (curCnt != o.curCnt) s << " point count " << curCnt << " vs " << o.curCnt;
    if (!s.str().empty()) return s.str();
    for (int i = 0; i < kSlots; ++i) {
      if (!SameRecord(sld[i], o.sld[i]))
        return "slide slot " + std::to_string(i) + ": " + sld[i].timeText.toStdString() + "/" +
               sld[i].caption.toStdString() + " vs " + o.sld[i].timeText.toStdString() + "/" +
               o.sld[i].caption.toStdString();
      if (!SameRecord(cur[i], o.cur[i]))
        return "point slot " + std::to_string(i) + ": id " + std::to_string(cur[i].id) + " " +
               cur[i].timeText.toStdString() + " " + cur[i].x.toStdString() + " vs id " + std::to_string(o.cur[i].id) +
               " " + o.cur[i].timeText.toStdString() + " " + o.cur[i].x.toStdString();
    }
    return {};
  }
};

// The window with a data folder open: `points` points 0.1 s apart and `slides` slides 2 s apart.
struct HistoryWindow {
  explicit HistoryWindow(int points = 8, int slides = 4) : ed(w.ed()), messages(w.messages) {
    for (int i = 0; i < slides; ++i)
      scenes << QStringLiteral("%1|スライド%2|%3.jpg").arg(i * 2).arg(i + 1).arg(i + 1, 3, 10, QLatin1Char('0'));
    for (int i = 0; i < points; ++i)
      pointTexts << QStringLiteral("%1|%2|%3").arg(i * 0.1).arg((i % 10) / 10.0).arg((i % 7) / 7.0);
    folder = dir.path() + QStringLiteral("/lecture");
    w.OpenFolder(folder, scenes, pointTexts);
  }
  void Reopen() {
    w.dialogs.folders.push_back(folder);
    OnFileOpen(ed);
  }
  QAction* undo() { return ed.ui.mnuEditUndo; }
  QAction* redo() { return ed.ui.mnuEditRedo; }
  void SelectPoint(int id) { ed.RS_CUR->MoveTo(id - 1); }
  // The Enter commit of a row typed over.
  void EditPoint(int id, const QString& time, int xPercent, int yPercent) {
    SelectPoint(id);
    ed.RS_CUR->SetField(QStringLiteral("時間"), time);
    ed.RS_CUR->SetField(QStringLiteral("X"), QString::number(xPercent));
    ed.RS_CUR->SetField(QStringLiteral("Y"), QString::number(yPercent));
    CommitPointRow(ed);
  }
  // The marker of point slot `slot` dragged to a place of the picture that depends on the slot.
  void MoveMarker(int slot) {
    Stage* stage = ed.ui.img;
    OnMarkerMouseDown(ed, slot, 0, 0);
    OnMarkerDrop(ed, stage->WidthTwips() * ((slot * 37 % 90) + 5) / 100.0,
                 stage->HeightTwips() * ((slot * 53 % 90) + 5) / 100.0);
  }
  // A recorded run of n samples 50 ms apart from `start`, registered.
  void RegisterRun(double start, int n) {
    for (int i = 0; i < n; ++i) {
      PointRecord& p = ed.recCur[i];
      p.id = static_cast<int16_t>(i + 1);
      p.t = std::round((start + i * 0.05) * 1000) / 1000;
      p.timeText = FormatTimeText(p.t);
      p.x = QStringLiteral("0.%1").arg(10 + i % 80);
      p.y = QStringLiteral("0.33");
      p.mark = ed.SymOn();
    }
    ed.recCurCnt = static_cast<int16_t>(n);
    RegisterRecordedPoints(ed);
  }
  // Slide editing opened, a slide inserted into the working copy at 00:01.250, registered, closed.
  void RegisterSlideEdit() {
    OpenOrCloseSlideEdit(ed);
    ed.ui.dispTime->setText(QStringLiteral("00:01.250"));
    InsertSlideRow(ed, WorkingSlides(ed));
    kemo::RegisterSlideEdit(ed);
    OpenOrCloseSlideEdit(ed);
  }

  Window w;
  Editor& ed;
  ScriptedMessageBoxes& messages;
  QTemporaryDir dir;
  QString folder;
  QStringList scenes, pointTexts;
};

}  // namespace kemo::test
