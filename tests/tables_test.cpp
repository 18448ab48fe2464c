// The working tables: record building from staged node texts, the record sets and their grids,
// the clear operations and the symbol list.
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "document/editor.h"
#include "document/tables.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/record_set.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

using Tables = test::BoundTables;

void StageScene(Editor& ed, int i, const QString& node) {
  ed.SldXml[i] = node;
  ed.SldCnt = static_cast<int16_t>(std::max<int>(ed.SldCnt, i + 1));
}
void StagePoint(Editor& ed, int i, const QString& node) {
  ed.CurXml[i] = node;
  ed.CurCnt = static_cast<int16_t>(std::max<int>(ed.CurCnt, i + 1));
}

}  // namespace

TEST(Tables, RecordsFromStagedNodesSurviveBadNumbers) {
  Tables t;
  Editor& ed = *t.ed;
  ed.Sld[1].pos = 7.0;  // what the slot held before
  StageScene(ed, 0, QStringLiteral("<scene pos=\"12.5\" caption=\"a &amp; b\" image=\"001.jpg\"/>"));
  StageScene(ed, 1, QStringLiteral("<scene pos=\"abc\" caption=\"x\" image=\"002.jpg\"/>"));
  StageScene(ed, 2, QStringLiteral("<scene pos=\"1e309\"/>"));
  StageScene(ed, 3, QStringLiteral("<scene pos=\"NaN\"/>"));
  StageScene(ed, 4, QStringLiteral("<scene pos=\"-5\"/>"));
  StageScene(ed, 5, QStringLiteral("<scene pos=\"1e300\"/>"));
  StageScene(ed, 6, QStringLiteral("<scene pos=\" 65.25 \"/>"));
  StagePoint(ed, 0, QStringLiteral("<p t=\"1.23456\" x=\"0.4523\" y=\"1\"/>"));
  StagePoint(ed, 1, QStringLiteral("<p t=\"inf\" x=\"left\" y=\"-0.001\"/>"));
  StagePoint(ed, 2, QStringLiteral("<p t=\"2.00051\" x=\"1e309\" y=\"NaN\"/>"));
  StagePoint(ed, 3, QStringLiteral("<p x=\"0.50\"/>"));
  BuildRecords(ed);

  EXPECT_EQ(ed.Sld[0].id, 1);
  EXPECT_EQ(ed.Sld[0].pos, 12.5);
  EXPECT_EQ(ed.Sld[0].timeText, QStringLiteral("00:12.500"));
  EXPECT_EQ(ed.Sld[0].caption, QStringLiteral("a & b"));
  EXPECT_EQ(ed.Sld[0].image, QStringLiteral("001.jpg"));
  // Not a number: the slot keeps its time and shows it.
  EXPECT_EQ(ed.Sld[1].pos, 7.0);
  EXPECT_EQ(ed.Sld[1].timeText, QStringLiteral("00:07.000"));
  EXPECT_EQ(ed.Sld[1].id, 2);
  for (int i : {2, 3, 5}) {
    EXPECT_EQ(ed.Sld[i].pos, 0.0) << i;
    EXPECT_EQ(ed.Sld[i].timeText, QStringLiteral("00:00.000")) << i;
  }
  EXPECT_EQ(ed.Sld[4].pos, -5.0);
  EXPECT_EQ(ed.Sld[6].pos, 65.25);
  EXPECT_EQ(ed.Sld[6].timeText, QStringLiteral("01:05.250"));

  EXPECT_DOUBLE_EQ(ed.Cur[0].t, 1.235);
  EXPECT_EQ(ed.Cur[0].timeText, QStringLiteral("00:01.235"));
  EXPECT_EQ(ed.Cur[0].x, QStringLiteral("0.4523"));
  EXPECT_EQ(ed.Cur[1].t, 0.0);
  EXPECT_DOUBLE_EQ(ed.Cur[2].t, 2.001);
  EXPECT_EQ(ed.Cur[3].t, 0.0);
  EXPECT_EQ(ed.Cur[3].x, QStringLiteral("0.50"));
  EXPECT_EQ(ed.Cur[3].y, QString());
  // Slots at and above the counts are not touched.
  EXPECT_EQ(ed.Sld[7].id, 0);

  BuildPointTable(ed);
  ASSERT_EQ(t.cur.RecordCount(), 4);
  EXPECT_EQ(t.cur.FieldAt(0, 2).toString(), QStringLiteral("45"));
  EXPECT_EQ(t.cur.FieldAt(0, 3).toString(), QStringLiteral("100"));
  EXPECT_EQ(t.cur.FieldAt(1, 2).toString(), QString());
  EXPECT_EQ(t.cur.FieldAt(1, 3).toString(), QStringLiteral("0"));
  EXPECT_EQ(t.cur.FieldAt(2, 2).toString(), QString());
  EXPECT_EQ(t.cur.FieldAt(2, 3).toString(), QString());
  EXPECT_EQ(t.cur.FieldAt(3, 2).toString(), QStringLiteral("50"));
}

TEST(Tables, EmptyTablesGetOneRowAndGridsAreBound) {
  Tables t;
  Editor& ed = *t.ed;
  ASSERT_FALSE(ed.SymOff().isEmpty());
  BuildSlideTable(ed);
  EXPECT_EQ(ed.SldCnt, 1);
  EXPECT_EQ(ed.Sld[0].id, 1);
  EXPECT_EQ(ed.Sld[0].timeText, QStringLiteral("00:00.000"));
  EXPECT_EQ(t.sld.RecordCount(), 1);
  EXPECT_EQ(Caption(&t.count1), QStringLiteral("1枚のスライドがあります"));
  EXPECT_EQ(t.dgSlide.Bound(), &t.sld);

  BuildPointTable(ed);
  EXPECT_EQ(ed.CurCnt, 1);
  EXPECT_EQ(ed.Cur[0].x, QStringLiteral("0"));
  EXPECT_EQ(ed.Cur[0].mark, ed.SymOff());
  EXPECT_EQ(t.cur.RecordCount(), 1);
  EXPECT_EQ(t.cur.FieldAt(0, 4).toString(), ed.SymOff());
  EXPECT_EQ(t.cur.FieldAt(0, 2).toString(), QStringLiteral("0"));
  EXPECT_EQ(t.dgCursor.Bound(), &t.cur);
  ASSERT_EQ(t.cur.Columns().size(), 5u);
  EXPECT_EQ(t.cur.Columns()[4].name, QStringLiteral("表示"));
}

TEST(Tables, RebuildIsOneModelResetWithTheFirstRowCurrent) {
  Tables t;
  Editor& ed = *t.ed;
  const QString longCaption(300, QLatin1Char('c'));
  ed.SldCnt = 3600;
  for (int i = 0; i < 3600; ++i) {
    ed.Sld[i].id = static_cast<int16_t>(i + 1);
    ed.Sld[i].timeText = QStringLiteral("00:%1.000").arg(i % 60, 2, 10, QLatin1Char('0'));
    ed.Sld[i].caption = longCaption;
  }
  BuildSlideTable(ed);
  t.sld.MoveLast();
  QSignalSpy resets(&t.sld, &QAbstractItemModel::modelReset);
  QSignalSpy inserts(&t.sld, &QAbstractItemModel::rowsInserted);
  BuildSlideTable(ed);
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(inserts.count(), 0);
  EXPECT_EQ(t.sld.RecordCount(), 3600);
  EXPECT_EQ(t.sld.CurrentRow(), 0);
  EXPECT_EQ(t.dgSlide.currentIndex().row(), 0);
  EXPECT_EQ(t.sld.FieldAt(3599, 0).toInt(), 3600);
  EXPECT_EQ(t.sld.FieldAt(3599, 2).toString(), longCaption);  // never cut to the column's size
  EXPECT_EQ(Caption(&t.count1), QStringLiteral("3600枚のスライドがあります"));
}

TEST(Tables, SlideEditCopyAndClears) {
  Tables t;
  Editor& ed = *t.ed;
  ed.SldCnt = 2;
  ed.Sld[0] = {1, 0.0, QStringLiteral("00:00.000"), QStringLiteral("one"), QStringLiteral("1.jpg")};
  ed.Sld[1] = {2, 5.0, QStringLiteral("00:05.000"), QStringLiteral("two"), QStringLiteral("2.jpg")};
  BuildSlideEditTable(ed, true);
  EXPECT_EQ(ed.SldEdtCnt, 2);
  EXPECT_EQ(ed.SldEdt[1].caption, QStringLiteral("two"));
  EXPECT_EQ(t.sldEdt.FieldAt(1, 0), QVariant(QStringLiteral("2")));  // the ID is text here
  EXPECT_EQ(Caption(&t.count0), QStringLiteral("2枚のスライドがあります"));
  EXPECT_EQ(t.dgSlideEdit.Bound(), &t.sldEdt);

  // Without the copy an edited working copy stays as it is.
  ed.SldEdt[0].caption = QStringLiteral("edited");
  ed.Sld[0].caption = QStringLiteral("registered");
  BuildSlideEditTable(ed, false);
  EXPECT_EQ(t.sldEdt.FieldAt(0, 2).toString(), QStringLiteral("edited"));

  ClearSlideEditTable(ed);
  EXPECT_EQ(ed.SldEdtCnt, 0);
  EXPECT_EQ(ed.SldEdt[1].caption, QString());
  BuildSlideEditTable(ed, false);
  EXPECT_EQ(ed.SldEdtCnt, 1);
  EXPECT_EQ(t.sldEdt.RecordCount(), 1);

  ed.CurCnt = 1;
  ed.Cur[0].x = QStringLiteral("0.3");
  ed.SldXml[5] = QStringLiteral("<scene/>");
  ClearPointTable(ed);
  EXPECT_EQ(ed.CurCnt, 0);
  EXPECT_EQ(ed.Cur[0].x, QString());
  EXPECT_EQ(ed.SldXml[5], QStringLiteral("<scene/>"));
  ClearAllTables(ed);
  EXPECT_EQ(ed.SldCnt, 0);
  EXPECT_EQ(ed.SldEdtCnt, 0);
  EXPECT_EQ(ed.SldXml[5], QString());
  EXPECT_EQ(ed.Sld[1].caption, QString());
  EXPECT_EQ(ed.Sld[1].id, 0);
}

TEST(Tables, PercentAndNumbers) {
  EXPECT_EQ(PercentText(QStringLiteral("0.4523")), QStringLiteral("45"));
  EXPECT_EQ(PercentText(QStringLiteral("1")), QStringLiteral("100"));
  EXPECT_EQ(PercentText(QStringLiteral("0.50")), QStringLiteral("50"));
  EXPECT_EQ(PercentText(QStringLiteral("0.996")), QStringLiteral("100"));
  EXPECT_EQ(PercentText(QStringLiteral("-0.001")), QStringLiteral("0"));
  EXPECT_EQ(PercentText(QStringLiteral("")), QString());
  EXPECT_EQ(PercentText(QStringLiteral("abc")), QString());
  EXPECT_EQ(PercentText(QStringLiteral("NaN")), QString());
  EXPECT_EQ(PercentText(QStringLiteral("1e309")), QString());
  EXPECT_EQ(PercentText(QStringLiteral("1e307")), QString());  // a finite fraction whose percent is not
  bool ok = true;
  EXPECT_EQ(ReadNumber(QStringLiteral("inf"), &ok), 0.0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadNumber(QStringLiteral("12.5"), &ok), 12.5);
  EXPECT_TRUE(ok);
}

TEST(Tables, SymbolFileForms) {
  Tables t;
  Editor& ed = *t.ed;
  // The shipped file: shown and hidden marks differ and are not the first fields.
  EXPECT_FALSE(ed.SymOn().isEmpty());
  EXPECT_NE(ed.SymOn(), ed.SymOff());
  EXPECT_NE(ed.SymOn(), ed.SymOnList.value(0));

  const QString csv = t.program.path() + QStringLiteral("/symbol.csv");
  test::WriteFile(csv, QByteArray("\xEF\xBB\xBF" "on\t\xE2\x97\x8F\tz\r\noff\t\xE2\x97\x8B\r\nthird\r\nfourth\r\n"));
  ReadSymbolFile(ed);
  EXPECT_EQ(ed.SymOn(), QStringLiteral("●"));
  EXPECT_EQ(ed.SymOff(), QStringLiteral("○"));
  EXPECT_EQ(ed.SymOnList.value(0), QStringLiteral("on"));
  EXPECT_EQ(ed.Sym3List, QStringList{QStringLiteral("third")});

  test::WriteFile(csv, QByteArray("only\tone line"));
  ReadSymbolFile(ed);
  EXPECT_EQ(ed.SymOn(), QStringLiteral("one line"));
  EXPECT_EQ(ed.SymOff(), QString());

  test::WriteFile(csv, QByteArray("a\t\xFF\xFE\r\nb\t\x81\x9B\r\n"));  // not UTF-8
  ReadSymbolFile(ed);
  EXPECT_EQ(ed.SymOnList.size(), 2);

  test::WriteFile(csv, QByteArray());
  ReadSymbolFile(ed);
  EXPECT_TRUE(ed.SymOnList.isEmpty());

  QFile::remove(csv);
  ReadSymbolFile(ed);
  EXPECT_TRUE(ed.SymOnList.isEmpty());
  EXPECT_EQ(ed.SymOff(), QString());
  // Without marks the empty point's mark is simply unset.
  BuildPointTable(ed);
  EXPECT_EQ(ed.Cur[0].mark, QString());
}

// The record set's rows: added, changed, deleted and sorted, each row keeping its fields together.
TEST(Tables, RecordSetRowsKeepTheirFieldsThroughDeleteAndSort) {
  RecordSet rs;
  rs.Open({{QStringLiteral("No"), FieldType::Integer}, {QStringLiteral("名前")}});
  const QStringList names = {"b", "a", "c", "a2", "d"};
  for (int i = 0; i < names.size(); ++i) {
    rs.AddNew();
    rs.SetField(0, i % 3);  // 0 1 2 0 1: equal keys keep their order
    rs.SetField(1, names[i]);
  }
  const auto rows = [&rs] {
    QStringList r;
    for (int i = 0; i < rs.RecordCount(); ++i) r << rs.FieldAt(i, 0).toString() + rs.FieldAt(i, 1).toString();
    return r;
  };
  rs.MoveTo(2);
  rs.Delete();  // "2c"
  EXPECT_EQ(rows(), QStringList({"0b", "1a", "0a2", "1d"}));
  EXPECT_EQ(rs.CurrentRow(), 2);
  struct Case {
    const char* order;
    QStringList expected;
  };
  for (const Case& c : {Case{"No DESC", {"1a", "1d", "0b", "0a2"}}, Case{"No", {"0b", "0a2", "1a", "1d"}},
                        Case{"名前 ASC", {"1a", "0a2", "0b", "1d"}},
                        Case{"名前 DESC", {"1d", "0b", "0a2", "1a"}}}) {
    rs.Sort(QString::fromUtf8(c.order));
    EXPECT_EQ(rows(), c.expected) << c.order;
    EXPECT_EQ(rs.CurrentRow(), 0);
  }
  rs.MoveLast();
  rs.Delete();
  rs.MoveFirst();
  rs.Delete();
  EXPECT_EQ(rows(), QStringList({"0b", "0a2"}));
  rs.Close();
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_TRUE(rs.Eof());
}
