// What the program's start does to show its window early: the window built frame first and
// completed by the first command, the picture files read by the format their header names, one
// Japanese face for regular and bold text, the menu bar's own symbols, the fonts looked up aside.
#include <QApplication>
#include <QBuffer>
#include <QFontInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QStyle>
#include <QTemporaryDir>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "platform/bold_font.h"
#include "platform/data_grid.h"
#include "platform/font_warm_up.h"
#include "platform/picture_file.h"
#include "platform/player_icons.h"
#include "platform/twips.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

QStringList MenuTitles(QMainWindow* window) {
  QStringList titles;
  for (QAction* a : window->menuBar()->actions()) titles << a->text();
  return titles;
}

const QString kStartCaption = QStringLiteral(
    "Kemo.Editor  [Kemo.Recorderのデータフォルダが指定されていません] 動作モード[静止] 記録モード[OFF] 編集モード[OFF］");

}  // namespace

// Each way in from outside finds the window built, in the no-folder state, laid out for the size
// the window was given before its controls existed.
TEST(StartUp, AWindowBuiltFrameFirstIsCompletedByWhateverComesFirst) {
  const QStringList wholeMenus = MenuTitles(test::Window().window.get());
  struct Case {
    const char* name;
    std::function<void(test::Window&)> command;
  };
  const std::vector<Case> cases = {
      {"the first drawing's task", [](test::Window& w) { w.window->FinishBuilding(); }},
      {"a folder from the command line",
       [](test::Window& w) { w.window->OpenFolderFromOutside(w.program.path() + QStringLiteral("/none")); }},
      {"the recovery offer", [](test::Window& w) { w.window->OfferRecoveryAtStart(); }},
      {"a close by the window system",
       [](test::Window& w) {
         w.messages.Answer(MsgResult::No);
         w.window->close();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::Window w(FrmMain::Build::FrameFirst);
    // The frame: every menu title is on the bar, no control exists, play and drops do nothing.
    EXPECT_FALSE(w.window->Built());
    EXPECT_EQ(w.ed().ui.frMain, nullptr);
    EXPECT_EQ(MenuTitles(w.window.get()), wholeMenus);
    w.window->TogglePlayback();
    const QSize design = FrmMain::DesignClientSize();
    w.window->resize(design * 0.8 + QSize(0, w.window->menuBar()->sizeHint().height()));
    w.window->show();
    test::Pump();

    c.command(w);
    ASSERT_TRUE(w.window->Built());
    ASSERT_NE(w.ed().ui.frMain, nullptr);
    EXPECT_EQ(w.ed().EditorState, State::NoFolder);
    EXPECT_EQ(w.window->windowTitle(), kStartCaption);
    EXPECT_NEAR(LayoutScale(), 0.8, 0.02);
    EXPECT_TRUE(w.window->isVisible());
    // Built once: a second finish adds nothing.
    const int children = static_cast<int>(w.window->findChildren<QWidget*>().size());
    w.window->FinishBuilding();
    EXPECT_EQ(static_cast<int>(w.window->findChildren<QWidget*>().size()), children);
  }
}

// A picture is decoded by the format its first bytes name, and by what it is when the header lies
// or the name does; anything else is no picture.
TEST(StartUp, PictureFilesAreReadByTheirContent) {
  QTemporaryDir dir;
  const QImage source = test::NumberPicture(7, 64, 48);
  const auto encoded = [&source](const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    source.save(&buffer, format);
    return bytes;
  };
  struct Case {
    const char* file;
    QByteArray bytes;
    bool picture;
  };
  const std::vector<Case> cases = {
      {"jpeg.jpg", encoded("JPG"), true},
      {"png-named.jpg", encoded("PNG"), true},
      {"bmp-named.png", encoded("BMP"), true},
      {"ppm-named.jpg", encoded("PPM"), true},
      {"jpeg-header-only.jpg", QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(200, 'x'), false},
      {"png-header-only.png", QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(200, '\0'), false},
      {"bm-text.bmp", QByteArrayLiteral("BM is not a picture"), false},
      {"empty.jpg", QByteArray(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const QString path = dir.filePath(QString::fromLatin1(c.file));
    test::WriteFile(path, c.bytes);
    EXPECT_EQ(IsPictureFile(path), c.picture);
    const QImage read = ReadPictureFile(path);
    EXPECT_EQ(!read.isNull(), c.picture);
    if (c.picture) {
      EXPECT_EQ(read.size(), source.size());
      EXPECT_EQ(ReadPictureFile(path, QSize(32, 24)).size(), QSize(32, 24));
    }
  }
}

// Text is drawn from the interface's one face, IPA Gothic (the grids' own face is not installed);
// bold text (a grid's header) is that face made bolder, never a bold face's file, and the toolkit's
// bold measure of a header section takes the regular face too. The menu bar's titles, those the
// rooms add as well, are drawn from that face alone, so every character of them must be in it; the
// menus, which show folder names, still take faces that stand in for what it lacks.
TEST(StartUp, TextIsDrawnFromTheInterfacesRegularFace) {
  EXPECT_EQ(QFontInfo(FrmMain::WindowFont(QFont())).family(), QStringLiteral("IPAGothic"));
  QWidget parent;
  auto* grid = new DataGrid(&parent);
  grid->SetGridFont(QStringLiteral("Arial Unicode MS"), 9, true);
  const QFontInfo header(grid->horizontalHeader()->font());
  EXPECT_EQ(header.family(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(header.styleName(), QStringLiteral("Regular"));
  EXPECT_TRUE(header.bold());
  QFont measured = grid->horizontalHeader()->font();
  measured.setBold(true);
  EXPECT_EQ(QFontInfo(measured).styleName(), QStringLiteral("Regular"));
  EXPECT_EQ(QFontInfo(BoldFromRegular(QFont(QStringLiteral("Noto Sans CJK JP")))).styleName(),
            QStringLiteral("Regular"));

  test::Window w;
  const QFont bar = w.window->menuBar()->font();
  EXPECT_TRUE(bar.styleStrategy() & QFont::NoFontMerging);
  EXPECT_EQ(QFontInfo(bar).family(), QStringLiteral("IPAGothic"));
  const QFontMetrics face(bar);
  ASSERT_GE(w.window->menuBar()->actions().size(), 7);
  for (QAction* title : w.window->menuBar()->actions()) {
    for (QChar c : title->text())
      if (c != QLatin1Char('&'))
        EXPECT_TRUE(face.inFont(c)) << title->text().toStdString() << " U+" << std::hex << int(c.unicode());
    ASSERT_NE(title->menu(), nullptr);
    EXPECT_FALSE(title->menu()->font().styleStrategy() & QFont::NoFontMerging) << title->text().toStdString();
  }
  EXPECT_FALSE(face.inFont(QChar(0xAC00))) << "a Hangul syllable is not in the face: the check can fail";
}

// The menu bar's extension button takes the style's drawn chevrons, not a picture file; the font
// look-up aside the start ends whether or not it was given a font.
TEST(StartUp, TheStyleDrawsTheExtensionSymbolsAndTheFontLookUpEnds) {
  std::unique_ptr<QStyle> style(CreateEditorStyle());
  for (QStyle::StandardPixmap symbol : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
    const QImage drawn = style->standardIcon(symbol).pixmap(16, 16).toImage();
    int ink = 0;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x) ink += qAlpha(drawn.pixel(x, y)) > 128;
    EXPECT_GT(ink, 10) << symbol;
  }
  EXPECT_FALSE(style->standardIcon(QStyle::SP_DialogOkButton).isNull());
  {
    FontWarmUp unused;
  }
  FontWarmUp fonts;
  fonts.FillFontList();
  fonts.WaitForConfiguration();
  // Asked for at the display's opening, with the application already there: at once.
  FontWarmUp early;
  early.FillFontListOnceTheDisplayIsOpen();
  early.Finish();
}

namespace {

// The face and settings a configuration gives a request, as fontconfig writes them out.
std::string Matched(FcConfig* config, const char* request) {
  FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(request));
  FcConfigSubstitute(config, p, FcMatchPattern);
  FcDefaultSubstitute(p);
  FcResult result;
  FcPattern* match = FcFontMatch(config, p, &result);
  FcChar8* text = FcNameUnparse(match);
  const std::string found(reinterpret_cast<const char*>(text));
  FcStrFree(text);
  FcPatternDestroy(match);
  FcPatternDestroy(p);
  return found;
}

}  // namespace

// The start reads the font configuration the library itself would, for the desktop's configuration
// and for one the environment names (which must not be passed over for the desktop's).
TEST(StartUp, TheStartReadsTheFontConfigurationTheLibraryWould) {
  QTemporaryDir dir;
  const QString named = dir.filePath(QStringLiteral("fonts.conf"));
  FcChar8* desktop = FcConfigFilename(nullptr);
  test::WriteFile(named, "<fontconfig><include>" + QByteArray(reinterpret_cast<const char*>(desktop)) +
                             "</include><match><edit name=\"hintstyle\"><const>hintfull</const></edit></match></fontconfig>");
  FcStrFree(desktop);
  const QByteArray before = qgetenv("FONTCONFIG_FILE");
  for (const QString& file : {QString(), named}) {
    file.isEmpty() ? qunsetenv("FONTCONFIG_FILE") : qputenv("FONTCONFIG_FILE", file.toLocal8Bit());
    LoadFontConfiguration();
    FcConfig* library = FcInitLoadConfigAndFonts();
    for (const char* request : {"sans-serif", "serif:bold", "monospace", "IPAGothic", "Noto Sans CJK JP:lang=ja"})
      EXPECT_EQ(Matched(nullptr, request), Matched(library, request)) << request << " " << file.toStdString();
    EXPECT_EQ(Matched(nullptr, "sans-serif").find(":hintstyle=3") != std::string::npos, !file.isEmpty());
    FcConfigDestroy(library);
  }
  before.isNull() ? qunsetenv("FONTCONFIG_FILE") : qputenv("FONTCONFIG_FILE", before);
  LoadFontConfiguration();  // the toolkit goes on with the desktop's
}
