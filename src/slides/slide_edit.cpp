// Slide editing on a working copy: opening and closing the panel, the layout of its grid, the
// registration of the copy, and the grid's record-set, key and mouse events.
#include "slides/slide_edit.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>

#include "document/editor.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/twips.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "slides/slide_display.h"
#include "slides/slide_image.h"
#include "slides/slide_rows.h"
#include "slides/slides_state.h"

namespace kemo {

namespace {


// The working grid's columns: width in twips, alignment, and whether the user may edit them.
struct ColumnLayout {
  double width;
  Qt::Alignment alignment;
  bool locked;
};
constexpr ColumnLayout kColumns[] = {
    {540, Qt::AlignHCenter, true},  // wide enough for 3600
    {1200, Qt::AlignLeft, true},
    {4500, Qt::AlignLeft, false},
    {2500, Qt::AlignLeft, false},
};
constexpr double kRowHeight = 250;
constexpr double kGridHeight = 1875;
constexpr double kGridMargin = 435;  // border and scroll bar beside the columns: 9175 in all
constexpr int kImageColumn = 3;

bool Editing(const Editor& ed) {
  return ed.EditorState == State::EditPaused || ed.EditorState == State::EditPlaying;
}

// Locks and alignments live in the record set and go with each rebuild; they are laid on again
// after every reset so that "ID" and "時間" can never be typed over.
void ApplyWorkingColumns(Editor& ed) {
  RecordSet* rs = ed.RS_SLDEDT;
  if (!rs) return;
  for (int c = 0; c < 4; ++c) {
    rs->SetLocked(c, kColumns[c].locked);
    rs->SetAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
  }
}

// The working slide a grid row stands for: the slot its "ID" names, when that is a valid record.
SlideRecord* WorkingSlideOfRow(Editor& ed, int row) {
  if (!ed.RS_SLDEDT) return nullptr;
  bool ok = false;
  const int id = ed.RS_SLDEDT->FieldAt(row, ed.RS_SLDEDT->ColumnIndex(SlideColumn::Id)).toString().trimmed().toInt(&ok);
  if (!ok || id < 1 || id > ed.SldEdtCnt || id > MaxRecords) return nullptr;
  return &ed.SldEdt[id - 1];
}

QString WorkingText(const Editor& ed, int row, const QString& column) {
  return ed.RS_SLDEDT ? ed.RS_SLDEDT->FieldAt(row, ed.RS_SLDEDT->ColumnIndex(column)).toString() : QString();
}

// The image cell of the current row carries the drop-down button that opens the picture list (the
// grid reacts to a press on the square at the cell's right end).
class ImageCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (!view || view->currentIndex().row() != index.row()) return;
    QStyle* style = view->style();
    const int side = option.rect.height();
    const QRect square(option.rect.right() - side + 1, option.rect.top(), side, side);
    QStyleOptionButton button;
    button.rect = square;
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    button.palette = option.palette;
    style->drawControl(QStyle::CE_PushButtonBevel, &button, painter, option.widget);
    QStyleOption arrow;
    arrow.rect = square.adjusted(side / 4, side / 4, -side / 4, -side / 4);
    arrow.state = QStyle::State_Enabled;
    arrow.palette = option.palette;
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, option.widget);
  }
};

}  // namespace

bool IsSlideEditUnchanged(const Editor& ed) {
  if (ed.SldEdtCnt < 1) return true;
  if (ed.SldCnt != ed.SldEdtCnt) return false;
  for (int i = 0; i < ed.SldEdtCnt; ++i) {
    const SlideRecord& a = ed.Sld[i];
    const SlideRecord& b = ed.SldEdt[i];
    if (a.pos != b.pos || a.timeText != b.timeText || a.caption != b.caption || a.image != b.image) return false;
  }
  return true;
}

bool IsSlideEditPanelShown(const Editor& ed) { return ed.ui.fDialog[1] && !ed.ui.fDialog[1]->isHidden(); }

bool HasUnregisteredSlideEdit(const Editor& ed) { return IsSlideEditPanelShown(ed) && !IsSlideEditUnchanged(ed); }

void OpenOrCloseSlideEdit(Editor& ed) {
  if (Editing(ed)) {
    EndSlideEdit(ed);
    return;
  }
  ChangeState(ed, ModeEvent::EditOpened);
  RefreshModeDisplay(ed);
  ed.SldEdtCnt = ed.SldCnt;
  BuildSlideEditTable(ed, true);
  SetupSlideEditGrid(ed);
  if (QWidget* panel = ed.ui.fDialog[1]) {
    panel->show();
    panel->raise();
  }
}

void UpdateSlideEditCaption(Editor& ed) {
  QAction* item = ed.ui.ppSldEdit;
  if (!item) return;
  QString caption = item->text();
  caption.replace(QStringLiteral("編集を閉じる"), QStringLiteral("編集"));
  if (Editing(ed)) caption.replace(QStringLiteral("編集"), QStringLiteral("編集を閉じる"));
  item->setText(caption);
}

void SetupSlideEditGrid(Editor& ed) {
  ed.slides->File1Folder = ed.DataFolder;
  if (ed.slides->LastImageFolder.isEmpty()) ed.slides->LastImageFolder = DriveRootOf(ed.ProgramFolder);

  RecordSet* rs = ed.RS_SLDEDT;
  if (rs) rs->MoveFirst();
  ApplyWorkingColumns(ed);
  if (DataGrid* grid = ed.ui.dgSlideEdit) {
    grid->SetGridFont(QStringLiteral("Arial Unicode MS"), 9, true);
    if (rs) grid->Bind(rs);
    grid->SetRowHeightTwips(kRowHeight);
    double width = 0;
    for (int c = 0; c < 4; ++c) {
      grid->SetColumnWidthTwips(c, kColumns[c].width);
      width += kColumns[c].width;
    }
    const QRectF place = TwipsRectOf(grid);
    PlaceTwips(grid, place.left(), place.top(), width + kGridMargin, kGridHeight);
    grid->SetColumnWidestText(0, QStringLiteral("3600"));
    grid->SetColumnWidestText(1, QStringLiteral("100:00.000"));
    grid->SetButtonColumn(kImageColumn);
    grid->scrollToTop();
    grid->SetVisibleRowOfCurrent(1);
    grid->viewport()->update();
  }

  const QString first = ed.SldEdt[0].image;
  ShowSlideImage(ed, first.isEmpty() ? ed.DefaultPicture() : SlideImagePath(ed, first));
  SetCaption(ed.ui.lbSldCnt[0], SlideCountText(ed.SldEdtCnt));
}

void EndSlideEdit(Editor& ed) {
  if (!IsSlideEditUnchanged(ed)) {
    switch (Ask(ed, QStringLiteral("変更を登録しますか？"), MsgButtons::YesNoCancel)) {
      case MsgResult::Yes:
        RegisterSlideEdit(ed);
        break;
      case MsgResult::No:
        ed.SldEdtCnt = ed.SldCnt;
        BuildSlideEditTable(ed, true);
        SetupSlideEditGrid(ed);
        break;
      default:
        return;
    }
  }
  ChangeState(ed, ModeEvent::EditClosed);
  RefreshModeDisplay(ed);
  if (ed.ui.dataCombo1) ed.ui.dataCombo1->hide();
  if (ed.ui.fDialog[1]) ed.ui.fDialog[1]->hide();
  QString image;
  if (ed.ui.dgSlide)
    image = ed.ui.dgSlide->CurrentCellText(kImageColumn);
  else if (ed.RS_SLD)
    image = ed.RS_SLD->Text(SlideColumn::Image);
  ShowSlideImage(ed, SlideImagePath(ed, image));
}

bool RegisterSlideEdit(Editor& ed) {
  if (Ask(ed, QStringLiteral("既存データに上書きします。よろしいですか？"), MsgButtons::YesNo) != MsgResult::Yes)
    return false;
  ed.Sld.ClearRange(0, kSlots);
  RecordSet* rs = ed.RS_SLDEDT;
  // Rows are read where they stand rather than by moving the cursor over them: a move would redraw
  // the stage once per row.
  const int rows = rs ? std::min(rs->RecordCount(), MaxRecords) : 0;
  for (int i = 0; i < rows; ++i) {
    SlideRecord& r = ed.Sld[i];
    r.id = static_cast<int16_t>(i + 1);
    r.timeText = WorkingText(ed, i, SlideColumn::Time);
    r.pos = ParseTimeText(r.timeText);
    r.caption = WorkingText(ed, i, SlideColumn::Title);
    r.image = WorkingText(ed, i, SlideColumn::Image);
  }
  ed.SldCnt = static_cast<int16_t>(rows);
  ed.SldEdtCnt = ed.SldCnt;
  // The working copy now is what was registered: a slide inserted at a time of the time label holds
  // that time in single precision, the registered one the time read back from its text, and the two
  // must not count as an unregistered change afterwards.
  ed.SldEdt.CopyRange(ed.Sld, 0, MaxRecords);
  SetupSlideEditGrid(ed);
  BuildSlideTable(ed);
  BuildStageView(ed);
  RecordChange(ed, ChangeName::SlideRegister);
  return true;
}

namespace {

// Takes the title and image cells of a working row into its slide. Enter takes them as they are,
// empty ones included; any other end of an edit takes only texts that are not empty, and an
// emptied cell shows the kept text again, so that the grid never shows what is not stored. An
// image name is a plain file name of the data folder: one with a separator, "." or ".." is
// refused with the message of the drop-down, and the cell shows the kept name again.
void TakeWorkingCells(Editor& ed, int row, bool byEnter) {
  SlideRecord* r = WorkingSlideOfRow(ed, row);
  RecordSet* rs = ed.RS_SLDEDT;
  if (!r || !rs) return;
  const int imageCol = rs->ColumnIndex(SlideColumn::Image);
  const int titleCol = rs->ColumnIndex(SlideColumn::Title);
  const QString image = WorkingText(ed, row, SlideColumn::Image);
  const QString title = WorkingText(ed, row, SlideColumn::Title);
  const bool imageRefused = !image.isEmpty() && !IsPlainFileName(image);
  if (imageRefused)
    rs->SetFieldAt(row, imageCol, r->image);
  else if (byEnter || !image.isEmpty())
    r->image = image;
  else if (r->image != image)
    rs->SetFieldAt(row, imageCol, r->image);
  if (byEnter || !title.isEmpty())
    r->caption = title;
  else if (r->caption != title)
    rs->SetFieldAt(row, titleCol, r->caption);
  if (imageRefused)
    Tell(ed, ShowPath(JoinPath(ed.slides->File1Folder.isEmpty() ? ed.DataFolder : ed.slides->File1Folder, image)) +
                 QStringLiteral("は存在しません。"));
}

}  // namespace

void OnSlideEditFieldChange(Editor& ed, int row) {
  // A cell editor's text is taken once the editor has closed (OnSlideEditCellCommitted).
  if (ed.ui.dgSlideEdit && ed.ui.dgSlideEdit->IsCommittingEdit()) return;
  TakeWorkingCells(ed, row, false);
}

void OnSlideEditCellCommitted(Editor& ed, int row, bool byEnter) { TakeWorkingCells(ed, row, byEnter); }

void OnSlideEditMove(Editor& ed, int row) {
  if (ed.slides->RewritingRows) return;
  const QString image = WorkingText(ed, row, SlideColumn::Image);
  if (!image.isEmpty()) ShowSlideImage(ed, SlideImagePath(ed, image));
}

void OnSlideEditGridKeyPress(Editor& ed, int keyAscii) {
  if (keyAscii != 13 || !ed.RS_SLDEDT) return;
  // Enter takes the cells over as they are, empty ones included.
  TakeWorkingCells(ed, ed.RS_SLDEDT->CurrentRow(), true);
}

void OnSlideEditGridMouseMove(Editor& ed, int button, int, double, double) {
  if (button == 2) PopupSlideMenu(ed);
}

void DeleteSlideMenu(Editor& ed) {
  DeleteSlideRow(ed, IsSlideEditPanelShown(ed) ? WorkingSlides(ed) : RegisteredSlides(ed));
}

void InsertSlideMenu(Editor& ed) {
  InsertSlideRow(ed, IsSlideEditPanelShown(ed) ? WorkingSlides(ed) : RegisteredSlides(ed));
}

void DeleteAllEditSlides(Editor& ed) {
  if (Ask(ed, QStringLiteral("スライドを全て削除します。よろしいですか？"), MsgButtons::YesNo) != MsgResult::Yes)
    return;
  ClearSlideEditTable(ed);
  BuildSlideEditTable(ed, false);
  SetupSlideEditGrid(ed);
}

void WireSlideEdit(Editor& ed) {
  Controls& ui = ed.ui;
  const std::weak_ptr<int> alive = ed.slides->Alive;
  // Widgets outlive the editor for a moment while the window is torn down.
  auto live = [alive] { return !alive.expired(); };

  if (ui.ppSldEdit)
    QObject::connect(ui.ppSldEdit, &QAction::triggered, ui.ppSldEdit, [&ed, live] {
      if (live()) OpenOrCloseSlideEdit(ed);
    });
  if (ui.ppSldDelete)
    QObject::connect(ui.ppSldDelete, &QAction::triggered, ui.ppSldDelete, [&ed, live] {
      if (live()) DeleteSlideMenu(ed);
    });
  if (ui.ppSldInsert)
    QObject::connect(ui.ppSldInsert, &QAction::triggered, ui.ppSldInsert, [&ed, live] {
      if (live()) InsertSlideMenu(ed);
    });
  if (ui.ppSld)
    QObject::connect(ui.ppSld, &QMenu::aboutToShow, ui.ppSld, [&ed, live] {
      if (live()) UpdateSlideEditCaption(ed);
    });
  if (ui.cbSaveSld)
    QObject::connect(ui.cbSaveSld, &QPushButton::clicked, ui.cbSaveSld, [&ed, live] {
      if (live()) RegisterSlideEdit(ed);
    });
  if (ui.cbDeleteSld)
    QObject::connect(ui.cbDeleteSld, &QPushButton::clicked, ui.cbDeleteSld, [&ed, live] {
      if (live()) DeleteAllEditSlides(ed);
    });
  if (ui.cbFrSldClose)
    QObject::connect(ui.cbFrSldClose, &QPushButton::clicked, ui.cbFrSldClose, [&ed, live] {
      if (live()) EndSlideEdit(ed);
    });

  if (DataGrid* grid = ui.dgSlideEdit) {
    grid->SetColumnWidestText(0, QStringLiteral("3600"));
    grid->SetColumnWidestText(1, QStringLiteral("100:00.000"));
    grid->SetButtonColumn(kImageColumn);
    grid->onKeyPress = [&ed, live](int keyAscii) {
      if (live()) OnSlideEditGridKeyPress(ed, keyAscii);
    };
    grid->onMouseMove = [&ed, live](int button, int shift, double x, double y) {
      if (live()) OnSlideEditGridMouseMove(ed, button, shift, x, y);
    };
    grid->onButtonClick = [&ed, live](int column) {
      if (live()) OnImageButtonClick(ed, column);
    };
    grid->setItemDelegateForColumn(kImageColumn, new ImageCellDelegate(grid));
    // Enter typed into a cell editor ends the edit before the grid sees a key: the row is then taken
    // over as for Enter on the grid; any other end of the edit takes it as a field change.
    grid->onCellCommitted = [&ed, live](int row, int, bool byEnter) {
      if (live()) OnSlideEditCellCommitted(ed, row, byEnter);
    };
  }

  if (RecordSet* rs = ed.RS_SLDEDT) {
    QObject::connect(rs, &RecordSet::FieldChangeComplete, rs, [&ed, live](int row, int) {
      if (live()) OnSlideEditFieldChange(ed, row);
    });
    QObject::connect(rs, &RecordSet::MoveComplete, rs, [&ed, live](int row) {
      if (live()) OnSlideEditMove(ed, row);
    });
    QObject::connect(rs, &QAbstractItemModel::modelReset, rs, [&ed, live] {
      if (live()) ApplyWorkingColumns(ed);
    });
  }

  WireImageCombo(ed);
}

}  // namespace kemo
