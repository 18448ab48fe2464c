// Undo and redo of every command that changes the registered tables, in the real window: each
// command undone gives the tables back exactly (every field of every slot, and the counts), redone
// gives its result again, and ContentChanged follows the saved point. Also the splice that holds a
// step, on random tables.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "app/mode_display.h"
#include "document/folder_commands.h"
#include "document/history.h"
#include "document/state_machine.h"
#include "document/table_delta.h"
#include "document/tables.h"
#include "platform/record_set.h"
#include "platform/stage.h"
#include "document/time_text.h"
#include "points/points.h"
#include "slides/slide_edit.h"
#include "slides/slide_rows.h"
#include "support/history_support.h"
#include "support/test_support.h"

using namespace kemo;
using test::Tables;

namespace {

// --- the splice on random tables ---

template <class Rec>
Rec RandomRecord(std::mt19937& rng, int slot);

template <>
PointRecord RandomRecord(std::mt19937& rng, int slot) {
  PointRecord p;
  p.id = static_cast<int16_t>(slot + 1);
  p.t = static_cast<double>(rng() % 100000) / 1000.0;
  p.timeText = rng() % 4 ? FormatTimeText(p.t) : QStringLiteral("odd");
  p.x = QString::number((rng() % 100) / 100.0);
  p.y = rng() % 5 ? QString::number((rng() % 100) / 100.0) : QStringLiteral("ｙ");
  p.mark = rng() % 2 ? QStringLiteral("☑") : QString();
  if (rng() % 10 == 0) p.t = 1.0 / 3.0;  // no whole millisecond
  return p;
}

template <>
SlideRecord RandomRecord(std::mt19937& rng, int slot) {
  SlideRecord s;
  s.id = static_cast<int16_t>(rng() % 8 ? slot + 1 : -7);
  s.pos = static_cast<double>(rng() % 5000) / 10.0;
  s.timeText = FormatTimeText(s.pos);
  s.caption = rng() % 3 ? QStringLiteral("第%1章「講義」").arg(rng() % 50) : QString();
  s.image = QStringLiteral("%1.jpg").arg(rng() % 20);
  return s;
}

// One random change of a table: an edit of some fields, an insert or delete with renumbering, a
// range replaced, everything cleared, or junk left beyond the count.
template <class Rec>
void RandomChange(std::mt19937& rng, SlotTable<Rec>& t, int16_t& count) {
  const int n = count;
  switch (rng() % 6) {
    case 0:
      if (n > 0) {
        Rec& r = t[rng() % n];
        r = RandomRecord<Rec>(rng, r.id - 1);
      }
      break;
    case 1: {
      if (n >= MaxRecords) break;
      const int at = n > 0 ? static_cast<int>(rng() % (n + 1)) : 0;
      for (int i = n; i > at; --i) {
        t[i] = t[i - 1];
        t[i].id = static_cast<int16_t>(i + 1);
      }
      t[at] = RandomRecord<Rec>(rng, at);
      count = static_cast<int16_t>(n + 1);
      break;
    }
    case 2:
      if (n > 0) {
        const int at = static_cast<int>(rng() % n);
        for (int i = at; i < n - 1; ++i) {
          t[i] = t[i + 1];
          t[i].id = static_cast<int16_t>(i + 1);
        }
        t[n - 1] = Rec{};
        count = static_cast<int16_t>(n - 1);
      }
      break;
    case 3: {
      const int from = n > 0 ? static_cast<int>(rng() % n) : 0;
      const int len = static_cast<int>(rng() % 300);
      for (int i = from; i < std::min(from + len, MaxRecords); ++i) t[i] = RandomRecord<Rec>(rng, i);
      count = static_cast<int16_t>(std::max(n, std::min(from + len, MaxRecords)));
      break;
    }
    case 4:
      t.ClearRange(0, kSlots);
      count = 0;
      break;
    default:
      t[MaxRecords - 1 - rng() % 5] = RandomRecord<Rec>(rng, 0);  // junk past the count
      break;
  }
}

template <class Rec>
void CheckSplices(unsigned seed) {
  std::mt19937 rng(seed);
  auto a = std::make_unique<SlotTable<Rec>>();
  int16_t count = 0;
  for (int step = 0; step < 60; ++step) {
    auto b = std::make_unique<SlotTable<Rec>>(*a);
    int16_t bCount = count;
    RandomChange(rng, *b, bCount);
    const TableSplice s = DiffTables(*a, count, *b, bCount);
    // Through its byte form, as the journal keeps it.
    QByteArray bytes;
    s.WriteTo(bytes);
    TableSplice read;
    const char* p = bytes.constData();
    ASSERT_TRUE(read.ReadFrom(p, bytes.constData() + bytes.size()));
    auto c = std::make_unique<SlotTable<Rec>>(*a);
    int16_t cCount = count;
    TableSplice back;
    ASSERT_TRUE(ApplySplice(*c, cCount, read, &back)) << "seed " << seed << " step " << step;
    ASSERT_EQ(cCount, bCount);
    for (int i = 0; i < kSlots; ++i) ASSERT_TRUE(test::SameRecord((*c)[i], (*b)[i])) << "slot " << i << " step " << step;
    ASSERT_TRUE(ApplySplice(*c, cCount, back, nullptr));
    ASSERT_EQ(cCount, count);
    for (int i = 0; i < kSlots; ++i) ASSERT_TRUE(test::SameRecord((*c)[i], (*a)[i])) << "slot " << i << " step " << step;
    a = std::move(b);
    count = bCount;
  }
}

}  // namespace

TEST(TableSplice, TurnsRandomTablesIntoEachOtherAndBack) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    CheckSplices<PointRecord>(seed);
    CheckSplices<SlideRecord>(seed + 100);
  }
}

TEST(TableSplice, OneInsertCostsOneRecordAndAForeignSpliceIsRefused) {
  auto a = std::make_unique<PointArray>();
  for (int i = 0; i < 3000; ++i) {
    (*a)[i].id = static_cast<int16_t>(i + 1);
    (*a)[i].t = i * 0.1;
    (*a)[i].timeText = FormatTimeText((*a)[i].t);
    (*a)[i].x = QStringLiteral("0.5");
  }
  auto b = std::make_unique<PointArray>(*a);
  for (int i = 3000; i > 10; --i) {
    (*b)[i] = (*b)[i - 1];
    (*b)[i].id = static_cast<int16_t>(i + 1);
  }
  (*b)[10].x = QStringLiteral("0.25");
  const TableSplice s = DiffTables(*a, 3000, *b, 3001);
  EXPECT_EQ(s.first, 10);
  EXPECT_EQ(s.removed, 0);
  EXPECT_EQ(s.inserted, 1);
  EXPECT_LT(s.records.size(), 32);
  // A splice for another table (other count, or past its used slots) leaves the table alone.
  int16_t count = 2999;
  auto c = std::make_unique<PointArray>(*a);
  EXPECT_FALSE(ApplySplice(*c, count, s, nullptr));
  TableSplice far = s;
  far.first = 3500;
  count = 3000;
  EXPECT_FALSE(ApplySplice(*c, count, far, nullptr));
  EXPECT_TRUE(test::SameRecord((*c)[10], (*a)[10]));
}

// --- every command, undone and redone ---

namespace {

struct Command {
  const char* name;
  QString label;
  std::function<void(test::HistoryWindow&)> run;
};

std::vector<Command> Commands() {
  using W = test::HistoryWindow;
  return {
      {"point edit", ChangeName::PointEdit, [](W& f) { f.EditPoint(3, QStringLiteral("00:00.350"), 75, 20); }},
      {"point delete", ChangeName::PointDelete, [](W& f) { f.SelectPoint(4); DeletePoint(f.ed); }},
      {"point insert", ChangeName::PointInsert, [](W& f) { f.SelectPoint(2); InsertPointAfter(f.ed); }},
      {"point show", ChangeName::PointShow, [](W& f) { f.SelectPoint(5); TogglePointShown(f.ed); }},
      {"delete all", ChangeName::PointDeleteAll, [](W& f) { DeleteAllPoints(f.ed); }},
      {"register run", ChangeName::PointRegister, [](W& f) { f.RegisterRun(0.25, 6); }},
      {"marker move", ChangeName::PointMove, [](W& f) { f.MoveMarker(2); }},
      {"slide insert", ChangeName::SlideInsert,
       [](W& f) {
         f.ed.ui.dispTime->setText(QStringLiteral("00:03.500"));
         InsertSlideRow(f.ed, RegisteredSlides(f.ed));
       }},
      {"slide delete", ChangeName::SlideDelete,
       [](W& f) {
         f.ed.RS_SLD->MoveTo(1);
         DeleteSlideRow(f.ed, RegisteredSlides(f.ed));
       }},
      {"slide register", ChangeName::SlideRegister, [](W& f) { f.RegisterSlideEdit(); }},
  };
}

}  // namespace

TEST(History, EveryCommandUndoneAndRedoneGivesItsTablesBackExactly) {
  for (const Command& c : Commands()) {
    SCOPED_TRACE(c.name);
    test::HistoryWindow f;
    const auto loaded = Tables::Of(f.ed);
    ASSERT_FALSE(f.ed.ContentChanged);
    ASSERT_FALSE(f.undo()->isEnabled());
    c.run(f);
    const auto changed = Tables::Of(f.ed);
    ASSERT_FALSE(changed->Same(*loaded)) << "the command changed nothing";
    // Showing a point changes only its mark, which content.xml does not hold.
    const bool content = c.label != ChangeName::PointShow;
    EXPECT_EQ(f.ed.ContentChanged, content);
    EXPECT_EQ(f.undo()->text(), QStringLiteral("元に戻す：") + c.label);
    EXPECT_TRUE(f.undo()->isEnabled());
    EXPECT_FALSE(f.redo()->isEnabled());

    f.undo()->trigger();
    EXPECT_TRUE(Tables::Of(f.ed)->Same(*loaded)) << Tables::Of(f.ed)->FirstDifference(*loaded);
    EXPECT_FALSE(f.ed.ContentChanged);
    EXPECT_EQ(f.redo()->text(), QStringLiteral("やり直し：") + c.label);
    EXPECT_FALSE(f.undo()->isEnabled());
    // The grids and the count label show the restored tables.
    EXPECT_EQ(f.ed.RS_CUR->RecordCount(), f.ed.CurCnt);
    EXPECT_EQ(f.ed.RS_SLD->RecordCount(), f.ed.SldCnt);
    EXPECT_EQ(f.ed.ui.lbSldCnt[1]->text(), SlideCountText(f.ed.SldCnt));

    f.redo()->trigger();
    EXPECT_TRUE(Tables::Of(f.ed)->Same(*changed)) << Tables::Of(f.ed)->FirstDifference(*changed);
    EXPECT_EQ(f.ed.ContentChanged, content);
    EXPECT_EQ(f.ed.RS_CUR->RecordCount(), f.ed.CurCnt);
    EXPECT_EQ(f.ed.RS_SLD->RecordCount(), f.ed.SldCnt);
  }
}

TEST(History, SaveMovesTheSavedPointAndOpenAndReloadClearTheSteps) {
  test::HistoryWindow f;
  f.SelectPoint(2);
  DeletePoint(f.ed);
  f.EditPoint(1, QStringLiteral("00:00.050"), 10, 10);
  f.messages.Clear();
  OnFileSave(f.ed);
  ASSERT_FALSE(f.ed.ContentChanged) << f.messages.LastText().toStdString();
  const auto saved = Tables::Of(f.ed);
  // The history outlives the save: one step back differs from the file, forward again equals it.
  EXPECT_TRUE(f.undo()->isEnabled());
  f.undo()->trigger();
  EXPECT_TRUE(f.ed.ContentChanged);
  f.undo()->trigger();
  EXPECT_TRUE(f.ed.ContentChanged);
  f.redo()->trigger();
  f.redo()->trigger();
  EXPECT_FALSE(f.ed.ContentChanged);
  EXPECT_TRUE(Tables::Of(f.ed)->Same(*saved));
  // A new change after an undo drops the redo side; the saved point beyond it is gone for good.
  f.undo()->trigger();
  f.SelectPoint(1);
  TogglePointShown(f.ed);
  EXPECT_FALSE(f.redo()->isEnabled());
  f.undo()->trigger();
  EXPECT_TRUE(f.ed.ContentChanged);

  OnFileReset(f.ed);
  EXPECT_FALSE(f.ed.ContentChanged);
  EXPECT_FALSE(f.undo()->isEnabled());
  EXPECT_FALSE(f.redo()->isEnabled());
  f.SelectPoint(1);
  DeletePoint(f.ed);
  f.Reopen();
  EXPECT_FALSE(f.ed.ContentChanged);
  EXPECT_FALSE(f.undo()->isEnabled());
}

TEST(History, UndoFollowsTheStateAndLeavesTheSlideEditWorkingCopyAlone) {
  test::HistoryWindow f;
  f.SelectPoint(2);
  DeletePoint(f.ed);
  ASSERT_TRUE(f.undo()->isEnabled());
  ChangeState(f.ed, ModeEvent::Started);
  RefreshModeDisplay(f.ed);
  EXPECT_FALSE(f.undo()->isEnabled()) << "undo while the video plays";
  EXPECT_FALSE(UndoChange(f.ed));
  ChangeState(f.ed, ModeEvent::Stopped);
  RefreshModeDisplay(f.ed);
  EXPECT_TRUE(f.undo()->isEnabled());

  // Edits of the working copy are no steps; registering them is one.
  OpenOrCloseSlideEdit(f.ed);
  ASSERT_EQ(f.ed.EditorState, State::EditPaused);
  f.ed.ui.dispTime->setText(QStringLiteral("00:02.500"));
  InsertSlideRow(f.ed, WorkingSlides(f.ed));
  EXPECT_EQ(f.undo()->text(), QStringLiteral("元に戻す：") + ChangeName::PointDelete);
  const int working = f.ed.SldEdtCnt;
  f.undo()->trigger();
  EXPECT_EQ(f.ed.SldEdtCnt, working) << "the undo of a point change touched the working copy";
}

TEST(History, FiftyRandomCommandsUndoneToTheLoadedTablesAndRedoneToTheLast) {
  test::HistoryWindow f(60, 12);
  std::mt19937 rng(20261208);
  const auto loaded = Tables::Of(f.ed);
  std::vector<std::unique_ptr<Tables>> states;
  states.push_back(Tables::Of(f.ed));
  const std::vector<Command> commands = Commands();
  int done = 0;
  for (int guard = 0; done < 50 && guard < 500; ++guard) {
    const Command& c = commands[rng() % commands.size()];
    // Rows and places chosen at random, within the tables as they are.
    const int points = f.ed.CurCnt, slides = f.ed.SldCnt;
    if (c.label == ChangeName::PointEdit) {
      f.EditPoint(1 + rng() % points, FormatTimeText((rng() % 9000) / 1000.0), rng() % 100, rng() % 100);
    } else if (c.label == ChangeName::PointDelete || c.label == ChangeName::PointInsert ||
               c.label == ChangeName::PointShow) {
      f.SelectPoint(1 + rng() % points);
      if (c.label == ChangeName::PointDelete) DeletePoint(f.ed);
      if (c.label == ChangeName::PointInsert) InsertPointAfter(f.ed);
      if (c.label == ChangeName::PointShow) TogglePointShown(f.ed);
    } else if (c.label == ChangeName::PointRegister) {
      f.RegisterRun((rng() % 5000) / 1000.0, 1 + rng() % 20);
    } else if (c.label == ChangeName::SlideDelete) {
      f.ed.RS_SLD->MoveTo(static_cast<int>(rng() % slides));
      DeleteSlideRow(f.ed, RegisteredSlides(f.ed));
    } else if (c.label == ChangeName::SlideInsert) {
      f.ed.ui.dispTime->setText(FormatTimeText((rng() % 12000) / 1000.0));
      InsertSlideRow(f.ed, RegisteredSlides(f.ed));
    } else if (c.label == ChangeName::PointMove) {
      f.MoveMarker(static_cast<int>(rng() % points));
    } else {
      c.run(f);
    }
    auto now = Tables::Of(f.ed);
    if (now->Same(*states.back())) continue;  // refused (the last row, a full table): no step
    states.push_back(std::move(now));
    ++done;
  }
  ASSERT_EQ(done, 50);
  for (int i = 50; i > 0; --i) {
    ASSERT_TRUE(UndoChange(f.ed)) << i;
    ASSERT_TRUE(Tables::Of(f.ed)->Same(*states[i - 1])) << "after undoing step " << i << ": "
                                                        << Tables::Of(f.ed)->FirstDifference(*states[i - 1]);
  }
  EXPECT_FALSE(UndoChange(f.ed));
  EXPECT_TRUE(Tables::Of(f.ed)->Same(*loaded));
  EXPECT_FALSE(f.ed.ContentChanged);
  for (int i = 1; i <= 50; ++i) ASSERT_TRUE(RedoChange(f.ed)) << i;
  EXPECT_TRUE(Tables::Of(f.ed)->Same(*states.back())) << Tables::Of(f.ed)->FirstDifference(*states.back());
  EXPECT_TRUE(f.ed.ContentChanged);
  EXPECT_EQ(f.ed.RS_CUR->RecordCount(), f.ed.CurCnt);
}

TEST(History, TheAllMarksSwitchIsUndoneButLeavesTheContentUnchanged) {
  test::HistoryWindow f;
  const auto loaded = Tables::Of(f.ed);
  OnAllMarksToggle(f.ed);
  EXPECT_EQ(f.undo()->text(), QStringLiteral("元に戻す：全てチェックOFF"));
  EXPECT_FALSE(f.ed.ContentChanged) << "content.xml holds no marks";
  f.SelectPoint(2);
  DeletePoint(f.ed);
  EXPECT_TRUE(f.ed.ContentChanged);
  f.undo()->trigger();
  EXPECT_FALSE(f.ed.ContentChanged);
  f.undo()->trigger();
  EXPECT_TRUE(Tables::Of(f.ed)->Same(*loaded)) << Tables::Of(f.ed)->FirstDifference(*loaded);
  EXPECT_FALSE(f.ed.ContentChanged);
  // The button offers what the marks allow again: hiding them all, and after the redo showing them.
  EXPECT_EQ(f.ed.ui.cbChkOff->text(), QStringLiteral("全てチェックOFF"));
  f.redo()->trigger();
  EXPECT_EQ(f.ed.ui.cbChkOff->text(), QStringLiteral("全てチェックON"));
  OnAllMarksToggle(f.ed);
  EXPECT_EQ(f.ed.ui.cbChkOff->text(), QStringLiteral("全てチェックOFF"));
  f.undo()->trigger();
  EXPECT_EQ(f.ed.ui.cbChkOff->text(), QStringLiteral("全てチェックON"));
}
