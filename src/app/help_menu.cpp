#include "app/help_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>
#include <libxml/xmlversion.h>

#include "platform/message_box.h"

#ifndef KEMO_VERSION
#define KEMO_VERSION "0.1"
#endif

namespace kemo {

namespace {

// The first line of `ffmpeg -version`, or why there is none.
QString FfmpegVersion() {
  QProcess p;
  p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-version")});
  if (!p.waitForStarted(3000)) return QStringLiteral("ffmpeg: 見つかりません");
  if (!p.waitForFinished(3000)) {
    p.kill();
    p.waitForFinished(1000);
    return QStringLiteral("ffmpeg: 応答がありません");
  }
  const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
  // "ffmpeg version 5.1 Copyright ...": the name and version; the licence from how it was built.
  const QString name = out.section(QLatin1Char('\n'), 0, 0).section(QStringLiteral(" Copyright"), 0, 0).trimmed();
  const QString licence = out.contains(QStringLiteral("--enable-nonfree")) ? QStringLiteral("再配布できない構成")
                          : out.contains(QStringLiteral("--enable-gpl"))   ? QStringLiteral("GNU GPL v2 以降")
                                                                          : QStringLiteral("GNU LGPL v2.1 以降");
  return QStringLiteral("%1 (%2、別のプログラムとして実行)").arg(name, licence);
}

}  // namespace

QString VersionText() {
  return QStringLiteral("Kemo.Editor %1\n\n"
                        "使用しているライブラリとプログラム:\n"
                        "  Qt %2 (GNU LGPL v3)\n"
                        "  libxml2 %3 (MIT License)\n"
                        "  %4\n")
      .arg(QStringLiteral(KEMO_VERSION), QString::fromLatin1(qVersion()), QStringLiteral(LIBXML_DOTTED_VERSION),
           FfmpegVersion());
}

QString UsageText() {
  return QStringLiteral(
      "使い方: kemo-editor [フォルダ]\n"
      "        kemo-editor --check フォルダ [--json]\n"
      "        kemo-editor --export フォルダ 出力.mp4 [--quality 標準|小さい|速い] [--strict]\n"
      "        kemo-editor --web フォルダ 出力フォルダ\n"
      "        kemo-editor --batch check|convert|export|web ルート [--jobs N] [--out DIR] [--report FILE]\n"
      "                    [--resume] [--force] [--quality 標準|小さい|速い]\n"
      "        kemo-editor --help | --version\n\n"
      "講義収録のデータフォルダ（content.xml、Video.flv / Video.avi、スライド画像）を編集します。\n"
      "フォルダを指定すると、起動時にそのフォルダを開きます。\n\n"
      "  --check フォルダ            時間割りとマウスポイントを点検して終了します（0 問題なし、1 問題あり、\n"
      "                              2 読めない）。\n"
      "  --export フォルダ 出力.mp4  講義を 1 本の MP4 に書き出して終了します（ウィンドウなし）。\n"
      "  --web フォルダ 出力フォルダ  講義を Web ページとして書き出して終了します。\n"
      "  --batch 操作 ルート         ルートの下のデータフォルダすべてに点検・変換・書き出しを行います\n"
      "                              （0 すべて成功、1 失敗あり、2 使い方の誤り）。\n"
      "  --help                      この説明を表示して終了します。\n"
      "  --version                   バージョンとライブラリのライセンスを表示して終了します。\n");
}

QString ManualPath(const QString& programFolder) { return QDir(programFolder).filePath(QStringLiteral("manual.html")); }

void AddHelpMenu(QMenuBar* bar, QWidget* owner, const QString& programFolder, MessageBoxes* messages) {
  QMenu* menu = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  menu->setObjectName(QStringLiteral("mnuHelp"));
  QAction* manual = menu->addAction(QStringLiteral("操作説明(&M)"));
  manual->setObjectName(QStringLiteral("mnuHelpManual"));
  manual->setShortcut(QKeySequence(Qt::Key_F1));
  manual->setShortcutContext(Qt::ApplicationShortcut);
  menu->addSeparator();
  QAction* about = menu->addAction(QStringLiteral("バージョン情報(&A)"));
  about->setObjectName(QStringLiteral("mnuHelpAbout"));

  // One manual window, brought forward when asked for again.
  auto window = std::make_shared<QPointer<QDialog>>();
  QObject::connect(manual, &QAction::triggered, owner, [owner, programFolder, window, messages] {
    if (*window) {
      (*window)->raise();
      (*window)->activateWindow();
      return;
    }
    const QString path = ManualPath(programFolder);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      if (messages)
        messages->Show(QStringLiteral("操作説明のファイル %1 を読めません。").arg(QDir::toNativeSeparators(path)),
                       MsgButtons::Ok, MsgIcon::Critical);
      return;
    }
    auto* dialog = new QDialog(owner);
    dialog->setObjectName(QStringLiteral("frmManual"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("KemoEditor 操作説明"));
    auto* column = new QVBoxLayout(dialog);
    auto* text = new QTextBrowser(dialog);
    text->setObjectName(QStringLiteral("manualText"));
    // Only the installed file: no link leads out of it.
    text->setOpenLinks(false);
    text->setHtml(QString::fromUtf8(file.readAll()));
    column->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    column->addWidget(buttons);
    const QFontMetrics fm(dialog->font());
    dialog->resize(fm.horizontalAdvance(QLatin1Char('M')) * 70, fm.height() * 36);
    *window = dialog;
    dialog->show();
  });
  QObject::connect(about, &QAction::triggered, owner, [owner] {
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("frmAbout"));
    dialog.setWindowTitle(QStringLiteral("KemoEditor バージョン情報"));
    auto* column = new QVBoxLayout(&dialog);
    auto* label = new QLabel(VersionText(), &dialog);
    label->setObjectName(QStringLiteral("aboutText"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    column->addWidget(buttons);
    dialog.exec();
  });
}

int RunInfoCommandLine(int argc, char** argv) {
  if (argc != 2) return -1;
  QString text;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
    text = UsageText();
  else if (std::strcmp(argv[1], "--version") == 0)
    text.clear();
  else
    return -1;
  QCoreApplication app(argc, argv);  // for the ffmpeg it asks
  if (text.isEmpty()) text = VersionText();
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace kemo
