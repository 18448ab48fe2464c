#include "app/frm_main.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "app/help_menu.h"
#include "app/keyboard_focus.h"
#include "app/mode_display.h"
#include "app/panels.h"
#include "app/playback_menu.h"
#include "app/recent_folders.h"
#include "app/timing_dialog.h"
#include "app/timeline_wiring.h"
#include "app/window_layout.h"
#include "convert/convert.h"
#include "export/export_command.h"
#include "app/web_wiring.h"
#include "document/folder_commands.h"
#include "document/history.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/captions.h"
#include "platform/data_grid.h"
#include "platform/interface_font.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/services.h"
#include "platform/stage.h"
#include "platform/twips.h"
#include "playback/playback.h"
#include "playback/player_wait.h"
#include "playback/stage_view.h"
#include "document/time_text.h"
#include "points/points.h"
#include "slides/slide_display.h"
#include "slides/slide_edit.h"

namespace kemo {

namespace {

template <typename W>
W* Make(QWidget* parent, const QString& name, double l, double t, double w, double h) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  PlaceTwips(widget, l, t, w, h);
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, double l, double t, double w,
                  double h) {
  auto* label = Make<QLabel>(parent, name, l, t, w, h);
  label->setText(text);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text, double l, double t, double w,
                        double h) {
  auto* b = Make<QPushButton>(parent, name, l, t, w, h);
  b->setText(text);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

QFrame* MakeLine(QWidget* parent, const QString& name) {
  auto* line = new QFrame(parent);
  line->setObjectName(name);
  line->setFrameShape(QFrame::NoFrame);
  line->setAutoFillBackground(true);
  QPalette p = line->palette();
  p.setColor(QPalette::Window, Qt::black);
  line->setPalette(p);
  return line;
}


}  // namespace

QString ExitQuestionText(const Editor& ed) {
  QString w;
  if (ed.ContentChanged) w += ShowPath(ed.ContentPath()) + QStringLiteral("は変更されています。\r");
  return w + UnregisteredWorkText(ed) + QStringLiteral("終了してもよろしいですか？");
}

FrmMain::FrmMain(const Services& services, const QString& programFolder, Build build, QWidget* parent)
    : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  ed_.svc = services;
  ed_.ProgramFolder = programFolder;
  ed_.ui.frmMain = this;
  ed_.RefreshHook = [](Editor& e) {
    RefreshModeDisplayImpl(e);
    RefreshUndoMenu(e);
  };
  // The controls are built at the design size; the window's size sets the scale from then on.
  SetLayoutScale(1.0);
  // No close box: the program ends through 終了 (a close by the window system still asks the exit
  // question). The window may be resized and maximised; its layout scales with it.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowMinMaxButtonsHint);
  recent_ = std::make_unique<RecentFolders>();
  ed_.document.LastDataFolder = recent_->Last();
  setAcceptDrops(true);
  setFont(WindowFont(font()));
  BuildMenus();
  // The window: client area 15075 x 10275 twips at screen position 120, 750.
  resize(DesignClientSize() + QSize(0, menuBar()->sizeHint().height()));
  move(TwipsToPixels(120), TwipsToPixels(750));
  setWindowTitle(QStringLiteral("Kemo.Editor "));
  if (build == Build::Whole) FinishBuilding();
}

void FrmMain::FinishBuilding() {
  if (built_) return;
  built_ = true;
  BuildControls();
  WireShell();
  WirePlayback(ed_);
  WireSlideDisplay(ed_);
  WireSlideEdit(ed_);
  WirePoints(ed_);
  WireConvert(ed_);
  WireExport(ed_);
  WireTiming(ed_);
  WireTimeline(this, ed_);
  WireWeb(ed_);
  OnMainWindowLoad();
  SetUpKeyboard(ed_.ui, centralWidget());
  // Built after the window was fitted to the screen and shown: the controls take its size now.
  if (minimumClient_.isValid()) centralWidget()->setMinimumSize(minimumClient_);
  if (isVisible()) {
    // Children made for a window on the screen are shown later by the toolkit: the client area is
    // shown now, so that it takes its place below the menus before the layout is scaled to it.
    centralWidget()->show();
    layout()->invalidate();
    layout()->activate();
    ScaleToClientArea();
  }
}

FrmMain::~FrmMain() = default;

void FrmMain::BuildControls() {
  Controls& ui = ed_.ui;
  const QFont base = font();

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("client"));
  setCentralWidget(central);
  // The controls' fonts follow the layout scale; the menus keep the desktop's size.
  SetDesignFont(central, base, 9);
  // Below three quarters of the design size the texts no longer read.
  central->setMinimumSize(DesignClientSize() * kMinLayoutScale);
  ui.frMain = Make<QWidget>(central, QStringLiteral("frMain"), 0, 0, 15120, 10300);
  QWidget* fr = ui.frMain;
  ui.label = Make<QWidget>(central, QStringLiteral("label"), 11400, 120, 3615, 1695);
  ui.label->hide();

  // Player.
  ui.WMPVstate = MakeLabel(fr, QStringLiteral("WMPVstate"), QStringLiteral("準備完了"), 165, 120, 2025, 240);
  ui.dispTime = MakeLabel(fr, QStringLiteral("dispTime"), QStringLiteral("00:00.000"), 2190, 120, 1140, 240);
  ui.dispTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QWidget* view = ed_.svc.player ? ed_.svc.player->View() : nullptr;
  if (view) {
    view->setParent(fr);
    view->setObjectName(QStringLiteral("WMPV"));
    PlaceTwips(view, 120, 360, 3240, 3190);
    ui.WMPV = view;
  } else {
    auto* blank = Make<QFrame>(fr, QStringLiteral("WMPV"), 120, 360, 3240, 3190);
    blank->setFrameShape(QFrame::Box);
    blank->setAutoFillBackground(true);
    QPalette p = blank->palette();
    p.setColor(QPalette::Window, Qt::black);
    blank->setPalette(p);
    ui.WMPV = blank;
  }
  const char* seekCaptions[6] = {"-30", "-5", "-1", "+1", "+5", "+30"};
  for (int i = 0; i < 6; ++i)
    ui.cbPlay[i] = MakeButton(fr, QStringLiteral("cbPlay_%1").arg(i), QString::fromLatin1(seekCaptions[i]),
                              120 + 540 * i, 3550, 540, 275);

  // Mode indicators: each value stands over the blanks between its brackets. In 8 points a
  // full-width character is 160 twips, so both indicators fit between the video's left edge and
  // the stage's ruler.
  ui.lbMode[3] = MakeLabel(fr, QStringLiteral("lbMode_3"), QStringLiteral("動作モード［　　　]"), 120, 3830, 1560, 240);
  ui.lbMode[0] = MakeLabel(fr, QStringLiteral("lbMode_0"), QStringLiteral("静止"), 120 + 6 * 160, 3830, 480, 240);
  ui.lbMode[2] = MakeLabel(fr, QStringLiteral("lbMode_2"), QStringLiteral("記録モード［　　　］"), 1680, 3830, 1680, 240);
  ui.lbMode[1] = MakeLabel(fr, QStringLiteral("lbMode_1"), QStringLiteral("OFF"), 1680 + 6 * 160, 3830, 480, 240);
  for (int i : {0, 1, 2, 3}) SetDesignFont(ui.lbMode[i], ui.lbMode[i]->font(), 8);
  ui.lbMode[4] = MakeLabel(fr, QStringLiteral("lbMode_4"), QStringLiteral("OFF"), 0, 0, 0, 0);
  ui.lbMode[4]->hide();
  for (int i : {0, 1}) ui.lbMode[i]->setAlignment(Qt::AlignCenter);
  ui.lbMode[0]->raise();
  ui.lbMode[1]->raise();

  // Mouse-point list.
  ui.lbCursorTitle = MakeLabel(fr, QStringLiteral("lbCursorTitle"), QStringLiteral("マウスポイントの動作"), 240, 4080, 2000, 300);
  ui.cbRec[0] = MakeButton(fr, QStringLiteral("cbRec_0"), QStringLiteral("記録開始"), 2370, 4080, 1000, 315);
  ui.dgCursor = Make<DataGrid>(fr, QStringLiteral("dgCursor"), 135, 4440, 3255, 4560);
  ui.cbDelete = MakeButton(fr, QStringLiteral("cbDelete"), QStringLiteral("全て削除"), 120, 9035, 1000, 255);
  ui.cbChkOff = MakeButton(fr, QStringLiteral("cbChkOff"), QStringLiteral("全てチェックOFF"), 1815, 9035, 1485, 255);
  ui.lbKeyComment[0] = MakeLabel(fr, QStringLiteral("lbKeyComment_0"), {}, 135, 9300, 3135, 945);
  // The slide legend fills the strip between the slide panel and the client area's bottom edge.
  ui.lbKeyComment[1] = MakeLabel(fr, QStringLiteral("lbKeyComment_1"), {}, 4080, 10050, 5775, 225);
  ui.lbKeyComment[0]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ui.lbKeyComment[1]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (QLabel* legend : ui.lbKeyComment) SetDesignFont(legend, legend->font(), 8.25);

  // Grid button, recording hint and messages.
  // Right of the top ruler's "0", wide enough for "グリッドを非表示"; the hint and the two recorder
  // lines keep clear of the ruler's "50" and "100".
  ui.cbGrid = MakeButton(fr, QStringLiteral("cbGrid"), QStringLiteral("グリッドを表示"), 4200, 120, 1650, 255);
  ui.lbRecStat[0] = MakeLabel(fr, QStringLiteral("lbRecStat_0"), {}, 5880, 120, 2550, 300);
  ui.lbRecTimer0 = MakeLabel(fr, QStringLiteral("lbRecTimer0"), {}, 8880, 240, 4150, 240);
  ui.lbRecErr = MakeLabel(fr, QStringLiteral("lbRecErr"), {}, 9000, 0, 4050, 240);
  QPalette errPal = ui.lbRecErr->palette();
  errPal.setColor(QPalette::WindowText, QColor(200, 0, 0));
  ui.lbRecErr->setPalette(errPal);
  ui.lbRecStat[0]->setPalette(errPal);

  // Stage and rulers.
  ui.img = Make<Stage>(fr, QStringLiteral("img"), 3840, 480, 9525, 7143);
  for (int k = 0; k < 3; ++k) {
    const int index = k * 50;
    ui.xLine[k] = MakeLine(fr, QStringLiteral("xLine_%1").arg(index));
    ui.yLine[k] = MakeLine(fr, QStringLiteral("yLine_%1").arg(index));
    ui.xLabel[k] = MakeLabel(fr, QStringLiteral("xLabel_%1").arg(index), QString::number(index), 0, 0, 360, 200);
    ui.yLabel[k] = MakeLabel(fr, QStringLiteral("yLabel_%1").arg(index), QString::number(index), 0, 0, 360, 200);
    ui.yLabel[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  // The top ruler's captions stand above their ticks.
  PlaceTwips(ui.xLabel[0], 3840 - 60, 480 - 330, 360, 200);
  PlaceTwips(ui.xLabel[1], 3840 + 9525 / 2 - 150, 480 - 330, 360, 200);
  PlaceTwips(ui.xLabel[2], 3840 + 9525 - 300, 480 - 330, 360, 200);

  // Slide list panel.
  ui.fDialog[2] = Make<QFrame>(fr, QStringLiteral("fDialog_2"), 3840, 7695, 10200, 2355);
  QWidget* p2 = ui.fDialog[2];
  ui.lbSlideTitle = MakeLabel(p2, QStringLiteral("lbSlideTitle"), QStringLiteral("スライド（静止画）の動作"), 120, 120, 4000, 270);
  ui.lbSldCnt[1] = MakeLabel(p2, QStringLiteral("lbSldCnt_1"), {}, 5400, 120, 3000, 270);
  ui.dgSlide = Make<DataGrid>(p2, QStringLiteral("dgSlide"), 120, 420, 8580, 1695);

  // Slide edit panel, over the slide list panel.
  ui.fDialog[1] = Make<QFrame>(fr, QStringLiteral("fDialog_1"), 3840, 7695, 10125, 2355);
  QWidget* p1 = ui.fDialog[1];
  static_cast<QFrame*>(p1)->setFrameShape(QFrame::Box);
  p1->setAutoFillBackground(true);
  ui.lbEdtSldTitle = MakeLabel(p1, QStringLiteral("lbEdtSldTitle"), QStringLiteral("スライド編集"), 120, 120, 1500, 270);
  ui.lbSldCnt[0] = MakeLabel(p1, QStringLiteral("lbSldCnt_0"), {}, 1800, 120, 2800, 270);
  // The buttons stand right of the grid, which is 9175 twips wide, as wide as "編集終了" needs.
  ui.cbSaveSld = MakeButton(p1, QStringLiteral("cbSaveSld"), QStringLiteral("登録"), 9330, 420, 780, 315);
  ui.cbDeleteSld = MakeButton(p1, QStringLiteral("cbDeleteSld"), QStringLiteral("削除"), 9330, 840, 780, 315);
  ui.cbFrSldClose = MakeButton(p1, QStringLiteral("cbFrSldClose"), QStringLiteral("編集終了"), 9330, 1260, 780, 315);
  ui.dgSlideEdit = Make<DataGrid>(p1, QStringLiteral("dgSlideEdit"), 120, 420, 8580, 1815);
  ui.dataCombo1 = Make<QComboBox>(p1, QStringLiteral("dataCombo1"), 0, 0, 2500, 300);
  ui.dataCombo1->setEditable(true);
  ui.dataCombo1->hide();
  p1->hide();

  // Recording panel, collapsed at the placeholder's place and hidden until shown.
  ui.fDialog[0] = Make<QFrame>(fr, QStringLiteral("fDialog_0"), 11400, 120, 3615, 1695);
  QWidget* p0 = ui.fDialog[0];
  static_cast<QFrame*>(p0)->setFrameShape(QFrame::Box);
  p0->setAutoFillBackground(true);
  ui.Shape1 = Make<QWidget>(p0, QStringLiteral("Shape1"), 0, 0, 3615, 6975);
  ui.Shape1->hide();
  ui.lbFrDrag0 = MakeLabel(p0, QStringLiteral("lbFrDrag_0"), QStringLiteral("マウスポイント記録"), 0, 0, 3735, 240);
  ui.lbFrDrag0->setToolTip(QStringLiteral("ドラッグで移動"));
  ui.lbFrDrag0->setAutoFillBackground(true);
  QPalette dragPal = ui.lbFrDrag0->palette();
  dragPal.setColor(QPalette::Window, QColor(0, 0, 128));
  dragPal.setColor(QPalette::WindowText, Qt::white);
  ui.lbFrDrag0->setPalette(dragPal);
  ui.lbFrDrag0->setCursor(Qt::SizeAllCursor);
  ui.cbRec[1] = MakeButton(p0, QStringLiteral("cbRec_1"), QStringLiteral("記録開始"), 120, 240, 1000, 315);
  ui.cbSave = MakeButton(p0, QStringLiteral("cbSave"), QStringLiteral("登録"), 1865, 240, 500, 315);
  ui.cbRecDelete = MakeButton(p0, QStringLiteral("cbRecDelete"), QStringLiteral("クリア"), 2385, 240, 640, 315);
  ui.cbfrCtl = MakeButton(p0, QStringLiteral("cbfrCtl"), QStringLiteral("▼"), 3045, 240, 250, 315);
  ui.cbfrCtl->setToolTip(QStringLiteral("パネルを開く・たたむ"));
  ui.cbFrRecClose = MakeButton(p0, QStringLiteral("cbFrRecClose"), QStringLiteral("×"), 3300, 240, 250, 315);
  ui.cbFrRecClose->setToolTip(QStringLiteral("パネルを閉じる"));
  ui.ckRecDisp = Make<QCheckBox>(p0, QStringLiteral("ckRecDisp"), 240, 600, 3300, 270);
  ui.ckRecDisp->setText(QStringLiteral("記録中のマウスポイントを表示する"));
  ui.picRecErr = Make<QWidget>(p0, QStringLiteral("picRecErr"), 120, 900, 3375, 390);
  ui.lbRecStat[1] = MakeLabel(ui.picRecErr, QStringLiteral("lbRecStat_1"), {}, 0, 0, 3375, 390);
  ui.lbRecStat[1]->setPalette(errPal);
  ui.frOpShape = Make<QFrame>(p0, QStringLiteral("frOpShape"), 120, 1320, 800, 330);
  ui.frOpInterval = Make<QFrame>(p0, QStringLiteral("frOpInterval"), 960, 1320, 2500, 330);
  const char* shapeTips[3] = {"自由に動かす", "横に動かす", "縦に動かす"};
  const char* shapeMarks[3] = {"✥", "↔", "↕"};
  for (int i = 0; i < 3; ++i) {
    ui.opSmode[i] = Make<QRadioButton>(ui.frOpShape, QStringLiteral("opSmode_%1").arg(i), 10 + 260 * i, 20, 260, 290);
    ui.opSmode[i]->setText(QString::fromUtf8(shapeMarks[i]));
    ui.opSmode[i]->setToolTip(QString::fromUtf8(shapeTips[i]));
    // Graphical options: the mark is the button; the chosen one is shown pressed.
    ui.opSmode[i]->setStyleSheet(QStringLiteral(
        "QRadioButton { padding: 0px; spacing: 0px; border: 1px solid palette(mid); }"
        "QRadioButton::indicator { width: 0px; height: 0px; margin: 0px; }"
        "QRadioButton:checked { background: palette(highlight); color: palette(highlighted-text); }"));
  }
  // Option 0 lies outside its frame's visible width and cannot be clicked.
  ui.opInterval[0] = Make<QRadioButton>(ui.frOpInterval, QStringLiteral("opInterval_0"), 2600, 20, 700, 290);
  ui.opInterval[0]->setText(QStringLiteral("細かい"));
  ui.opInterval[1] = Make<QRadioButton>(ui.frOpInterval, QStringLiteral("opInterval_1"), 40, 20, 1100, 290);
  ui.opInterval[1]->setText(QStringLiteral("細かい"));
  ui.opInterval[2] = Make<QRadioButton>(ui.frOpInterval, QStringLiteral("opInterval_2"), 1200, 20, 1100, 290);
  ui.opInterval[2]->setText(QStringLiteral("荒い"));
  ui.lbRecCursorTitle = MakeLabel(p0, QStringLiteral("lbRecCursorTitle"), QStringLiteral("マウスポインタ記録"), 120, 1800, 3000, 300);
  // The grid ends above the count, and the status line below it takes two lines.
  ui.dgRecCursor = Make<DataGrid>(p0, QStringLiteral("dgRecCursor"), 240, 2160, 3285, 3900);
  ui.lbRecCnt = MakeLabel(p0, QStringLiteral("lbRecCnt"), QStringLiteral("個の記録があります"), 120, 6100, 3300, 270);
  ui.lbRecTimer1 = MakeLabel(p0, QStringLiteral("lbRecTimer1"), {}, 120, 6390, 3400, 540);
  ui.lbRecTimer1->setWordWrap(true);
  ui.lbRecTimer1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  p0->hide();
  p0->raise();

  // Hidden auxiliary controls never shown: the original's file and drive lists, text boxes and
  // buttons have no function here beyond what the procedures keep in the context.

  // Record sets, one per grid.
  rsSld_ = std::make_unique<RecordSet>();
  rsCur_ = std::make_unique<RecordSet>();
  rsSldEdt_ = std::make_unique<RecordSet>();
  rsRecCur_ = std::make_unique<RecordSet>();
  rsSld_->setObjectName(QStringLiteral("RS_SLD"));
  rsCur_->setObjectName(QStringLiteral("RS_CUR"));
  rsSldEdt_->setObjectName(QStringLiteral("RS_SLDEDT"));
  rsRecCur_->setObjectName(QStringLiteral("RS_recCUR"));
  ed_.RS_SLD = rsSld_.get();
  ed_.RS_CUR = rsCur_.get();
  ed_.RS_SLDEDT = rsSldEdt_.get();
  ed_.RS_recCUR = rsRecCur_.get();

  // Timers.
  auto makeTimer = [this](const char* name, int ms) {
    auto* t = new QTimer(this);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(ms);
    return t;
  };
  ui.playTimer = makeTimer("playTimer", 100);
  ui.recTimer = makeTimer("recTimer", 100);
  ui.frRecTimer = makeTimer("frRecTimer", 500);
  ui.WaitTm = makeTimer("WaitTm", 5000);
}

QFont FrmMain::WindowFont(QFont base) {
  base.setFamilies(InterfaceFontFamilies());
  base.setPointSize(kWindowPoints);
  return base;
}

QSize FrmMain::DesignClientSize() {
  const double screen = PixelsPerTwip() / LayoutScale();
  return QSize(static_cast<int>(std::lround(kDesignClientWidth * screen)),
               static_cast<int>(std::lround(kDesignClientHeight * screen)));
}

void FrmMain::ScaleToClientArea() { LayOutForClientArea(ed_.ui, centralWidget(), DesignClientSize()); }

void FrmMain::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  if (built_) ScaleToClientArea();
}

void FrmMain::FitToScreen() {
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect avail = screen->availableGeometry();
  // The window manager's frame is not known before the window is shown: a title bar and thin
  // borders are allowed for.
  const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(8, 36);
  const int menu = menuBar()->sizeHint().height();
  const QSize design = DesignClientSize();
  const QSize room = avail.size() - frame - QSize(0, menu);
  double scale = std::min(static_cast<double>(room.width()) / design.width(),
                          static_cast<double>(room.height()) / design.height());
  // A screen that does not hold three quarters of the design (1280 x 720 at 150 %) sets the smallest
  // size itself; the texts are fitted to it.
  const double smallest = std::clamp(scale, 0.25, kMinLayoutScale);
  minimumClient_ = QSize(static_cast<int>(design.width() * smallest), static_cast<int>(design.height() * smallest));
  if (built_) centralWidget()->setMinimumSize(minimumClient_);
  scale = std::clamp(scale, smallest, 1.0);
  const QSize client(static_cast<int>(design.width() * scale), static_cast<int>(design.height() * scale));
  resize(client + QSize(0, menu));
  const double screenTwips = PixelsPerTwip() / LayoutScale();
  QPoint place(avail.left() + static_cast<int>(std::lround(120 * screenTwips)),
               avail.top() + static_cast<int>(std::lround(750 * screenTwips)));
  const QSize whole = client + QSize(0, menu) + frame;
  place.setX(std::max(avail.left(), std::min(place.x(), avail.right() + 1 - whole.width())));
  place.setY(std::max(avail.top(), std::min(place.y(), avail.bottom() + 1 - whole.height())));
  move(place);
}

void FrmMain::WireShell() {
  Controls& ui = ed_.ui;
  connect(ui.WaitTm, &QTimer::timeout, this, [this] { OnWaitTimerTick(ed_); });
  connect(ui.mnuFileNew, &QAction::triggered, this, [this] { OnFileNew(ed_); });
  connect(ui.mnuFileOpen, &QAction::triggered, this, [this] { AfterOpen(OnFileOpen(ed_)); });
  // The recent folders are listed afresh each time the File menu opens, as last known; whether each
  // still exists is asked off the window's thread and shown when it answers.
  auto* probe = new FolderProbe(1500, this);
  connect(ui.mnuFile, &QMenu::aboutToShow, this, [this, probe] {
    probe->Check(recent_->Folders());
    FillRecentMenu(mnuFileRecent_, recent_->Folders(), [this](const QString& f) { OpenFolderFromOutside(f); },
                   [probe](const QString& f) { return probe->State(f); });
    mnuFileRecent_->menuAction()->setEnabled(ed_.ui.mnuFileOpen->isEnabled() && !recent_->Folders().isEmpty());
  });
  connect(probe, &FolderProbe::Changed, this, [this, probe](const QString& f) {
    for (QAction* a : mnuFileRecent_->actions())
      if (a->data().toString() == f) ShowRecentItem(a, f, probe->State(f));
  });
  connect(ui.mnuFileSave, &QAction::triggered, this, [this] { OnFileSave(ed_); });
  connect(ui.mnuFileSaveNew, &QAction::triggered, this, [this] { OnFileSaveAs(ed_); });
  connect(ui.mnuFileReset, &QAction::triggered, this, [this] { OnFileReset(ed_); });
  connect(ui.mnuFileEnd, &QAction::triggered, this, [this] { OnExitCommand(); });
  connect(ui.mnuEditUndo, &QAction::triggered, this, [this] {
    const QString label = ed_.history->UndoLabel();
    if (UndoChange(ed_)) ShowAllMarksCaption(ed_, label, true);
  });
  connect(ui.mnuEditRedo, &QAction::triggered, this, [this] {
    const QString label = ed_.history->RedoLabel();
    if (RedoChange(ed_)) ShowAllMarksCaption(ed_, label, false);
  });
  connect(ui.mnuEdit, &QMenu::aboutToShow, this, [this] { RefreshUndoMenu(ed_); });
  for (int i = 0; i < 3; ++i) {
    connect(ui.opInterval[i], &QRadioButton::clicked, this, [this, i] { OnIntervalOption(ed_, i); });
    connect(ui.opSmode[i], &QRadioButton::clicked, this, [this, i] { OnMoveModeOption(ed_, i); });
  }
  connect(ui.cbChkOff, &QPushButton::clicked, this, [this] { OnAllMarksToggle(ed_); });
  WirePanels(ed_);
}

void FrmMain::AfterOpen(bool opened) {
  if (opened && !IsProgramFolder(ed_, ed_.DataFolder)) recent_->Add(ed_.DataFolder);
  ReturnFreedMemory();
}

void FrmMain::OpenFolderFromOutside(const QString& folder) {
  FinishBuilding();
  // A question or dialog of the editor is open: the folder waits for the user to finish it.
  if (QApplication::activeModalWidget()) {
    QTimer::singleShot(200, this, [this, folder] { OpenFolderFromOutside(folder); });
    return;
  }
  const Controls& ui = ed_.ui;
  if (!ui.mnuFileOpen->isEnabled() || !ui.mnuFile->menuAction()->isEnabled()) {
    Tell(ed_, ShowPath(folder) + QStringLiteral("を開けません。") + QLatin1Char('\r') +
                  QStringLiteral("再生・記録・スライド編集を終えてから開いてください。"),
         MsgIcon::Information);
    return;
  }
  AfterOpen(OpenGivenFolder(ed_, folder));
}

void FrmMain::OfferRecoveryAtStart() {
  FinishBuilding();
  const QString folder = kemo::OfferRecoveryAtStart(ed_);
  if (!folder.isEmpty()) OpenFolderFromOutside(folder);
  // The agreement holds for this opening only.
  ed_.history->SetAgreedJournal(QString());
}

void FrmMain::TogglePlayback() {
  MediaPlayer* player = ed_.svc.player;
  if (!player || !built_ || !ed_.ui.frMain->isEnabled() || player->URL().isEmpty()) return;
  const int state = player->PlayState();
  if (state == PlayState::Playing || state == PlayState::Buffering)
    player->Pause();
  else
    player->Play();
}

namespace {
// The one local folder a drag carries, or "".
QString DraggedFolder(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().constFirst();
  if (!url.isLocalFile()) return {};
  const QString path = url.toLocalFile();
  return QFileInfo(path).isDir() ? path : QString();
}
}  // namespace

void FrmMain::dragEnterEvent(QDragEnterEvent* e) {
  if (!DraggedFolder(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void FrmMain::dropEvent(QDropEvent* e) {
  const QString folder = DraggedFolder(e->mimeData());
  if (folder.isEmpty()) return;
  e->acceptProposedAction();
  // The drop's source waits for this handler; the questions come after it has returned.
  QTimer::singleShot(0, this, [this, folder] { OpenFolderFromOutside(folder); });
}

void FrmMain::OnMainWindowLoad() {
  Controls& ui = ed_.ui;
  // The toolkit's own grid and controls need no registration step; the system menu's close,
  // maximise and minimise are left out by the window flags.
  ui.playTimer->stop();
  // The stage picture is 9525 twips wide and three quarters of that high.
  PlaceTwips(ui.img, 3840, 480, 9525, 9525.0 * 3 / 4);
  ui.dispTime->setText(FormatTimeText(0));
  const QRectF place = TwipsRectOf(ui.label);
  QRectF panel = TwipsRectOf(ui.fDialog[0]);
  PlaceTwips(ui.fDialog[0], place.left(), place.top(), panel.width(), place.height());
  for (RecordSet* rs : {ed_.RS_SLD, ed_.RS_CUR, ed_.RS_SLDEDT, ed_.RS_recCUR}) rs->Close();
  ReadSymbolFile(ed_);
  ClearAllTables(ed_);
  BuildStageView(ed_);
  // Key legends from the menu captions.
  SetCaption(ui.lbKeyComment[0],
      (QStringLiteral("F5 :") + ui.ppCurRec->text() + QStringLiteral("・停止") + QLatin1Char('\r') +
                     QStringLiteral("F6 :") + ui.ppCurRecDisp->text() + QLatin1Char('\r') + QStringLiteral("F7 :") +
                     ui.ppCurInsert->text() + QLatin1Char('\r') + QStringLiteral("F8 :") + ui.ppCurDelete->text() +
                     QLatin1Char('\r') + QStringLiteral("F9 :") + ui.ppCurDisp->text() + QStringLiteral("・非表示")),
      12);
  ui.lbKeyComment[1]->setText(QStringLiteral("F2 :") + ui.ppSldDelete->text() + QLatin1Char(' ') +
                              QStringLiteral("F3 :") + ui.ppSldInsert->text() + QLatin1Char(' ') +
                              QStringLiteral("F4 :") + ui.ppSldEdit->text() + QLatin1Char(' '));
  ui.playTimer->stop();
  ui.lbMode[0]->setText(QStringLiteral("静止"));
  ui.lbMode[1]->setText(QStringLiteral("OFF"));
  ed_.FolderCaption.clear();
  setWindowTitle(QStringLiteral("Kemo.Editor ") + ed_.FolderCaption + QStringLiteral("動作モード[") +
                 ui.lbMode[0]->text() + QStringLiteral("] 記録モード[") + ui.lbMode[1]->text() + QStringLiteral("］"));
  SetContentChanged(ed_, false);
  ed_.EditorState = State::NoFolder;
  RefreshModeDisplay(ed_);
}

void FrmMain::OnExitCommand() {
  ed_.ExitConfirmed = false;
  if (Ask(ed_, ExitQuestionText(ed_), MsgButtons::YesNo) != MsgResult::Yes) return;
  ed_.ExitConfirmed = true;
  ed_.ui.frMain->setEnabled(false);
  close();
}

void FrmMain::closeEvent(QCloseEvent* e) {
  FinishBuilding();
  if (shutDown_) {
    e->accept();
    return;
  }
  if (!OnMainWindowUnload()) {
    e->ignore();
    return;
  }
  e->accept();
}

bool FrmMain::OnMainWindowUnload() {
  if (!ed_.ExitConfirmed) {
    if (Ask(ed_, ExitQuestionText(ed_), MsgButtons::YesNo) != MsgResult::Yes) return false;
    ed_.ExitConfirmed = true;
    ed_.ui.frMain->setEnabled(false);
  }
  // The window leaves as soon as the exit is answered; the player's waits go on behind it.
  hide();
  ShutDownPlayer(ed_);
  ed_.ui.playTimer->stop();
  ed_.ui.recTimer->stop();
  ed_.ui.frRecTimer->stop();
  ed_.ui.WaitTm->stop();
  for (RecordSet* rs : {ed_.RS_SLD, ed_.RS_CUR, ed_.RS_SLDEDT, ed_.RS_recCUR}) rs->Close();
  // A normal end: the unsaved work was answered for by the exit question (an end by a signal keeps it).
  if (!keepJournal_) EndJournal(ed_);
  shutDown_ = true;
  return true;
}

}  // namespace kemo
