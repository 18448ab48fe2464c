// The main window's menu bar: ファイル, マウスポイント, スライド, 編集, 再生 and ヘルプ, each item with its
// object name and keys; the rooms' own menus (時間調整, 表示, Web用に書き出し) are added by their wiring.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/frm_main.h"
#include "app/help_menu.h"
#include "app/playback_menu.h"
#include "platform/interface_font.h"

namespace kemo {

namespace {

QAction* MakeAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key = {}) {
  auto* a = menu->addAction(text);
  a->setObjectName(name);
  if (!key.isEmpty()) {
    a->setShortcut(key);
    a->setShortcutContext(Qt::ApplicationShortcut);
  }
  return a;
}

}  // namespace

void FrmMain::BuildMenus() {
  Controls& ui = ed_.ui;
  QMenuBar* bar = menuBar();
  bar->setFont(MenuBarFont(font()));
  ui.mnuFile = bar->addMenu(QStringLiteral("ファイル(&F)"));
  ui.mnuFile->setObjectName(QStringLiteral("mnuFile"));
  ui.mnuFileNew = MakeAction(ui.mnuFile, QStringLiteral("mnuFileNew"), QStringLiteral("新規作成(&N)"),
                             QKeySequence(Qt::CTRL | Qt::Key_N));
  ui.mnuFileOpen = MakeAction(ui.mnuFile, QStringLiteral("mnuFileOpen"), QStringLiteral("フォルダ指定(&O)"),
                              QKeySequence(Qt::CTRL | Qt::Key_O));
  ui.mnuFileConv = MakeAction(ui.mnuFile, QStringLiteral("mnuFileConv"), QStringLiteral("FLS⇒AVI変換(&Q)"),
                              QKeySequence(Qt::CTRL | Qt::Key_Q));
  ui.mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSep"));
  ui.mnuFileSaveNew = MakeAction(ui.mnuFile, QStringLiteral("mnuFileSaveNew"), QStringLiteral("名前を付けて保存(&A)"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  ui.mnuFileExport = MakeAction(ui.mnuFile, QStringLiteral("mnuFileExport"), QStringLiteral("動画に書き出し(&E)…"));
  ui.mnuFileSave = MakeAction(ui.mnuFile, QStringLiteral("mnuFileSave"), QStringLiteral("上書き保存(&S)"),
                              QKeySequence(Qt::CTRL | Qt::Key_S));
  ui.mnuFileReset = MakeAction(ui.mnuFile, QStringLiteral("mnuFileReset"), QStringLiteral("初期状態に戻す(&I)"));
  ui.mnuFileEnd = MakeAction(ui.mnuFile, QStringLiteral("mnuFileEnd"), QStringLiteral("終了(&X)"),
                             QKeySequence(Qt::CTRL | Qt::Key_X));
  // The recent folders come last before 終了, so that the items above keep their places.
  mnuFileRecent_ = new QMenu(QStringLiteral("最近使ったフォルダ(&R)"), ui.mnuFile);
  mnuFileRecent_->setObjectName(QStringLiteral("mnuFileRecent"));
  ui.mnuFile->insertMenu(ui.mnuFileEnd, mnuFileRecent_);

  ui.ppCur = bar->addMenu(QStringLiteral("マウスポイント(&M)"));
  ui.ppCur->setObjectName(QStringLiteral("ppCur"));
  ui.ppCurTimer = ui.ppCur->addMenu(QStringLiteral("マウスポイントの間隔"));
  ui.ppCurTimer->setObjectName(QStringLiteral("ppCurTimer"));
  ui.ppCurTimer200ms = MakeAction(ui.ppCurTimer, QStringLiteral("ppCurTimer200ms"), QStringLiteral("200ms"));
  ui.ppCurTimer100ms = MakeAction(ui.ppCurTimer, QStringLiteral("ppCurTimer100ms"), QStringLiteral("荒い"));
  ui.ppCurTimer50ms = MakeAction(ui.ppCurTimer, QStringLiteral("ppCurTimer50ms"), QStringLiteral("細かい"));
  ui.ppCurTimer10ms = MakeAction(ui.ppCurTimer, QStringLiteral("ppCurTimer10ms"), QStringLiteral("10ms"));
  for (QAction* a : {ui.ppCurTimer200ms, ui.ppCurTimer100ms, ui.ppCurTimer50ms, ui.ppCurTimer10ms})
    a->setCheckable(true);
  ui.ppCurTimer50ms->setChecked(true);
  // Switched off at design; nothing switches them on.
  ui.ppCurTimer200ms->setEnabled(false);
  ui.ppCurTimer10ms->setEnabled(false);
  ui.ppCurRec = MakeAction(ui.ppCur, QStringLiteral("ppCurRec"), QStringLiteral("マウスポイント記録開始"),
                           QKeySequence(Qt::Key_F5));
  ui.ppCurRecDisp = MakeAction(ui.ppCur, QStringLiteral("ppCurRecDisp"), QStringLiteral("マウスポイント記録表示"),
                               QKeySequence(Qt::Key_F6));
  ui.ppCur->addSeparator()->setObjectName(QStringLiteral("ppCurSep"));
  ui.ppCurInsert = MakeAction(ui.ppCur, QStringLiteral("ppCurInsert"), QStringLiteral("マウスポイント挿入"),
                              QKeySequence(Qt::Key_F7));
  ui.ppCurInsert->setEnabled(false);
  ui.ppCurDelete = MakeAction(ui.ppCur, QStringLiteral("ppCurDelete"), QStringLiteral("マウスポイント削除"),
                              QKeySequence(Qt::Key_F8));
  ui.ppCurDisp = MakeAction(ui.ppCur, QStringLiteral("ppCurDisp"), QStringLiteral("マウスポイント表示"),
                            QKeySequence(Qt::Key_F9));

  ui.ppSld = bar->addMenu(QStringLiteral("スライド(&S)"));
  ui.ppSld->setObjectName(QStringLiteral("ppSld"));
  ui.ppSldDelete = MakeAction(ui.ppSld, QStringLiteral("ppSldDelete"), QStringLiteral("スライド削除"),
                              QKeySequence(Qt::Key_F2));
  ui.ppSldInsert = MakeAction(ui.ppSld, QStringLiteral("ppSldInsert"), QStringLiteral("スライド挿入"),
                              QKeySequence(Qt::Key_F3));
  ui.ppSldEdit = MakeAction(ui.ppSld, QStringLiteral("ppSldEdit"), QStringLiteral("スライド編集"),
                            QKeySequence(Qt::Key_F4));

  ui.mnuEdit = bar->addMenu(QStringLiteral("編集(&E)"));
  ui.mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
  ui.mnuEditUndo = MakeAction(ui.mnuEdit, QStringLiteral("mnuEditUndo"), QStringLiteral("元に戻す"),
                              QKeySequence(Qt::CTRL | Qt::Key_Z));
  ui.mnuEditRedo = MakeAction(ui.mnuEdit, QStringLiteral("mnuEditRedo"), QStringLiteral("やり直し"),
                              QKeySequence(Qt::CTRL | Qt::Key_Y));
  ui.mnuEditUndo->setEnabled(false);
  ui.mnuEditRedo->setEnabled(false);
  // Space plays and pauses. A cell being edited takes its spaces first: its line edit claims
  // printable keys before shortcuts are looked up.
  auto* playPause = new QAction(this);
  playPause->setObjectName(QStringLiteral("actPlayPause"));
  playPause->setShortcut(QKeySequence(Qt::Key_Space));
  playPause->setShortcutContext(Qt::WindowShortcut);
  addAction(playPause);
  connect(playPause, &QAction::triggered, this, [this] { TogglePlayback(); });
  AddPlaybackMenu(bar, playPause);
  // Filled by the timeline's wiring; its title is on the bar from the first drawing on.
  bar->addMenu(QStringLiteral("表示(&V)"))->setObjectName(QStringLiteral("mnuView"));
  AddHelpMenu(bar, this, ed_.ProgramFolder, ed_.svc.messages);
}

}  // namespace kemo
