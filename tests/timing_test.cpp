// The timing tools on the real tables: the registered time change as one step of the history, and the
// check of a data folder made on the spot (real files, a real FLV) through the function and through
// the real executable's --check.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>

#include "document/folder_commands.h"
#include "document/history.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "support/history_support.h"
#include "support/test_support.h"
#include "app/timing_dialog.h"
#include "timing/adjust.h"
#include "timing/check.h"
#include "timing/time_change.h"

using namespace kemo;
using test::Tables;

namespace {

QString GridTime(RecordSet* rs, int row) { return rs->FieldAt(row, rs->ColumnIndex(QStringLiteral("時間"))).toString(); }

// --- the registered time change ---

TEST(TimeChange, OneStepInTimeOrderThatUndoRestores) {
  test::HistoryWindow hw(8, 4);  // slides at 0, 2, 4, 6; points 0.0 .. 0.7
  Editor& ed = hw.ed;
  const auto before = Tables::Of(ed);
  const int steps = ed.history->Index();

  // Slide 1 moves past slide 3, point 2 past point 6: both tables back in time order, ids renumbered.
  TimeChange change;
  change.slides = {{0, 5.0}};
  change.points = {{1, 0.5504}, {3, 0.25}};
  const TimeChangeResult r = ApplyTimeChange(ed, change);
  ASSERT_TRUE(r.applied);
  EXPECT_EQ(r.slideRow, 2);
  EXPECT_EQ(r.pointRow, 5);
  EXPECT_EQ(ed.history->Index(), steps + 1);
  EXPECT_EQ(ed.ui.mnuEditUndo->text(), QStringLiteral("元に戻す：時間調整"));
  EXPECT_TRUE(ed.ContentChanged);
  const double slideTimes[] = {2, 4, 5, 6};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ed.Sld[i].pos, slideTimes[i]) << i;
    EXPECT_EQ(ed.Sld[i].id, i + 1);
  }
  EXPECT_EQ(ed.Sld[2].caption, QStringLiteral("スライド1"));
  EXPECT_EQ(ed.Sld[2].timeText, QStringLiteral("00:05.000"));
  EXPECT_EQ(GridTime(ed.RS_SLD, 2), QStringLiteral("00:05.000"));
  EXPECT_EQ(ed.RS_SLD->CurrentRow(), 2);
  const double pointTimes[] = {0, 0.2, 0.25, 0.4, 0.5, 0.55, 0.6, 0.7};  // 0.5504 kept to whole ms
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(ed.Cur[i].t, pointTimes[i]) << i;
    EXPECT_EQ(ed.Cur[i].id, i + 1);
  }
  EXPECT_EQ(ed.Cur[5].x, before->cur[1].x);  // the point moved with its place
  EXPECT_EQ(GridTime(ed.RS_CUR, 5), QStringLiteral("00:00.550"));
  const auto after = Tables::Of(ed);

  ASSERT_TRUE(UndoChange(ed));
  EXPECT_EQ(before->FirstDifference(*Tables::Of(ed)), "");
  EXPECT_EQ(GridTime(ed.RS_SLD, 0), QStringLiteral("00:00.000"));
  EXPECT_FALSE(ed.ContentChanged);
  ASSERT_TRUE(RedoChange(ed));
  EXPECT_EQ(after->FirstDifference(*Tables::Of(ed)), "");

  // No step for a change that changes nothing, nor while the video plays.
  const int now = ed.history->Index();
  EXPECT_FALSE(ApplyTimeChange(ed, TimeChange{{{0, 2.0}}, {}}).applied);
  ed.EditorState = State::Playing;
  EXPECT_FALSE(ApplyTimeChange(ed, TimeChange{{{0, 9.0}}, {}}).applied);
  ed.EditorState = State::Idle;
  EXPECT_EQ(ed.history->Index(), now);
  EXPECT_EQ(after->FirstDifference(*Tables::Of(ed)), "");
}

// --- shift and stretch ---

// Every target and scope of a shift on the real tables: the rows it moves, in one step that undo
// takes back whole.
TEST(TimingShift, EveryTargetAndScopeThenUndo) {
  struct Case {
    TimingTarget target;
    TimingScope scope;
    std::vector<int> slides, points;  // the 0-based rows expected to move
  };
  // Slides at 0, 2, 4, 6; points 0.0 .. 0.7; selected: slide row 1, point rows 2 and 5; "from the
  // selected row on" starts at slide 2 (2 s) when slides are shifted, at point 3 (0.2 s) otherwise.
  const std::vector<Case> cases = {
      {TimingTarget::Slides, TimingScope::All, {0, 1, 2, 3}, {}},
      {TimingTarget::Points, TimingScope::All, {}, {0, 1, 2, 3, 4, 5, 6, 7}},
      {TimingTarget::Both, TimingScope::Selected, {1}, {2, 5}},
      {TimingTarget::Points, TimingScope::FromSelected, {}, {2, 3, 4, 5, 6, 7}},
      {TimingTarget::Both, TimingScope::FromSelected, {1, 2, 3}, {}},
  };
  for (const Case& c : cases) {
    test::HistoryWindow hw(8, 4);
    Editor& ed = hw.ed;
    const auto before = Tables::Of(ed);
    ShiftRequest r;
    r.target = c.target;
    r.scope = c.scope;
    r.selectedSlides = {1};
    r.selectedPoints = {2, 5};
    r.fromTime = Includes(c.target, TimingTable::Slides) ? 2.0 : 0.2;
    r.offset = 1.5;
    const TimingPlan plan = PlanShift(TablesOf(ed), r, 60);
    ASSERT_TRUE(plan.Ok()) << plan.error.toStdString();
    ASSERT_TRUE(ApplyTimingPlan(ed, plan));
    for (int i = 0; i < 4; ++i) {
      const bool moved = std::count(c.slides.begin(), c.slides.end(), i) > 0;
      // The slides stay in time order: find each by its caption.
      const auto at = std::find_if(ed.Sld.begin(), ed.Sld.begin() + 4,
                                   [&](const SlideRecord& s) { return s.caption == before->sld[i].caption; });
      EXPECT_EQ(at->pos, before->sld[i].pos + (moved ? 1.5 : 0)) << "slide " << i;
    }
    for (int i = 0; i < 8; ++i) {
      const bool moved = std::count(c.points.begin(), c.points.end(), i) > 0;
      const auto at = std::find_if(ed.Cur.begin(), ed.Cur.begin() + 8, [&](const PointRecord& p) {
        return p.x == before->cur[i].x && p.y == before->cur[i].y;
      });
      EXPECT_EQ(at->t, RoundToMilliseconds(before->cur[i].t + (moved ? 1.5 : 0))) << "point " << i;
    }
    for (int i = 1; i < 8; ++i) EXPECT_LE(ed.Cur[i - 1].t, ed.Cur[i].t);
    ASSERT_TRUE(UndoChange(ed));
    EXPECT_EQ(before->FirstDifference(*Tables::Of(ed)), "");
  }
}

// A drifted lecture (every time of a clean one times 25/23.976, plus 1.3 s) comes back within 1 ms
// with two anchors; with three, each segment moves by its own pair.
TEST(TimingStretch, AnchorsBringADriftedLectureBack) {
  const auto drift = [](double t) { return t * 25 / 23.976 + 1.3; };
  QStringList scenes, points;
  std::vector<double> clean;
  for (int i = 0; i < 40; ++i) {
    clean.push_back(i * 7.321);
    scenes << QStringLiteral("%1|s%2|%3.jpg").arg(QString::number(drift(clean.back()), 'g', 17)).arg(i).arg(i);
  }
  std::vector<double> cleanPoints;
  for (int i = 0; i < 300; ++i) {
    cleanPoints.push_back(RoundToMilliseconds(i * 0.95));  // within the anchors
    points << QStringLiteral("%1|0.5|0.5").arg(QString::number(drift(cleanPoints.back()), 'g', 17));
  }
  test::Window w;
  QTemporaryDir dir;
  w.OpenFolder(dir.path(), scenes, points);
  Editor& ed = w.ed();
  w.player.duration = 400;
  const TimingPlan plan = PlanStretch(TablesOf(ed), TimingTarget::Both,
                                      {{TimingTable::Slides, 1, clean[0]}, {TimingTable::Slides, 40, clean[39]}}, 400);
  ASSERT_TRUE(plan.Ok()) << plan.error.toStdString();
  EXPECT_EQ(plan.rows.size(), 340u);
  ASSERT_TRUE(ApplyTimingPlan(ed, plan));
  for (int i = 0; i < 40; ++i) EXPECT_NEAR(ed.Sld[i].pos, clean[i], 0.001) << "slide " << i;
  for (int i = 0; i < 300; ++i) EXPECT_NEAR(ed.Cur[i].t, cleanPoints[i], 0.001) << "point " << i;

  // Three anchors: 10 s → 20 s and 30 s → 30 s and 50 s → 40 s halve one segment and stretch the other.
  const CheckTables tables = TablesOf(ed);
  const TimingPlan three = PlanStretch(tables, TimingTarget::Points,
                                       {{TimingTable::Points, 1, 20}, {TimingTable::Points, 3, 30}, {TimingTable::Points, 5, 40}}, 400);
  // (Points 1, 3 and 5 sit at 0, 1.9 and 3.8 s.)
  ASSERT_TRUE(three.Ok()) << three.error.toStdString();
  const auto newTime = [&](int row) {
    for (const PlanRow& r : three.rows)
      if (r.row == row) return r.newTime;
    return -1.0;
  };
  EXPECT_DOUBLE_EQ(newTime(1), 20);
  EXPECT_DOUBLE_EQ(newTime(2), 25);   // halfway between anchors 1 and 2
  EXPECT_DOUBLE_EQ(newTime(4), 35);   // halfway between anchors 2 and 3
  EXPECT_DOUBLE_EQ(newTime(6), RoundToMilliseconds(40 + cleanPoints[5] - cleanPoints[4]));  // after the last: shifted
}

// Bad input names its field and changes nothing: through the plans, and through the dialog.
TEST(TimingStretch, BadInputIsRefusedNamingTheField) {
  test::HistoryWindow hw(8, 4);
  Editor& ed = hw.ed;
  const CheckTables t = TablesOf(ed);
  const struct {
    std::vector<Anchor> anchors;
    const char* says;
  } cases[] = {
      {{{TimingTable::Slides, 1, 0}}, "基準点を2つ以上"},
      {{{TimingTable::Slides, 1, 0}, {TimingTable::Slides, 9, 9}}, "基準点 2の行（スライド 9）がありません"},
      {{{TimingTable::Slides, 2, 1}, {TimingTable::Slides, 2, 5}}, "基準点 1と基準点 2が同じ行（スライド 2）"},
      {{{TimingTable::Slides, 3, 1}, {TimingTable::Slides, 2, 5}}, "基準点 2が基準点 1より前"},
      {{{TimingTable::Slides, 2, 5}, {TimingTable::Slides, 3, 1}}, "基準点 2が基準点 1より前"},
  };
  for (const auto& c : cases) {
    const TimingPlan plan = PlanStretch(t, TimingTarget::Both, c.anchors, 60);
    EXPECT_TRUE(plan.error.contains(QString::fromUtf8(c.says))) << plan.error.toStdString();
    EXPECT_FALSE(ApplyTimingPlan(ed, plan));
  }
  double v = 0;
  for (const char* bad : {"abc", "2.5", "+ 00:01.000", "00:61.000", "--00:01.000", ""})
    EXPECT_FALSE(ParseOffsetText(QString::fromUtf8(bad), &v)) << bad;
  ASSERT_TRUE(ParseOffsetText(QStringLiteral("-01:02.5"), &v));
  EXPECT_DOUBLE_EQ(v, -62.5);

  // A shift past the video's end names the first row it would move there.
  ShiftRequest r;
  r.target = TimingTarget::Slides;
  r.offset = 55;
  EXPECT_EQ(PlanShift(t, r, 60).error,
            QStringLiteral("ずらすとスライド 4（00:06.000 → 01:01.000）が動画の終わり（01:00.000）より後になります。"));

  // The dialog: a wrong offset is named in a message and nothing changes.
  const auto before = Tables::Of(ed);
  ed.ui.frmMain->findChild<QAction*>(QStringLiteral("mnuEditTiming"))->trigger();
  auto* dialog = ed.ui.frmMain->findChild<QDialog*>(QStringLiteral("dlgTiming"));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("KemoEditor"));
  dialog->findChild<QLineEdit*>(QStringLiteral("txtShiftOffset"))->setText(QStringLiteral("abc"));
  dialog->findChild<QPushButton*>(QStringLiteral("cbShiftApply"))->click();
  ASSERT_EQ(hw.messages.shown.size(), 1u);
  EXPECT_TRUE(hw.messages.shown[0].text.startsWith(QStringLiteral("ずらす量「abc」は時間ではありません")));
  EXPECT_EQ(before->FirstDifference(*Tables::Of(ed)), "");
  dialog->close();
}

// Shift, undo, save writes the same content.xml as a save without the edit.
TEST(TimingShift, UndoneShiftSavesTheSameBytes) {
  test::HistoryWindow hw(8, 4);
  Editor& ed = hw.ed;
  const QString content = JoinPath(hw.folder, QStringLiteral("content.xml"));
  SetContentChanged(ed, true);
  OnFileSave(ed);
  const QByteArray plain = test::ReadFile(content);
  ShiftRequest r;
  r.offset = 2.5;
  ASSERT_TRUE(ApplyTimingPlan(ed, PlanShift(TablesOf(ed), r, 60)));
  ASSERT_TRUE(UndoChange(ed));
  SetContentChanged(ed, true);
  OnFileSave(ed);
  EXPECT_EQ(test::ReadFile(content), plain);
}

// --- the check ---

struct CheckFolders : ::testing::Test {
  static void SetUpTestSuite() {
    dir = new QTemporaryDir;
    flv = JoinPath(dir->path(), QStringLiteral("Video.flv"));
    haveVideo = test::MakeRecordingFlv(flv, 12);
  }
  static void TearDownTestSuite() { delete dir; }
  // A data folder with the 12-second FLV, the pictures and a content.xml.
  static QString MakeFolder(const QString& name, const QStringList& scenes, const QStringList& points,
                            const QStringList& pictures) {
    const QString folder = JoinPath(dir->path(), name);
    QDir().mkpath(folder);
    QFile::copy(flv, JoinPath(folder, QStringLiteral("Video.flv")));
    for (const QString& p : pictures) test::WriteJpeg(JoinPath(folder, p));
    test::WriteFile(JoinPath(folder, QStringLiteral("content.xml")), test::ContentXml(scenes, points));
    return folder;
  }
  static QStringList Keys(const std::vector<Problem>& problems) {
    QStringList keys;
    for (const Problem& p : problems) keys << TableKey(p.table) + QLatin1Char(':') + KindKey(p.kind) + QLatin1Char(':') + QString::number(p.row);
    keys.sort();
    return keys;
  }
  static inline QTemporaryDir* dir = nullptr;
  static inline QString flv;
  static inline bool haveVideo = false;
};

QString CleanFolder(const QString& name) {
  QStringList points;
  for (int i = 0; i < 12; ++i) points << QStringLiteral("%1|0.5|0.25").arg(i);
  return CheckFolders::MakeFolder(name, {"0|一|001.jpg", "4|二|002.jpg", "8|三|003.jpg"}, points,
                                  {"001.jpg", "002.jpg", "003.jpg"});
}

// Every kind of problem planted in one folder, each found at its row, and nothing on a clean folder.
TEST_F(CheckFolders, FindsEachPlantedProblemAndNothingOnACleanFolder) {
  if (!haveVideo) GTEST_SKIP() << "ffmpeg made no FLV";
  const QString cleanFolder = CleanFolder("clean");
  const FolderCheck clean = CheckFolder(cleanFolder);
  EXPECT_TRUE(clean.readable);
  EXPECT_NEAR(clean.videoLength, 12.0, 0.1);
  EXPECT_EQ(Keys(clean.problems), QStringList());
  // The AVI the conversion makes is the video once it is there.
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-i", flv, "-t", "7", "-acodec", "wmav2", "-vcodec",
                                          "msmpeg4v2", "-s", "240x160", JoinPath(cleanFolder, "Video.avi")});
  ASSERT_TRUE(ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0);
  EXPECT_NEAR(ReadVideoLength(cleanFolder), 7.0, 0.1);

  const QString folder = MakeFolder(
      "planted",
      {"0|1|001.jpg", "3|2|001.jpg", "3.0004|3|002.jpg", "4|4|003.jpg", "2|5|004.jpg", "8|6|005.jpg", "13|7|006.jpg"},
      {"-0.5|0.5|0.5", "0|1.2|0.5", "1|0.5|0.5", "12.5|0.5|0.5", "12.5|0.5|x", "11|0.5|0.5"},
      {"001.jpg", "002.jpg", "003.jpg", "006.jpg"});
  test::WriteFile(JoinPath(folder, QStringLiteral("005.jpg")), QByteArray());  // there, but nothing to read
  const FolderCheck check = CheckFolder(folder);
  ASSERT_TRUE(check.readable) << check.reason.toStdString();
  QStringList expected = {
      "slides:same_picture:2",   "slides:same_time:3",      "slides:short_slide:3",    "slides:out_of_order:5",
      "slides:missing_picture:5", "slides:unreadable_picture:6", "slides:past_end:7",
      "points:before_start:1",   "points:outside_picture:2", "points:point_gap:3",      "points:past_end:4",
      "points:past_end:5",       "points:same_time:5",      "points:outside_picture:5", "points:out_of_order:6"};
  expected.sort();
  EXPECT_EQ(Keys(check.problems), expected);
  // Slides before points, each table in row order, each line naming its row and time.
  EXPECT_TRUE(std::is_sorted(check.problems.begin(), check.problems.end(), [](const Problem& a, const Problem& b) {
    return a.table != b.table ? a.table < b.table : a.row < b.row;
  }));
  const auto missing = std::find_if(check.problems.begin(), check.problems.end(),
                                    [](const Problem& p) { return p.kind == ProblemKind::MissingPicture; });
  EXPECT_EQ(ProblemLine(*missing), QStringLiteral("スライド 5（00:02.000）：画像「004.jpg」がありません"));

  // A full table: the row limit, and the limits of short slides and gaps as the options set them.
  PointArray full;
  for (int i = 0; i < MaxRecords; ++i) full[i] = PointRecord{int16_t(i + 1), i * 0.1, {}, "0.5", "0.5", {}};
  SlideArray two;
  two[0] = {1, 0, {}, {}, {}};
  two[1] = {2, 1.5, {}, {}, {}};
  EXPECT_EQ(Keys(CheckTiming({&two, 2, &full, MaxRecords}, {}, -1)),
            QStringList({"points:row_limit:3600", "slides:short_slide:1"}));
  EXPECT_EQ(Keys(CheckTiming({&two, 2, &full, 2}, {}, -1, CheckOptions{1.0, 0.05})),
            QStringList({"points:point_gap:1"}));
}

// The real executable: lines or JSON on the standard output, exit 0 / 1 / 2, and content.xml untouched.
TEST_F(CheckFolders, CommandLineReportsAndChangesNothing) {
  if (!haveVideo) GTEST_SKIP() << "ffmpeg made no FLV";
  const QString clean = CleanFolder("cli-clean");
  const QString planted = MakeFolder("cli-planted", {"0|1|001.jpg", "1|2|001.jpg"}, {"0|0.5|0.5", "20|0.5|0.5"},
                                     {"001.jpg"});
  const QString broken = MakeFolder("cli-broken", {}, {}, {});
  test::WriteFile(JoinPath(broken, QStringLiteral("content.xml")), "<content><slide>");
  const QByteArray plantedBytes = test::ReadFile(JoinPath(planted, QStringLiteral("content.xml")));

  struct Run {
    int code;
    QByteArray out, err;
  };
  const auto run = [](const QStringList& args) {
    QProcess p;
    p.start(JoinPath(QCoreApplication::applicationDirPath(), QStringLiteral("kemo-editor")),
            QStringList{QStringLiteral("--check")} + args);
    p.waitForFinished(60000);
    return Run{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
               p.readAllStandardError()};
  };
  const Run ok = run({clean});
  EXPECT_EQ(ok.code, 0) << ok.err.toStdString();
  EXPECT_EQ(ok.out, QByteArray());

  const Run lines = run({planted});
  EXPECT_EQ(lines.code, 1);
  EXPECT_EQ(QString::fromLocal8Bit(lines.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 4)
      << lines.out.toStdString();
  const Run json = run({planted, QStringLiteral("--json")});
  EXPECT_EQ(json.code, 1);
  const QJsonObject doc = QJsonDocument::fromJson(json.out).object();
  EXPECT_NEAR(doc.value(QStringLiteral("video_length")).toDouble(), 12.0, 0.1);
  const QJsonArray problems = doc.value(QStringLiteral("problems")).toArray();
  ASSERT_EQ(problems.size(), 4) << json.out.toStdString();
  const QJsonObject gap = problems.at(2).toObject();
  EXPECT_EQ(gap.value(QStringLiteral("kind")).toString(), QStringLiteral("point_gap"));
  EXPECT_EQ(gap.value(QStringLiteral("table")).toString(), QStringLiteral("points"));
  EXPECT_EQ(gap.value(QStringLiteral("row")).toInt(), 1);
  EXPECT_EQ(gap.value(QStringLiteral("time")).toDouble(), 0.0);
  EXPECT_FALSE(gap.value(QStringLiteral("detail")).toString().isEmpty());
  EXPECT_EQ(test::ReadFile(JoinPath(planted, QStringLiteral("content.xml"))), plantedBytes);

  // More rows than a table holds: read as opening reads them, the rest named on the error output.
  QStringList many;
  for (int i = 0; i <= MaxRecords; ++i) many << QStringLiteral("%1|c|").arg(i * 3);
  const Run full = run({MakeFolder("cli-many", many, {"0|0.5|0.5"}, {})});
  EXPECT_EQ(full.code, 1);
  EXPECT_TRUE(full.out.contains("row_limit") || QString::fromLocal8Bit(full.out).contains(QStringLiteral("上限")));
  EXPECT_TRUE(QString::fromLocal8Bit(full.err).contains(QString::number(MaxRecords + 1))) << full.err.toStdString();

  for (const QString& unreadable : {broken, JoinPath(dir->path(), QStringLiteral("none"))}) {
    const Run bad = run({unreadable});
    EXPECT_EQ(bad.code, 2) << unreadable.toStdString();
    EXPECT_FALSE(bad.err.isEmpty());
    EXPECT_EQ(bad.out, QByteArray());
  }
  EXPECT_EQ(run({}).code, 2);
}

// The check tab: a problem clicked selects its row and seeks the player there; its fix is one step.
TEST(TimingDialog, CheckSelectsTheRowAndFixesAsOneStep) {
  test::Window w;
  QTemporaryDir dir;
  w.OpenFolder(dir.path(), {"0|一|a.jpg", "20|二|a.jpg", "70|三|b.jpg"}, {"1|0.5|0.5", "30|0.5|0.5"});
  for (const char* name : {"a.jpg", "b.jpg"}) test::WriteJpeg(JoinPath(dir.path(), QString::fromLatin1(name)));
  Editor& ed = w.ed();
  w.player.duration = 60;
  ed.ui.frmMain->findChild<QAction*>(QStringLiteral("mnuEditTiming"))->trigger();
  auto* dialog = ed.ui.frmMain->findChild<TimingDialog*>(QStringLiteral("dlgTiming"));
  ASSERT_NE(dialog, nullptr);
  dialog->ShowTab(2);
  auto* problems = dialog->findChild<QTableWidget*>(QStringLiteral("lvProblems"));
  ASSERT_EQ(problems->rowCount(), 3);  // slide 2 same picture, slide 3 past the end, point 1 gap
  EXPECT_EQ(problems->item(1, 0)->text(), QStringLiteral("スライド 3"));
  EXPECT_EQ(problems->item(1, 1)->text(), QStringLiteral("01:10.000"));

  problems->setCurrentCell(0, 0);
  test::Pump(100);
  EXPECT_EQ(ed.RS_SLD->CurrentRow(), 1);
  ASSERT_FALSE(w.player.positionWrites.empty());
  EXPECT_EQ(w.player.positionWrites.back(), 20.0);
  problems->setCurrentCell(1, 0);
  test::Pump(100);
  EXPECT_EQ(ed.RS_SLD->CurrentRow(), 2);
  auto* fix = dialog->findChild<QPushButton*>(QStringLiteral("cbCheckFix"));
  EXPECT_TRUE(fix->text().startsWith(QStringLiteral("動画の終わりより後を削除")));
  EXPECT_EQ(dialog->findChild<QTableWidget*>(QStringLiteral("lvFixPreview"))->rowCount(), 1);
  const int steps = ed.history->Index();
  fix->click();
  EXPECT_EQ(ed.SldCnt, 2);
  EXPECT_EQ(ed.history->Index(), steps + 1);
  EXPECT_EQ(ed.ui.mnuEditUndo->text(), QStringLiteral("元に戻す：時間調整"));
  EXPECT_EQ(problems->rowCount(), 2);
  dialog->close();
}

// "Move row N to a time" and "move row N to the playback position" through the dialog's fields:
// the offset is the row's distance to the target, applied to the chosen rows as one step; a row
// that is not there or a time that does not parse is named and changes nothing.
TEST(TimingDialog, MovesARowToATimeOrToThePlaybackPosition) {
  struct Case {
    int mode, rowTable, row;
    const char* time;
    double position;
    std::vector<double> slides, points;
    const char* refusal;
  };
  const Case cases[] = {
      {1, 0, 2, "00:25.000", 0, {5, 25, 45}, {6, 35}, nullptr},            // slide 2 from 20 s to 25 s
      {2, 1, 2, "", 27.5, {}, {}, "スライド 1（00:00.000 → -00:02.500）が0秒より前"},  // before the start
      {2, 1, 1, "", 3.25, {2.25, 22.25, 42.25}, {3.25, 32.25}, nullptr},    // point 1 to the player's 3.25 s
      {1, 0, 4, "00:25.000", 0, {0, 20, 40}, {1, 30}, "スライド 4"},         // no such row
      {1, 0, 1, "12:xx", 0, {0, 20, 40}, {1, 30}, "「12:xx」"},             // not a time
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode * 100 + c.row);
    test::Window w;
    QTemporaryDir dir;
    w.OpenFolder(dir.path(), {"0|一|a.jpg", "20|二|b.jpg", "40|三|c.jpg"}, {"1|0.5|0.5", "30|0.5|0.5"});
    Editor& ed = w.ed();
    w.player.duration = 120;
    w.player.SetPositionNow(c.position);
    ed.ui.frmMain->findChild<QAction*>(QStringLiteral("mnuEditTiming"))->trigger();
    auto* dialog = ed.ui.frmMain->findChild<TimingDialog*>(QStringLiteral("dlgTiming"));
    ASSERT_NE(dialog, nullptr);
    dialog->ShowTab(0);
    dialog->findChild<QComboBox*>(QStringLiteral("cbShiftTarget"))->setCurrentIndex(2);  // both
    dialog->findChild<QComboBox*>(QStringLiteral("cbShiftMode"))->setCurrentIndex(c.mode);
    dialog->findChild<QComboBox*>(QStringLiteral("cbShiftRowTable"))->setCurrentIndex(c.rowTable);
    dialog->findChild<QSpinBox*>(QStringLiteral("txtShiftRow"))->setValue(c.row);
    if (c.mode == 1) dialog->findChild<QLineEdit*>(QStringLiteral("txtShiftTime"))->setText(QString::fromUtf8(c.time));
    const QString info = dialog->findChild<QLabel*>(QStringLiteral("lbShiftInfo"))->text();
    const int steps = ed.history->Index();
    dialog->findChild<QPushButton*>(QStringLiteral("cbShiftApply"))->click();
    test::Pump(50);
    if (c.refusal) {
      EXPECT_TRUE(info.contains(QString::fromUtf8(c.refusal))) << info.toStdString();
      EXPECT_EQ(ed.history->Index(), steps);
      EXPECT_EQ(ed.Sld[1].pos, 20.0);
      EXPECT_EQ(ed.Cur[1].t, 30.0);
    } else {
      EXPECT_EQ(info, QStringLiteral("5行が変わります。"));
      EXPECT_EQ(ed.history->Index(), steps + 1);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(ed.Sld[i].pos, c.slides[i]) << "slide " << i + 1;
      for (int i = 0; i < 2; ++i) EXPECT_EQ(ed.Cur[i].t, c.points[i]) << "point " << i + 1;
    }
    dialog->close();
  }
}

// The anchors typed in the dialog stay with their folder (in the user's state, nothing written into
// the data folder) until cleared; the stretch they describe is one step.
TEST(TimingDialog, AnchorsKeptPerFolderUntilCleared) {
  test::HistoryWindow hw(8, 4);
  Editor& ed = hw.ed;
  const QStringList files = QDir(hw.folder).entryList(QDir::Files | QDir::Hidden);
  ed.ui.frmMain->findChild<QAction*>(QStringLiteral("mnuEditTiming"))->trigger();
  auto* dialog = ed.ui.frmMain->findChild<TimingDialog*>(QStringLiteral("dlgTiming"));
  dialog->ShowTab(1);
  auto* anchors = dialog->findChild<QTableWidget*>(QStringLiteral("dgAnchors"));
  auto* add = dialog->findChild<QPushButton*>(QStringLiteral("cbAnchorAdd"));
  dialog->findChild<QComboBox*>(QStringLiteral("cbStretchTarget"))->setCurrentIndex(0);
  ed.RS_SLD->MoveTo(1);
  add->click();
  ed.RS_SLD->MoveTo(3);
  add->click();
  anchors->item(1, 2)->setText(QStringLiteral("00:10.000"));  // slide 4: 6 s → 10 s
  ASSERT_EQ(LoadAnchors(hw.folder).size(), 2u);
  EXPECT_EQ(LoadAnchors(hw.folder)[1].trueTime, 10.0);
  EXPECT_EQ(QDir(hw.folder).entryList(QDir::Files | QDir::Hidden), files);
  // Slide 3 halfway between the anchors; slide 1, before them, moves as the first (not at all).
  EXPECT_EQ(dialog->findChild<QTableWidget*>(QStringLiteral("lvStretchPreview"))->rowCount(), 2);
  dialog->findChild<QPushButton*>(QStringLiteral("cbStretchApply"))->click();
  EXPECT_EQ(ed.Sld[2].pos, 6.0);
  EXPECT_EQ(ed.Sld[3].pos, 10.0);
  EXPECT_EQ(ed.ui.mnuEditUndo->text(), QStringLiteral("元に戻す：時間調整"));
  dialog->findChild<QPushButton*>(QStringLiteral("cbAnchorClear"))->click();
  EXPECT_TRUE(LoadAnchors(hw.folder).empty());
  dialog->close();
}

}  // namespace
