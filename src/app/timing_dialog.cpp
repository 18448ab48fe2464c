#include "app/timing_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "document/editor.h"
#include "platform/data_grid.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "document/time_text.h"
#include "points/points.h"
#include "slides/slide_display.h"
#include "timing/adjust.h"
#include "timing/check.h"

namespace kemo {

namespace {

// The preview shows at most this many rows; the count says how many change.
constexpr int kPreviewRows = 1000;

QString DifferenceText(double d) {
  const long long ms = RoundToWholeMilliseconds(d);
  return (ms < 0 ? QStringLiteral("-") : QStringLiteral("+")) + FormatTimeText(std::llabs(ms) / 1000.0);
}

QTableWidget* MakeTable(QWidget* parent, const QString& name, const QStringList& headers) {
  auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  t->setObjectName(name);
  t->setHorizontalHeaderLabels(headers);
  t->verticalHeader()->hide();
  t->horizontalHeader()->setStretchLastSection(true);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return t;
}

QTableWidgetItem* Cell(const QString& text) { return new QTableWidgetItem(text); }

QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->addItems(items);
  return c;
}

TimingTarget TargetOf(const QComboBox* c) {
  return c->currentIndex() == 0 ? TimingTarget::Slides : c->currentIndex() == 1 ? TimingTarget::Points : TimingTarget::Both;
}

// The rows selected in a grid (its current row when none is).
std::vector<int> SelectedRows(DataGrid* grid) {
  std::set<int> rows;
  if (grid && grid->selectionModel())
    for (const QModelIndex& i : grid->selectionModel()->selectedIndexes()) rows.insert(i.row());
  if (rows.empty() && grid && grid->Bound() && grid->Bound()->RecordCount() > 0) rows.insert(grid->Bound()->CurrentRow());
  return {rows.begin(), rows.end()};
}

int CurrentRow(RecordSet* rs) { return rs && rs->RecordCount() > 0 ? rs->CurrentRow() : -1; }

}  // namespace

struct TimingDialog::Parts {
  Editor& ed;
  QTabWidget* tabs = nullptr;
  // ずらす
  QComboBox *cbShiftTarget, *cbShiftScope, *cbShiftMode, *cbShiftRowTable;
  QLineEdit *txtShiftOffset, *txtShiftTime;
  QSpinBox* txtShiftRow;
  QLabel* lbShiftInfo;
  QTableWidget* lvShiftPreview;
  QPushButton* cbShiftApply;
  // 伸縮
  QComboBox* cbStretchTarget;
  QTableWidget* dgAnchors;
  QLabel* lbStretchInfo;
  QTableWidget* lvStretchPreview;
  QPushButton* cbStretchApply;
  QString anchorsFolder;
  bool fillingAnchors = false;
  // チェック
  QDoubleSpinBox *spShortSlide, *spPointGap;
  QTableWidget* lvProblems;
  QLabel* lbCheckInfo;
  QTableWidget* lvFixPreview;
  QPushButton* cbCheckFix;
  std::vector<Problem> problems;

  explicit Parts(Editor& e) : ed(e) {}

  double VideoLength() const {
    const double d = ed.svc.player ? ed.svc.player->Duration() : 0;
    return d > 0 ? d : ReadVideoLength(ed.DataFolder);
  }
  double Position() const { return ed.svc.player ? CutToMilliseconds(ed.svc.player->CurrentPosition()) : 0; }
  TimingTable AnchorTable() const {
    return TargetOf(cbStretchTarget) == TimingTarget::Points ? TimingTable::Points : TimingTable::Slides;
  }
  int Count(TimingTable t) const { return t == TimingTable::Slides ? ed.SldCnt : ed.CurCnt; }
  double TimeOf(TimingTable t, int slot) const { return t == TimingTable::Slides ? ed.Sld[slot].pos : ed.Cur[slot].t; }

  void ShowPlan(QTableWidget* view, QLabel* info, QPushButton* apply, const TimingPlan& plan) {
    view->setUpdatesEnabled(false);
    const int shown = std::min<int>(static_cast<int>(plan.rows.size()), kPreviewRows);
    view->setRowCount(shown);
    for (int i = 0; i < shown; ++i) {
      const PlanRow& r = plan.rows[i];
      view->setItem(i, 0, Cell(RowName(r.table, r.row)));
      view->setItem(i, 1, Cell(FormatTimeText(r.oldTime)));
      view->setItem(i, 2, Cell(r.removed ? QStringLiteral("削除") : FormatTimeText(r.newTime)));
      view->setItem(i, 3, Cell(r.removed ? QString() : DifferenceText(r.newTime - r.oldTime)));
    }
    view->setUpdatesEnabled(true);
    QString text = plan.Ok() ? QString::number(plan.rows.size()) + QStringLiteral("行が変わります。") : plan.error;
    info->setText(text);
    info->setStyleSheet(plan.Ok() ? QString() : QStringLiteral("color: #c00000;"));
    // A wrong field leaves 適用 enabled: pressing it names the field in a message.
    apply->setEnabled(!plan.Ok() || !plan.rows.empty());
  }

  // --- ずらす ---
  // The request the fields describe; "" or the message naming the field that is wrong.
  QString ShiftRequestOf(ShiftRequest* r) const {
    r->target = TargetOf(cbShiftTarget);
    r->scope = static_cast<TimingScope>(cbShiftScope->currentIndex());
    r->selectedSlides = SelectedRows(ed.ui.dgSlide);
    r->selectedPoints = SelectedRows(ed.ui.dgCursor);
    if (r->scope == TimingScope::FromSelected) {
      const bool slides = Includes(r->target, TimingTable::Slides);
      const int row = CurrentRow(slides ? ed.RS_SLD : ed.RS_CUR);
      const TimingTable t = slides ? TimingTable::Slides : TimingTable::Points;
      if (row < 0 || row >= Count(t)) return QStringLiteral("範囲：選択した行がありません。");
      r->fromTime = TimeOf(t, row);
    }
    const int mode = cbShiftMode->currentIndex();
    if (mode == 0) {
      if (!ParseOffsetText(txtShiftOffset->text(), &r->offset))
        return QStringLiteral("ずらす量「") + txtShiftOffset->text() +
               QStringLiteral("」は時間ではありません（±mm:ss.fff の形で入力してください）。");
      return {};
    }
    const TimingTable t = cbShiftRowTable->currentIndex() == 0 ? TimingTable::Slides : TimingTable::Points;
    const int row = txtShiftRow->value();
    if (row < 1 || row > Count(t))
      return QStringLiteral("行：") + RowName(t, row) + QStringLiteral("がありません。");
    double target = Position();
    if (mode == 1 && !ParseTimeField(txtShiftTime->text(), &target))
      return QStringLiteral("時間「") + txtShiftTime->text() +
             QStringLiteral("」は時間ではありません（mm:ss.fff の形で入力してください）。");
    r->offset = target - TimeOf(t, row - 1);
    return {};
  }
  TimingPlan ShiftPlan() const {
    ShiftRequest r;
    TimingPlan plan;
    plan.error = ShiftRequestOf(&r);
    return plan.Ok() ? PlanShift(TablesOf(ed), r, VideoLength()) : plan;
  }
  void RefreshShift() {
    const int mode = cbShiftMode->currentIndex();
    txtShiftOffset->setEnabled(mode == 0);
    cbShiftRowTable->setEnabled(mode != 0);
    txtShiftRow->setEnabled(mode != 0);
    txtShiftTime->setEnabled(mode == 1);
    ShowPlan(lvShiftPreview, lbShiftInfo, cbShiftApply, ShiftPlan());
  }

  // --- 伸縮 ---
  // The anchors as the table holds them; "" or the message naming the field that is wrong.
  QString AnchorsOf(std::vector<Anchor>* anchors) const {
    for (int i = 0; i < dgAnchors->rowCount(); ++i) {
      const QString name = QStringLiteral("基準点 ") + QString::number(i + 1);
      const QString rowText = dgAnchors->item(i, 0) ? dgAnchors->item(i, 0)->text() : QString();
      const QString timeText = dgAnchors->item(i, 2) ? dgAnchors->item(i, 2)->text() : QString();
      Anchor a;
      a.table = AnchorTable();
      bool ok = false;
      a.row = rowText.trimmed().toInt(&ok);
      if (!ok) return name + QStringLiteral("の行「") + rowText + QStringLiteral("」は行番号ではありません。");
      if (!ParseTimeField(timeText, &a.trueTime))
        return name + QStringLiteral("の正しい時間「") + timeText +
               QStringLiteral("」は時間ではありません（mm:ss.fff の形で入力してください）。");
      anchors->push_back(a);
    }
    return {};
  }
  void FillAnchors(const std::vector<Anchor>& anchors) {
    fillingAnchors = true;
    dgAnchors->setRowCount(static_cast<int>(anchors.size()));
    for (int i = 0; i < static_cast<int>(anchors.size()); ++i) {
      const Anchor& a = anchors[i];
      dgAnchors->setItem(i, 0, Cell(QString::number(a.row)));
      auto* now = Cell(a.row >= 1 && a.row <= Count(a.table) ? FormatTimeText(TimeOf(a.table, a.row - 1))
                                                                : QStringLiteral("（行なし）"));
      now->setFlags(now->flags() & ~Qt::ItemIsEditable);
      dgAnchors->setItem(i, 1, now);
      dgAnchors->setItem(i, 2, Cell(FormatTimeText(a.trueTime)));
    }
    fillingAnchors = false;
  }
  TimingPlan StretchPlan() const {
    std::vector<Anchor> anchors;
    TimingPlan plan;
    plan.error = AnchorsOf(&anchors);
    return plan.Ok() ? PlanStretch(TablesOf(ed), TargetOf(cbStretchTarget), anchors, VideoLength()) : plan;
  }
  void RefreshStretch() {
    if (anchorsFolder != ed.DataFolder) {
      anchorsFolder = ed.DataFolder;
      FillAnchors(LoadAnchors(anchorsFolder));
    }
    std::vector<Anchor> anchors;
    const bool valid = AnchorsOf(&anchors).isEmpty();
    if (valid && !anchorsFolder.isEmpty()) SaveAnchors(anchorsFolder, anchors);
    // The rows' present times.
    fillingAnchors = true;
    for (int i = 0; i < dgAnchors->rowCount(); ++i) {
      const int row = dgAnchors->item(i, 0) ? dgAnchors->item(i, 0)->text().trimmed().toInt() : 0;
      const TimingTable t = AnchorTable();
      if (QTableWidgetItem* now = dgAnchors->item(i, 1))
        now->setText(row >= 1 && row <= Count(t) ? FormatTimeText(TimeOf(t, row - 1)) : QStringLiteral("（行なし）"));
    }
    fillingAnchors = false;
    ShowPlan(lvStretchPreview, lbStretchInfo, cbStretchApply, StretchPlan());
  }
  void AddAnchor() {
    const TimingTable t = AnchorTable();
    const int row = CurrentRow(t == TimingTable::Slides ? ed.RS_SLD : ed.RS_CUR);
    if (row < 0 || row >= Count(t)) return;
    const int at = dgAnchors->rowCount();
    fillingAnchors = true;
    dgAnchors->insertRow(at);
    dgAnchors->setItem(at, 0, Cell(QString::number(row + 1)));
    auto* now = Cell(QString());
    now->setFlags(now->flags() & ~Qt::ItemIsEditable);
    dgAnchors->setItem(at, 1, now);
    dgAnchors->setItem(at, 2, Cell(FormatTimeText(TimeOf(t, row))));
    fillingAnchors = false;
    dgAnchors->setCurrentCell(at, 2);
    RefreshStretch();
  }

  // --- チェック ---
  CheckOptions Options() const { return CheckOptions{spShortSlide->value(), spPointGap->value()}; }
  void RefreshCheck() {
    const CheckTables tables = TablesOf(ed);
    problems = CheckTiming(tables, ReadPictureStates(ed.DataFolder, tables.slides, tables.slideCount), VideoLength(),
                           Options());
    lvProblems->setUpdatesEnabled(false);
    lvProblems->setRowCount(static_cast<int>(problems.size()));
    for (int i = 0; i < static_cast<int>(problems.size()); ++i) {
      const Problem& p = problems[i];
      lvProblems->setItem(i, 0, Cell(RowName(p.table, p.row)));
      lvProblems->setItem(i, 1, Cell(FormatTimeText(p.time)));
      lvProblems->setItem(i, 2, Cell(p.detail));
    }
    lvProblems->setUpdatesEnabled(true);
    lbCheckInfo->setText(problems.empty() ? QStringLiteral("問題は見つかりませんでした。")
                                          : QString::number(problems.size()) + QStringLiteral("件の問題があります。"));
    ShowFix(-1);
  }
  void ShowFix(int index) {
    const Problem* p = index >= 0 && index < static_cast<int>(problems.size()) ? &problems[index] : nullptr;
    const CheckFix fix = p ? FixFor(p->kind) : CheckFix::None;
    cbCheckFix->setText(fix == CheckFix::None ? QStringLiteral("修正(&F)") : FixName(fix) + QStringLiteral("(&F)"));
    TimingPlan plan = fix == CheckFix::None ? TimingPlan{} : PlanFix(TablesOf(ed), fix, p->table, VideoLength());
    QLabel scratch;
    ShowPlan(lvFixPreview, &scratch, cbCheckFix, plan);
  }
  void GoToProblem(int index) {
    if (index < 0 || index >= static_cast<int>(problems.size())) return;
    const Problem p = problems[index];
    ShowFix(index);
    if (p.table == TimingTable::Slides && ed.RS_SLD && p.row <= ed.RS_SLD->RecordCount()) {
      ed.RS_SLD->MoveTo(p.row - 1);
      OnSlideGridMouseUp(ed, 1, 0, 0, 0);
    } else if (p.table == TimingTable::Points && ed.RS_CUR && p.row <= ed.RS_CUR->RecordCount()) {
      ed.RS_CUR->MoveTo(p.row - 1);
      GoToPoint(ed);
    }
  }

  // Applies through `apply` when the state allows it; every tab is then made afresh.
  bool Allowed() {
    if (TimeChangeAllowed(ed)) return true;
    Tell(ed, QStringLiteral("再生中、マウスポイントの記録中、スライドの編集中は時間を調整できません。"), MsgIcon::Critical);
    return false;
  }
};

TimingDialog::TimingDialog(Editor& ed, QWidget* parent) : QDialog(parent), p_(std::make_unique<Parts>(ed)) {
  Parts& p = *p_;
  setObjectName(QStringLiteral("dlgTiming"));
  setWindowTitle(kAppTitle);
  auto* layout = new QVBoxLayout(this);
  p.tabs = new QTabWidget(this);
  p.tabs->setObjectName(QStringLiteral("tabTiming"));
  layout->addWidget(p.tabs);
  const QStringList targets = {QStringLiteral("スライド"), QStringLiteral("マウスポイント"), QStringLiteral("両方")};
  const QStringList previewHeaders = {QStringLiteral("行"), QStringLiteral("変更前"), QStringLiteral("変更後"),
                                      QStringLiteral("差")};

  // ずらす
  auto* shift = new QWidget;
  auto* shiftForm = new QFormLayout;
  p.cbShiftTarget = MakeCombo(shift, QStringLiteral("cbShiftTarget"), targets);
  p.cbShiftScope = MakeCombo(shift, QStringLiteral("cbShiftScope"),
                             {QStringLiteral("すべての行"), QStringLiteral("選択した行"),
                              QStringLiteral("選択した行から後（時間順）")});
  p.cbShiftMode = MakeCombo(shift, QStringLiteral("cbShiftMode"),
                            {QStringLiteral("ずらす量を指定"), QStringLiteral("行を指定の時間へ"),
                             QStringLiteral("行を再生位置へ")});
  p.txtShiftOffset = new QLineEdit(QStringLiteral("+00:00.000"), shift);
  p.txtShiftOffset->setObjectName(QStringLiteral("txtShiftOffset"));
  p.cbShiftRowTable = MakeCombo(shift, QStringLiteral("cbShiftRowTable"), {targets[0], targets[1]});
  p.txtShiftRow = new QSpinBox(shift);
  p.txtShiftRow->setObjectName(QStringLiteral("txtShiftRow"));
  p.txtShiftRow->setRange(1, MaxRecords);
  p.txtShiftTime = new QLineEdit(QStringLiteral("00:00.000"), shift);
  p.txtShiftTime->setObjectName(QStringLiteral("txtShiftTime"));
  auto* rowLine = new QHBoxLayout;
  rowLine->addWidget(p.cbShiftRowTable);
  rowLine->addWidget(p.txtShiftRow);
  auto label = [](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
  };
  shiftForm->addRow(label(QStringLiteral("対象(&W):"), p.cbShiftTarget), p.cbShiftTarget);
  shiftForm->addRow(label(QStringLiteral("範囲(&R):"), p.cbShiftScope), p.cbShiftScope);
  shiftForm->addRow(label(QStringLiteral("方法(&M):"), p.cbShiftMode), p.cbShiftMode);
  shiftForm->addRow(label(QStringLiteral("ずらす量(&O):"), p.txtShiftOffset), p.txtShiftOffset);
  shiftForm->addRow(label(QStringLiteral("行(&N):"), p.txtShiftRow), rowLine);
  shiftForm->addRow(label(QStringLiteral("時間(&I):"), p.txtShiftTime), p.txtShiftTime);
  p.lbShiftInfo = new QLabel(shift);
  p.lbShiftInfo->setObjectName(QStringLiteral("lbShiftInfo"));
  p.lvShiftPreview = MakeTable(shift, QStringLiteral("lvShiftPreview"), previewHeaders);
  p.cbShiftApply = new QPushButton(QStringLiteral("適用(&A)"), shift);
  p.cbShiftApply->setObjectName(QStringLiteral("cbShiftApply"));
  auto* shiftBox = new QVBoxLayout(shift);
  shiftBox->addLayout(shiftForm);
  shiftBox->addWidget(p.lbShiftInfo);
  shiftBox->addWidget(p.lvShiftPreview);
  shiftBox->addWidget(p.cbShiftApply, 0, Qt::AlignRight);
  p.tabs->addTab(shift, QStringLiteral("ずらす(&S)"));

  // 伸縮
  auto* stretch = new QWidget;
  p.cbStretchTarget = MakeCombo(stretch, QStringLiteral("cbStretchTarget"), targets);
  p.cbStretchTarget->setCurrentIndex(2);
  p.dgAnchors = MakeTable(stretch, QStringLiteral("dgAnchors"),
                          {QStringLiteral("行"), QStringLiteral("今の時間"), QStringLiteral("正しい時間")});
  p.dgAnchors->setEditTriggers(QAbstractItemView::AllEditTriggers);
  p.dgAnchors->setSelectionBehavior(QAbstractItemView::SelectItems);
  p.dgAnchors->setMaximumHeight(140);
  auto* addAnchor = new QPushButton(QStringLiteral("選択した行を追加(&D)"), stretch);
  addAnchor->setObjectName(QStringLiteral("cbAnchorAdd"));
  auto* fromPlayer = new QPushButton(QStringLiteral("再生位置を正しい時間に(&P)"), stretch);
  fromPlayer->setObjectName(QStringLiteral("cbAnchorFromPlayer"));
  auto* removeAnchor = new QPushButton(QStringLiteral("削除(&X)"), stretch);
  removeAnchor->setObjectName(QStringLiteral("cbAnchorDelete"));
  auto* clearAnchors = new QPushButton(QStringLiteral("すべてクリア(&L)"), stretch);
  clearAnchors->setObjectName(QStringLiteral("cbAnchorClear"));
  auto* anchorButtons = new QHBoxLayout;
  for (QPushButton* b : {addAnchor, fromPlayer, removeAnchor, clearAnchors}) anchorButtons->addWidget(b);
  p.lbStretchInfo = new QLabel(stretch);
  p.lbStretchInfo->setObjectName(QStringLiteral("lbStretchInfo"));
  p.lbStretchInfo->setWordWrap(true);
  p.lvStretchPreview = MakeTable(stretch, QStringLiteral("lvStretchPreview"), previewHeaders);
  p.cbStretchApply = new QPushButton(QStringLiteral("適用(&A)"), stretch);
  p.cbStretchApply->setObjectName(QStringLiteral("cbStretchApply"));
  auto* stretchBox = new QVBoxLayout(stretch);
  auto* stretchForm = new QFormLayout;
  stretchForm->addRow(label(QStringLiteral("対象(&W):"), p.cbStretchTarget), p.cbStretchTarget);
  stretchBox->addLayout(stretchForm);
  stretchBox->addWidget(new QLabel(QStringLiteral("基準点（行と正しい時間。2つ以上）:")));
  stretchBox->addWidget(p.dgAnchors);
  stretchBox->addLayout(anchorButtons);
  stretchBox->addWidget(p.lbStretchInfo);
  stretchBox->addWidget(p.lvStretchPreview);
  stretchBox->addWidget(p.cbStretchApply, 0, Qt::AlignRight);
  p.tabs->addTab(stretch, QStringLiteral("伸縮(&T)"));

  // チェック
  auto* check = new QWidget;
  p.spShortSlide = new QDoubleSpinBox(check);
  p.spShortSlide->setObjectName(QStringLiteral("spShortSlide"));
  p.spShortSlide->setRange(0, 3600);
  p.spShortSlide->setValue(2.0);
  p.spPointGap = new QDoubleSpinBox(check);
  p.spPointGap->setObjectName(QStringLiteral("spPointGap"));
  p.spPointGap->setRange(0, 3600);
  p.spPointGap->setValue(10.0);
  auto* checkForm = new QFormLayout;
  checkForm->addRow(label(QStringLiteral("短いスライド（秒未満）(&H):"), p.spShortSlide), p.spShortSlide);
  checkForm->addRow(label(QStringLiteral("マウスポイントの空白（秒超）(&G):"), p.spPointGap), p.spPointGap);
  p.lbCheckInfo = new QLabel(check);
  p.lbCheckInfo->setObjectName(QStringLiteral("lbCheckInfo"));
  p.lvProblems = MakeTable(check, QStringLiteral("lvProblems"),
                           {QStringLiteral("行"), QStringLiteral("時間"), QStringLiteral("問題")});
  p.lvFixPreview = MakeTable(check, QStringLiteral("lvFixPreview"), previewHeaders);
  p.lvFixPreview->setMaximumHeight(120);
  auto* recheck = new QPushButton(QStringLiteral("再チェック(&K)"), check);
  recheck->setObjectName(QStringLiteral("cbCheckRun"));
  p.cbCheckFix = new QPushButton(QStringLiteral("修正(&F)"), check);
  p.cbCheckFix->setObjectName(QStringLiteral("cbCheckFix"));
  auto* checkButtons = new QHBoxLayout;
  checkButtons->addWidget(recheck);
  checkButtons->addStretch();
  checkButtons->addWidget(p.cbCheckFix);
  auto* checkBox = new QVBoxLayout(check);
  checkBox->addLayout(checkForm);
  checkBox->addWidget(p.lbCheckInfo);
  checkBox->addWidget(p.lvProblems);
  checkBox->addWidget(p.lvFixPreview);
  checkBox->addLayout(checkButtons);
  p.tabs->addTab(check, QStringLiteral("チェック(&C)"));

  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  close->setObjectName(QStringLiteral("cbTimingClose"));
  layout->addWidget(close, 0, Qt::AlignRight);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  resize(560, 620);

  // Every field makes its tab's preview afresh.
  for (QComboBox* c : {p.cbShiftTarget, p.cbShiftScope, p.cbShiftMode, p.cbShiftRowTable})
    connect(c, &QComboBox::currentIndexChanged, this, [&p] { p.RefreshShift(); });
  for (QLineEdit* e : {p.txtShiftOffset, p.txtShiftTime})
    connect(e, &QLineEdit::textChanged, this, [&p] { p.RefreshShift(); });
  connect(p.txtShiftRow, &QSpinBox::valueChanged, this, [&p] { p.RefreshShift(); });
  connect(p.cbStretchTarget, &QComboBox::currentIndexChanged, this, [&p] { p.RefreshStretch(); });
  connect(p.dgAnchors, &QTableWidget::itemChanged, this, [&p] {
    if (!p.fillingAnchors) p.RefreshStretch();
  });
  connect(addAnchor, &QPushButton::clicked, this, [&p] { p.AddAnchor(); });
  connect(fromPlayer, &QPushButton::clicked, this, [&p] {
    const int row = p.dgAnchors->currentRow();
    if (row >= 0) p.dgAnchors->setItem(row, 2, Cell(FormatTimeText(p.Position())));
    p.RefreshStretch();
  });
  connect(removeAnchor, &QPushButton::clicked, this, [&p] {
    if (p.dgAnchors->currentRow() >= 0) p.dgAnchors->removeRow(p.dgAnchors->currentRow());
    p.RefreshStretch();
  });
  connect(clearAnchors, &QPushButton::clicked, this, [&p] {
    p.dgAnchors->setRowCount(0);
    p.RefreshStretch();
  });
  for (QDoubleSpinBox* s : {p.spShortSlide, p.spPointGap})
    connect(s, &QDoubleSpinBox::valueChanged, this, [&p] { p.RefreshCheck(); });
  connect(recheck, &QPushButton::clicked, this, [&p] { p.RefreshCheck(); });
  connect(p.lvProblems, &QTableWidget::currentCellChanged, this, [&p](int row) { p.GoToProblem(row); });
  connect(p.lvProblems, &QTableWidget::cellClicked, this, [&p](int row) { p.GoToProblem(row); });

  // 適用: the plan made afresh from the tables as they are now; a wrong field is named in a message.
  connect(p.cbShiftApply, &QPushButton::clicked, this, [this, &p] {
    const TimingPlan plan = p.ShiftPlan();
    if (!plan.Ok()) return Tell(p.ed, plan.error, MsgIcon::Critical);
    if (p.Allowed() && ApplyTimingPlan(p.ed, plan)) Refresh();
  });
  connect(p.cbStretchApply, &QPushButton::clicked, this, [this, &p] {
    const TimingPlan plan = p.StretchPlan();
    if (!plan.Ok()) return Tell(p.ed, plan.error, MsgIcon::Critical);
    if (p.Allowed() && ApplyTimingPlan(p.ed, plan)) Refresh();
  });
  connect(p.cbCheckFix, &QPushButton::clicked, this, [this, &p] {
    const int index = p.lvProblems->currentRow();
    if (index < 0 || index >= static_cast<int>(p.problems.size())) return;
    const Problem problem = p.problems[index];
    if (p.Allowed() && ApplyCheckFix(p.ed, FixFor(problem.kind), problem.table, p.VideoLength())) Refresh();
  });
  connect(p.tabs, &QTabWidget::currentChanged, this, [this] { Refresh(); });
}

TimingDialog::~TimingDialog() = default;

void TimingDialog::Refresh() {
  p_->RefreshShift();
  p_->RefreshStretch();
  if (p_->tabs->currentIndex() == 2) p_->RefreshCheck();
}

void TimingDialog::ShowTab(int tab) {
  p_->tabs->setCurrentIndex(tab);
  Refresh();
  if (tab == 0) {
    p_->txtShiftOffset->setFocus();
    p_->txtShiftOffset->selectAll();
  }
}

void WireTiming(Editor& ed) {
  QMenu* menu = ed.ui.mnuEdit;
  if (!menu) return;
  auto* item = menu->addAction(QStringLiteral("時間調整(&T)…"));
  item->setObjectName(QStringLiteral("mnuEditTiming"));
  item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  item->setShortcutContext(Qt::ApplicationShortcut);
  item->setEnabled(TimeChangeAllowed(ed));
  // Enabled with the registered edits: the mode refresh and the menu's opening set it.
  ed.RefreshHook = [previous = ed.RefreshHook, item](Editor& e) {
    if (previous) previous(e);
    item->setEnabled(TimeChangeAllowed(e));
  };
  Editor* e = &ed;
  QObject::connect(menu, &QMenu::aboutToShow, item, [e, item] { item->setEnabled(TimeChangeAllowed(*e)); });
  QObject::connect(item, &QAction::triggered, item, [e] {
    if (!TimeChangeAllowed(*e)) return;
    QWidget* owner = e->ui.frmMain;
    auto* dialog = owner ? owner->findChild<TimingDialog*>(QStringLiteral("dlgTiming")) : nullptr;
    if (!dialog) dialog = new TimingDialog(*e, owner);
    dialog->ShowTab(0);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
  });
}

}  // namespace kemo
