// Inserting and deleting single slides, in the working copy (panel shown) and in the registered
// slides (panel hidden): order, ids, refusals, the changed flag and the grid's place on screen.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "document/folder_commands.h"
#include "document/tables.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/record_set.h"
#include "document/time_text.h"
#include "slides/slide_edit.h"
#include "slides/slide_rows.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

class SlideRows : public ::testing::Test {
 protected:
  test::Window w;
  QTemporaryDir data;
  Editor& ed() { return w.ed(); }

  void Open(const QStringList& scenes) {
    w.OpenFolder(data.path(), scenes);
    ASSERT_EQ(ed().EditorState, State::Idle);
  }
  // Slides every ten seconds, named s0, s1, ...
  void OpenEvery10s(int n) {
    QStringList scenes;
    for (int i = 0; i < n; ++i) scenes << QStringLiteral("%1|title%2|s%2.jpg").arg(i * 10).arg(i);
    Open(scenes);
  }
  void InsertAt(const QString& time) {
    SetCaption(ed().ui.dispTime, time);
    ed().ui.ppSldInsert->trigger();
  }

  // "id time" of every row of a record set, checked against the array it shows.
  static QStringList Rows(const RecordSet* rs, const SlideArray& slides, int count) {
    QStringList out;
    for (int i = 0; i < rs->RecordCount(); ++i) {
      const QString id = rs->FieldAt(i, 0).toString();
      out << id + QLatin1Char(' ') + rs->FieldAt(i, 1).toString();
      EXPECT_EQ(id, QString::number(slides[i].id)) << "row " << i;
      EXPECT_EQ(rs->FieldAt(i, 1).toString(), slides[i].timeText) << "row " << i;
      EXPECT_EQ(rs->FieldAt(i, 3).toString(), slides[i].image) << "row " << i;
    }
    EXPECT_EQ(rs->RecordCount(), count);
    EXPECT_EQ(slides[count].id, 0);
    EXPECT_TRUE(slides[count].timeText.isEmpty());
    return out;
  }
  QStringList WorkingRows() { return Rows(ed().RS_SLDEDT, ed().SldEdt, ed().SldEdtCnt); }
  QStringList RegisteredRows() { return Rows(ed().RS_SLD, ed().Sld, ed().SldCnt); }
};

TEST_F(SlideRows, InsertsIntoTheWorkingCopyInTimeOrder) {
  OpenEvery10s(3);
  ed().ui.ppSldEdit->trigger();

  InsertAt(QStringLiteral("00:15.000"));
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("00:15.000 にスライドを追加します。よろしいですか？"));
  EXPECT_EQ(WorkingRows(), (QStringList{"1 00:00.000", "2 00:10.000", "3 00:15.000", "4 00:20.000"}));
  EXPECT_EQ(ed().SldEdt[2].caption, QString());
  EXPECT_EQ(ed().SldEdt[2].image, QString());
  EXPECT_DOUBLE_EQ(ed().SldEdt[2].pos, 15.0);
  EXPECT_EQ(ed().SldEdt[3].image, QStringLiteral("s2.jpg"));

  InsertAt(QStringLiteral("00:05.000"));
  EXPECT_EQ(WorkingRows(),
            (QStringList{"1 00:00.000", "2 00:05.000", "3 00:10.000", "4 00:15.000", "5 00:20.000"}));
  EXPECT_EQ(ed().ui.lbSldCnt[0]->text(), QStringLiteral("5枚のスライドがあります"));
  // The working copy is not the content: nothing to save yet, the registered slides as they were.
  EXPECT_FALSE(ed().ContentChanged);
  EXPECT_EQ(ed().SldCnt, 3);

  // No to the question changes nothing.
  w.messages.Answer(MsgResult::No);
  InsertAt(QStringLiteral("00:07.000"));
  EXPECT_EQ(ed().SldEdtCnt, 5);
}

TEST_F(SlideRows, ARegisteredInsertLeavesNothingUnregistered) {
  // 24.543 is not exact in single precision: the inserted slide holds the float's value, the
  // registered one the time read back from its text. After registering, nothing is pending.
  OpenEvery10s(3);
  ed().ui.ppSldEdit->trigger();
  InsertAt(QStringLiteral("00:24.543"));
  EXPECT_FALSE(IsSlideEditUnchanged(ed()));
  ed().ui.cbSaveSld->click();
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("既存データに上書きします。よろしいですか？"));
  EXPECT_EQ(ed().SldCnt, 4);
  EXPECT_TRUE(IsSlideEditUnchanged(ed()));
  const size_t asked = w.messages.shown.size();
  ed().ui.cbFrSldClose->click();
  EXPECT_EQ(w.messages.shown.size(), asked);  // closing asks nothing
  EXPECT_FALSE(ed().ui.fDialog[1]->isVisible());
}

TEST_F(SlideRows, InsertGoesBeforeSlidesOfTheSameTimeAndMarksTheContent) {
  OpenEvery10s(3);
  InsertAt(QStringLiteral("00:10.000"));  // panel hidden: the registered slides
  EXPECT_EQ(RegisteredRows(), (QStringList{"1 00:00.000", "2 00:10.000", "3 00:10.000", "4 00:20.000"}));
  EXPECT_EQ(ed().Sld[1].image, QString());
  EXPECT_EQ(ed().Sld[2].image, QStringLiteral("s1.jpg"));
  EXPECT_EQ(ed().ui.lbSldCnt[1]->text(), QStringLiteral("4枚のスライドがあります"));
  EXPECT_TRUE(ed().ContentChanged);
  EXPECT_EQ(ed().SldEdtCnt, 0);  // the working copy is not touched

  // Before the first slide: everything moves down.
  SetContentChanged(ed(), false);
  Open({"5|a|a.jpg", "10|b|b.jpg"});
  InsertAt(QStringLiteral("00:01.500"));
  EXPECT_EQ(RegisteredRows(), (QStringList{"1 00:01.500", "2 00:05.000", "3 00:10.000"}));
  EXPECT_FLOAT_EQ(static_cast<float>(ed().Sld[0].pos), 1.5f);
}

TEST_F(SlideRows, InsertedSlideHasTheTimeItsTextShowsAndTimesRoundWithCarry) {
  // A slide at 5.9996 s shows 00:06.000 (not 00:05.1000); registering the copy unedited keeps it
  // at 6 s. Points read from the file round their decimal text half up.
  w.OpenFolder(data.path(), {"0|a|a.jpg", "5.9996|b|b.jpg", "12.3|c|c.jpg", "20|d|d.jpg"},
               {"1.0005|0.5|0.5", "4.0005|0.5|0.5"});
  EXPECT_EQ(ed().RS_SLD->FieldAt(1, 1).toString(), QStringLiteral("00:06.000"));
  EXPECT_DOUBLE_EQ(ed().Cur[0].t, 1.001);
  EXPECT_DOUBLE_EQ(ed().Cur[1].t, 4.001);
  ed().ui.ppSldEdit->trigger();
  ed().ui.cbSaveSld->click();
  EXPECT_DOUBLE_EQ(ed().Sld[1].pos, 6.0);
  ed().ui.cbFrSldClose->click();

  // Inserted at 00:12.300 into the registered slides: exactly 12.3 s, before the slide of that time.
  InsertAt(QStringLiteral("00:12.300"));
  EXPECT_EQ(ed().Sld[2].pos, 12.3);
  EXPECT_EQ(ed().Sld[2].image, QString());
  EXPECT_EQ(ed().Sld[3].image, QStringLiteral("c.jpg"));
  w.messages.Clear();
  OnFileSave(ed());
  const QString saved = QString::fromUtf8(test::ReadFile(data.filePath("content.xml")));
  EXPECT_EQ(saved.count(QStringLiteral("pos=\"12.3\"")), 2) << saved.toStdString();
}

TEST_F(SlideRows, InsertRefusals) {
  // A full table takes no 3601st slide.
  OpenEvery10s(1);
  for (int i = 0; i < MaxRecords; ++i) {
    ed().Sld[i] = SlideRecord{static_cast<int16_t>(i + 1), double(i), FormatTimeText(i), {}, {}};
  }
  ed().SldCnt = MaxRecords;
  BuildSlideTable(ed());
  ed().ContentChanged = false;
  InsertAt(QStringLiteral("00:00.500"));
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("3600枚を超えるスライドは登録できません。"));
  EXPECT_EQ(w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(ed().SldCnt, MaxRecords);
  EXPECT_EQ(ed().RS_SLD->RecordCount(), MaxRecords);
  EXPECT_FALSE(ed().ContentChanged);

  // A table without rows: there is no place to insert.
  w.messages.Clear();
  ed().RS_SLDEDT->Close();
  ed().SldEdtCnt = 0;
  InsertSlideRow(ed(), WorkingSlides(ed()));
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("新規行を登録しなきゃ！"));
  EXPECT_EQ(w.messages.shown.back().icon, MsgIcon::Critical);
  EXPECT_EQ(ed().SldEdtCnt, 0);
}

TEST_F(SlideRows, DeleteRenumbersAndRefusesTheLastSlide) {
  OpenEvery10s(3);
  ed().RS_SLD->MoveTo(1);
  ed().ui.ppSldDelete->trigger();
  EXPECT_EQ(w.messages.LastText(), QStringLiteral("ID 2 を削除します。よろしいですか？"));
  EXPECT_EQ(RegisteredRows(), (QStringList{"1 00:00.000", "2 00:20.000"}));
  EXPECT_EQ(ed().Sld[1].image, QStringLiteral("s2.jpg"));
  EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("title2"));
  EXPECT_EQ(ed().ui.lbSldCnt[1]->text(), QStringLiteral("2枚のスライドがあります"));
  EXPECT_TRUE(ed().ContentChanged);

  // In the working copy, the same, and the content stays unchanged.
  SetContentChanged(ed(), false);
  ed().ui.ppSldEdit->trigger();
  w.messages.Answer(MsgResult::No);
  ed().ui.ppSldDelete->trigger();
  EXPECT_EQ(ed().SldEdtCnt, 2);
  ed().RS_SLDEDT->MoveTo(0);
  ed().ui.ppSldDelete->trigger();
  EXPECT_EQ(WorkingRows(), (QStringList{"1 00:20.000"}));
  EXPECT_FALSE(ed().ContentChanged);

  // One slide left: refused.
  w.messages.Clear();
  ed().ui.ppSldDelete->trigger();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].text, QStringLiteral("削除できません。１件以上のデータが必要です。"));
  EXPECT_EQ(w.messages.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(ed().SldEdtCnt, 1);
}

TEST_F(SlideRows, ScrolledGridKeepsItsRowsAndHighlightInPlace) {
  OpenEvery10s(60);
  w.window->show();
  test::Pump(20);
  for (bool working : {false, true}) {
    if (working) ed().ui.ppSldEdit->trigger();
    DataGrid* g = working ? ed().ui.dgSlideEdit : ed().ui.dgSlide;
    RecordSet* rs = working ? ed().RS_SLDEDT : ed().RS_SLD;
    g->ScrollRows(20);
    ASSERT_EQ(g->FirstVisibleRow(), 20);
    rs->MoveTo(23);
    ASSERT_EQ(g->FirstVisibleRow(), 20);
    ASSERT_EQ(g->VisibleRowOfCurrent(), 4);
    const int rows = rs->RecordCount();

    InsertAt(QStringLiteral("03:35.000"));  // lands above the highlighted row (slot 22)
    EXPECT_EQ(rs->RecordCount(), rows + 1);
    EXPECT_EQ(g->FirstVisibleRow(), 20);
    EXPECT_EQ(g->VisibleRowOfCurrent(), 4);
    EXPECT_EQ(rs->CurrentRow(), 23);

    InsertAt(QStringLiteral("09:00.000"));  // far below the visible rows
    EXPECT_EQ(g->FirstVisibleRow(), 20);
    EXPECT_EQ(rs->CurrentRow(), 23);

    ed().ui.ppSldDelete->trigger();
    EXPECT_EQ(rs->RecordCount(), rows + 1);
    EXPECT_EQ(g->FirstVisibleRow(), 20);
    EXPECT_EQ(g->VisibleRowOfCurrent(), 4);
    EXPECT_EQ(rs->CurrentRow(), 23);
  }
}

}  // namespace
