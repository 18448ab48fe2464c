// A corpus of broken and hostile content.xml files, each with the behaviour it must get: a clear
// message with the tables left as they were, or a sane table; never a crash, a hang or a file read
// that the document has no business reading.
#include <QDir>
#include <QElapsedTimer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <memory>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "platform/record_set.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ed_ = std::make_unique<Editor>();
    ed().ProgramFolder = program_.path();
    ed().DataFolder = data_.path();
    ed().svc.messages = &messages_;
    ed().svc.clock = &clock_;
    ed().RS_SLD = &sld_;
    ed().RS_CUR = &cur_;
    ReadSymbolFile(ed());
    // What an earlier, good load left in the tables.
    test::WriteFile(content(), test::ContentXml({QStringLiteral("4|before|b.jpg")}, {QStringLiteral("4|0.1|0.2")}));
    Open();
    messages_.Clear();
  }
  Editor& ed() { return *ed_; }
  QString content() const { return data_.path() + QStringLiteral("/content.xml"); }
  // Opening as the folder commands do: load, then rebuild from whatever is staged.
  bool Open() {
    const bool ok = LoadContentXml(ed());
    BuildRecords(ed());
    BuildSlideTable(ed());
    BuildPointTable(ed());
    return ok;
  }
  // A bad file: the loader reports the parser's reason once and the tables keep the earlier load.
  void ExpectRefused(const QByteArray& bytes, const char* what) {
    SCOPED_TRACE(what);
    test::WriteFile(content(), bytes);
    messages_.Clear();
    EXPECT_TRUE(Open());
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_TRUE(messages_.LastText().startsWith(ShowPath(content()) + QLatin1Char(':'))) << messages_.LastText().toStdString();
    EXPECT_EQ(ed().SldCnt, 1);
    EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("before"));
    EXPECT_EQ(ed().CurCnt, 1);
  }
  void ExpectTablesSane() {
    for (int i = 0; i < ed().SldCnt; ++i) EXPECT_TRUE(std::isfinite(ed().Sld[i].pos)) << i;
    for (int i = 0; i < ed().CurCnt; ++i) EXPECT_TRUE(std::isfinite(ed().Cur[i].t)) << i;
    EXPECT_EQ(sld_.RecordCount(), ed().SldCnt);
    EXPECT_EQ(cur_.RecordCount(), ed().CurCnt);
  }

  test::ProgramFolder program_;
  QTemporaryDir data_;
  ScriptedMessageBoxes messages_;
  FixedClock clock_{QDateTime(QDate(2026, 12, 8), QTime(11, 0))};
  RecordSet sld_, cur_;
  std::unique_ptr<Editor> ed_;
};

}  // namespace

TEST_F(BadInput, MalformedTruncatedAndMisdeclaredFilesAreRefused) {
  const QByteArray good = test::ContentXml({QStringLiteral("1|a|a.jpg"), QStringLiteral("2|b|b.jpg")}, {});
  ExpectRefused(good.left(good.size() / 2), "truncated in the middle");
  ExpectRefused(good.left(good.indexOf("caption=\"a") + 10), "truncated inside an attribute");
  ExpectRefused("<content><slide><scene pos=\"1\" pos=\"2\"/></slide></content>", "duplicate attribute");
  ExpectRefused("<content><slide><scene pos=1/></slide></content>", "unquoted value");
  ExpectRefused("<content><slide><scene caption=\"a&#1;b\"/></slide></content>", "control character reference");
  ExpectRefused("<content><slide><scene caption=\"&undefined;\"/></slide></content>", "undefined entity");
  ExpectRefused("<content/><content/>", "two document elements");
  ExpectRefused(QByteArray("<content>\0</content>", 20), "NUL byte");
  ExpectRefused("\x89PNG\r\n\x1a\n binary garbage", "not XML at all");
  // Declared UTF-8 but written in Shift_JIS.
  ExpectRefused("<?xml version=\"1.0\" encoding=\"UTF-8\"?><content><slide><scene caption=\"\x93\xfa\x96\x7b\"/></slide></content>",
                "wrong declared encoding");
  ExpectRefused("<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?><content/>", "unknown encoding");
}

TEST_F(BadInput, ByteOrderMarksAndUtf16Load) {
  const QString caption = QStringLiteral("日本語の題 ①");
  const QString doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<content><slide><scene pos=\"1.5\" caption=\"%1\" "
                                     "image=\"a.jpg\"/></slide><cursor><p t=\"1\" x=\"0.5\" y=\"0.5\"/></cursor></content>")
                          .arg(caption);
  QStringEncoder utf16le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
  test::WriteFile(content(), utf16le(doc));
  EXPECT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty()) << messages_.LastText().toStdString();
  ASSERT_EQ(ed().SldCnt, 1);
  EXPECT_EQ(ed().Sld[0].caption, caption);

  QString utf8doc = doc;
  utf8doc.replace(QStringLiteral("UTF-16"), QStringLiteral("UTF-8"));
  test::WriteFile(content(), QByteArray("\xEF\xBB\xBF") + utf8doc.toUtf8());
  EXPECT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(ed().Sld[0].caption, caption);
  EXPECT_EQ(ed().Sld[0].pos, 1.5);
}

TEST_F(BadInput, HostileStructuresAreRefusedQuickly) {
  QElapsedTimer timer;
  timer.start();
  // Nesting far deeper than any content.xml.
  QByteArray deep;
  deep.reserve(1200000);
  deep += "<content>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  deep += "</content>";
  ExpectRefused(deep, "nesting 100000 deep");

  // An entity that would expand to gigabytes.
  QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE content [<!ENTITY e0 \"ha\">";
  for (int i = 1; i <= 30; ++i) bomb += QStringLiteral("<!ENTITY e%1 \"&e%2;&e%2;\">").arg(i).arg(i - 1).toUtf8();
  bomb += "]><content><slide><scene pos=\"1\" caption=\"&e30;\"/></slide></content>";
  ExpectRefused(bomb, "entity bomb in an attribute");
  QByteArray contentBomb = bomb;
  contentBomb.replace("<scene pos=\"1\" caption=\"&e30;\"/>", "<scene pos=\"1\">&e30;</scene>");
  ExpectRefused(contentBomb, "entity bomb in content");

  // One large entity used many times would make gigabytes of staged text if it were expanded.
  // Entities of the document's own subset are kept as references: the text shows the reference.
  QByteArray wide = "<?xml version=\"1.0\"?><!DOCTYPE content [<!ENTITY big \"" + QByteArray(100000, 'x') + "\">]><content><slide>";
  for (int i = 0; i < 2000; ++i) wide += "<scene pos=\"1\" caption=\"&big;\"/>";
  wide += "</slide></content>";
  test::WriteFile(content(), wide);
  messages_.Clear();
  EXPECT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty());
  ASSERT_EQ(ed().SldCnt, 2000);
  EXPECT_LT(ed().Sld[1999].caption.size(), 100);
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("&big;"));
  EXPECT_LT(timer.elapsed(), 30000);
}

TEST_F(BadInput, ExternalEntitiesAndDtdsAreNeverRead) {
  const QString secret = data_.path() + QStringLiteral("/secret.txt");
  test::WriteFile(secret, "TOP-SECRET");
  const QString dtd = data_.path() + QStringLiteral("/evil.dtd");
  test::WriteFile(dtd, QStringLiteral("<!ENTITY leak SYSTEM \"file://%1\">").arg(secret).toUtf8());
  const QStringList docs = {
      QStringLiteral("<!DOCTYPE content [<!ENTITY x SYSTEM \"file://%1\">]><content><slide><scene pos=\"1\">&x;</scene></slide></content>")
          .arg(secret),
      QStringLiteral("<!DOCTYPE content SYSTEM \"file://%1\"><content><slide><scene pos=\"1\">&leak;</scene></slide></content>").arg(dtd),
      QStringLiteral("<!DOCTYPE content [<!ENTITY % p SYSTEM \"file://%1\"> %p;]><content><slide><scene pos=\"1\">&leak;</scene></slide></content>")
          .arg(dtd),
      QStringLiteral("<content xmlns:xi=\"http://www.w3.org/2001/XInclude\"><slide><scene pos=\"1\"><xi:include href=\"file://%1\" parse=\"text\"/></scene></slide></content>")
          .arg(secret),
  };
  for (const QString& doc : docs) {
    SCOPED_TRACE(doc.toStdString());
    test::WriteFile(content(), doc.toUtf8());
    messages_.Clear();
    EXPECT_TRUE(Open());
    for (int i = 0; i <= ed().SldCnt; ++i) {
      EXPECT_FALSE(ed().SldXml[i].contains(QStringLiteral("TOP-SECRET")));
      EXPECT_FALSE(ed().Sld[i].caption.contains(QStringLiteral("TOP-SECRET")));
    }
    for (const auto& m : messages_.shown) EXPECT_FALSE(m.text.contains(QStringLiteral("TOP-SECRET")));
    ExpectTablesSane();
  }
}

TEST_F(BadInput, BadValuesGiveSaneTablesAndSaveBack) {
  const QString longX(10000, QLatin1Char('7'));
  test::WriteFile(content(),
                  QStringLiteral("<content><slide>"
                                 "<scene pos=\"abc\" caption=\"line1&#10;line2&#13;&#9;tab\" image=\"../../etc/passwd\"/>"
                                 "<scene pos=\"-5\" caption=\"literal\nnewline\" image=\"/etc/hosts\"/>"
                                 "<scene pos=\"1e309\" caption=\"\" image=\"C:\\Windows\\win.ini\"/>"
                                 "<scene pos=\"NaN\"/><scene pos=\"1e300\"/><scene/>"
                                 "</slide><cursor>"
                                 "<p t=\"NaN\" x=\"%1\" y=\"%1\"/><p t=\"-5\" x=\"-0.5\" y=\"2\"/><p t=\"1e309\" x=\"inf\" y=\"\"/>"
                                 "<p t=\"\" x=\"0,5\" y=\" 0.5 \"/>"
                                 "</cursor></content>")
                      .arg(longX)
                      .toUtf8());
  EXPECT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty());
  ASSERT_EQ(ed().SldCnt, 6);
  ASSERT_EQ(ed().CurCnt, 4);
  ExpectTablesSane();
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("line1\nline2\r\ttab"));
  // The parser normalises a literal line break in an attribute to a space.
  EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("literal newline"));
  EXPECT_EQ(ed().Sld[1].pos, -5.0);
  EXPECT_EQ(ed().Cur[1].t, -5.0);
  EXPECT_EQ(ed().Cur[0].x, longX);
  EXPECT_EQ(cur_.FieldAt(0, 2).toString(), QString());  // 10000 digits are no fraction
  EXPECT_EQ(cur_.FieldAt(1, 2).toString(), QStringLiteral("-50"));
  EXPECT_EQ(cur_.FieldAt(2, 2).toString(), QString());
  EXPECT_EQ(cur_.FieldAt(3, 2).toString(), QString());
  EXPECT_EQ(cur_.FieldAt(3, 3).toString(), QStringLiteral("50"));
  // Image names are held as written; they are not plain file names, so nothing opens them.
  EXPECT_EQ(ed().Sld[0].image, QStringLiteral("../../etc/passwd"));
  EXPECT_FALSE(IsPlainFileName(ed().Sld[0].image));
  EXPECT_FALSE(IsPlainFileName(ed().Sld[1].image));
  EXPECT_FALSE(IsPlainFileName(ed().Sld[2].image));

  // Saved and read back: every text as it was, every time a finite number.
  ASSERT_TRUE(SaveContentXml(ed()));
  const auto before = std::make_unique<Editor>(ed());
  messages_.Clear();
  EXPECT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty()) << messages_.LastText().toStdString();
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(ed().Sld[i].caption, before->Sld[i].caption) << i;
    EXPECT_EQ(ed().Sld[i].image, before->Sld[i].image) << i;
    EXPECT_EQ(ed().Sld[i].pos, before->Sld[i].pos) << i;
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ed().Cur[i].x, before->Cur[i].x) << i;
    EXPECT_EQ(ed().Cur[i].t, before->Cur[i].t) << i;
  }
}

TEST_F(BadInput, WhatNoRecorderWritesIsRefusedBeforeTheParser) {
  QElapsedTimer timer;
  {
    // One scene with 250,000 attributes (2.9 MB): the parser's duplicate check would take minutes.
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content><slide>\n<scene";
    for (int i = 0; i < 250000; ++i) bytes += " a" + QByteArray::number(i) + "=\"1\"";
    bytes += "/></slide><cursor/></content>\n";
    timer.start();
    ExpectRefused(bytes, "250,000 attributes");
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(messages_.LastText(), ShowPath(content()) + QStringLiteral(":3: 要素sceneの属性が多すぎます（250000個。16個まで読み込めます）。"));
  }
  {
    // Far more than 3600 slides and 3600 points need: refused before anything is read.
    QByteArray big = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content><slide>";
    for (int i = 0; i < 3600; ++i) big += QStringLiteral("<scene pos=\"%1\" caption=\"題%1\" image=\"a.jpg\"/>").arg(i).toUtf8();
    big += "</slide><cursor>";
    const QByteArray point = "<p t=\"1.5\" x=\"0.123456789\" y=\"0.987654321\" note=\"" + QByteArray(150, 'n') + "\"/>\n";
    while (big.size() < 50 * 1024 * 1024) big += point;
    big += "</cursor></content>\n";
    timer.start();
    ExpectRefused(big, "50 MB");
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(messages_.LastText(), ShowPath(content()) + QStringLiteral(": ファイルが大きすぎるため、読み込めません（16MBまで）。"));
  }
  {
    // The same attack in UTF-16 (the byte order mark makes libxml2 read it): the guard reads code units.
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<content><slide><scene");
    for (int i = 0; i < 20; ++i) text += QStringLiteral(" a%1=\"題\"").arg(i);
    text += QStringLiteral("/></slide><cursor/></content>\n");
    QByteArray bytes("\xFF\xFE", 2);
    bytes += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    ExpectRefused(bytes, "UTF-16");
    EXPECT_TRUE(messages_.LastText().endsWith(QStringLiteral(":2: 要素sceneの属性が多すぎます（20個。16個まで読み込めます）。")));
  }
  {
    // Millions of empty elements would cost gigabytes of tree (no file of records comes near).
    QByteArray many = "<content><slide><scene pos=\"1\" caption=\"c\" image=\"a.jpg\"/></slide><cursor>";
    for (int i = 0; i < 1100000; ++i) many += "<q/>";
    many += "</cursor></content>";
    ExpectRefused(many, "1,100,000 elements");
    EXPECT_TRUE(messages_.LastText().endsWith(QStringLiteral("要素が多すぎます（1048576個まで読み込めます）。")));
  }
}

TEST_F(BadInput, GuardLetsRealFilesThrough) {
  // Markup characters inside values, comments, CDATA and a document type, a Shift_JIS caption
  // and 3601 scenes (which load with their own message) are no reason to refuse.
  QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE content [<!ENTITY e \"a=b=c\">]>\n"
                     "<!-- x=1 y=2 z=3 <scene a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 i=9 j=10 k=11 l=12 m=13 n=14 o=15 p=16 q=17> -->\n"
                     "<content><slide>";
  bytes += "<scene pos=\"0\" caption=\"a=b c=d e=f g=h i=j k=l m=n o=p q=r s=t u=v w=x y=z A=B C=D E=F G=H I=J > &lt;\" image='x=1.jpg'/>";
  for (int i = 1; i < 3601; ++i) bytes += "<scene pos=\"" + QByteArray::number(i) + "\" caption=\"c\" image=\"a.jpg\"/>";
  bytes += "</slide><cursor><![CDATA[ <p a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 i=9 j=10 k=11 l=12 m=13 n=14 o=15 p=16 q=17/> ]]>"
           "<p t=\"1\" x=\"0.5\" y=\"0.5\"/></cursor></content>\n";
  test::WriteFile(content(), bytes);
  messages_.Clear();
  EXPECT_TRUE(Open());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.LastText().startsWith(QStringLiteral("3601枚のスライドが登録されています。"))) << messages_.LastText().toStdString();
  EXPECT_EQ(ed().SldCnt, 3600);
  EXPECT_EQ(ed().CurCnt, 1);
}

TEST_F(BadInput, UnreadableContentPathsShowTheReason) {
  QFile::remove(content());
  QDir().mkpath(content());  // a folder where the file should be
  messages_.Clear();
  EXPECT_TRUE(Open());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.LastText().contains(ShowPath(content())));
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("before"));

  // No folder at all: nothing read from or written to the root of the disk, whatever it holds
  // (a /content.xml there is neither loaded nor replaced, and no backup appears beside it).
  const auto rootState = [] {
    const QFileInfo file(QStringLiteral("/content.xml"));
    return QStringList{QString::number(file.exists()), QString::number(file.size()),
                       file.lastModified().toString(Qt::ISODateWithMs)} +
           QDir(QStringLiteral("/")).entryList({QStringLiteral("content*")}, QDir::AllEntries | QDir::Hidden);
  };
  const QStringList before = rootState();
  ed().DataFolder.clear();
  messages_.Clear();
  EXPECT_TRUE(LoadContentXml(ed()));
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_FALSE(SaveContentXml(ed()));
  EXPECT_EQ(rootState(), before);
}
