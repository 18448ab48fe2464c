// The content.xml reader and writer on real files through the real libxml2.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <memory>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "platform/message_box.h"
#include "platform/services.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

class ContentXml : public ::testing::Test {
 protected:
  void SetUp() override {
    ed_ = std::make_unique<Editor>();
    ed().ProgramFolder = program_.path();
    ed().DataFolder = data_.path();
    ed().svc.messages = &messages_;
    clock_.now = QDateTime(QDate(2026, 12, 8), QTime(9, 30, 15));
    ed().svc.clock = &clock_;
  }
  Editor& ed() { return *ed_; }
  QString content() const { return data_.path() + QStringLiteral("/content.xml"); }
  void Write(const QByteArray& bytes) { test::WriteFile(content(), bytes); }
  // Loads the file and builds the records, as opening a folder does.
  bool Open() {
    const bool ok = LoadContentXml(ed());
    BuildRecords(ed());
    return ok;
  }
  QStringList Texts() const {
    QStringList t;
    for (const auto& s : messages_.shown) t << s.text;
    return t;
  }

  test::ProgramFolder program_;
  QTemporaryDir data_;
  ScriptedMessageBoxes messages_;
  FixedClock clock_;
  std::unique_ptr<Editor> ed_;
};

QString Scene(int i) { return QStringLiteral("%1|スライド%2|%3.jpg").arg(i).arg(i).arg(i, 3, 10, QLatin1Char('0')); }

}  // namespace

TEST_F(ContentXml, ReadsValuesSavesThemInOrderAndReadsThemBack) {
  const QString longCaption = QString(300, QChar(0x3042));  // 300 × あ
  Write(test::ContentXml({QStringLiteral("12.5|A & B < C \"q\"|001.jpg"), QStringLiteral("3|講義の概要|002.jpg"),
                          QStringLiteral("20|image=\"x.jpg\" caption|003.jpg"), QStringLiteral("30|") + longCaption + QStringLiteral("|004.jpg")},
                         {QStringLiteral("1.23456|0.50|0.25"), QStringLiteral("2|0.4523|1")}));
  ASSERT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty()) << Texts().join(QLatin1Char('\n')).toStdString();
  ASSERT_EQ(ed().SldCnt, 4);
  ASSERT_EQ(ed().CurCnt, 2);
  EXPECT_EQ(ed().Sld[0].pos, 12.5);
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("A & B < C \"q\""));
  EXPECT_EQ(ed().Sld[0].timeText, QStringLiteral("00:12.500"));
  EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("講義の概要"));
  EXPECT_EQ(ed().Sld[2].caption, QStringLiteral("image=\"x.jpg\" caption"));
  EXPECT_EQ(ed().Sld[2].image, QStringLiteral("003.jpg"));
  EXPECT_EQ(ed().Sld[3].caption, longCaption);
  EXPECT_DOUBLE_EQ(ed().Cur[0].t, 1.235);
  EXPECT_EQ(ed().Cur[0].x, QStringLiteral("0.50"));
  EXPECT_EQ(ed().Cur[0].mark, QString());

  const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
  QFile::setPermissions(content(), perms);
  ASSERT_TRUE(SaveContentXml(ed()));
  EXPECT_EQ(messages_.LastText(), QStringLiteral("保存しました。\r") + QDir::toNativeSeparators(data_.path()));
  // The new file replaces the old one with the old one's permissions.
  EXPECT_EQ(QFile::permissions(content()) & QFileDevice::Permissions(0x7077), perms);
  const QString saved = QString::fromUtf8(test::ReadFile(content()));
  EXPECT_TRUE(saved.contains(QStringLiteral("<scene pos=\"12.5\" caption=\"A &amp; B &lt; C &quot;q&quot;\" image=\"001.jpg\"/>")))
      << saved.toStdString();
  EXPECT_TRUE(saved.contains(QStringLiteral("<scene pos=\"3\" caption=\"講義の概要\" image=\"002.jpg\"/>")));
  EXPECT_TRUE(saved.contains(QStringLiteral("<p t=\"1.235\" x=\"0.50\" y=\"0.25\"/><p t=\"2\" x=\"0.4523\" y=\"1\"/>")));
  // The template's declaration and layout pass through; nothing of the old file does.
  EXPECT_TRUE(saved.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")));

  // Read again into a fresh editor: the same values.
  Editor& first = ed();
  auto again = std::make_unique<Editor>();
  again->DataFolder = first.DataFolder;
  again->svc.messages = &messages_;
  ASSERT_TRUE(LoadContentXml(*again));
  BuildRecords(*again);
  ASSERT_EQ(again->SldCnt, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(again->Sld[i].pos, first.Sld[i].pos);
    EXPECT_EQ(again->Sld[i].caption, first.Sld[i].caption);
    EXPECT_EQ(again->Sld[i].image, first.Sld[i].image);
  }
  EXPECT_EQ(again->Cur[0].x, QStringLiteral("0.50"));
  EXPECT_DOUBLE_EQ(again->Cur[1].t, 2.0);
}

TEST_F(ContentXml, MissingAttributesAndDocumentOrderAcrossContainers) {
  Write(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content>"
                          "<slide><scene pos=\"1\" image=\"a.jpg\"/><scene pos=\"2\" caption=\"b\" image=\"b.jpg\"/></slide>"
                          "<other><scene pos=\"99\" caption=\"not a slide\"/></other>"
                          "<slide><scene pos=\"3\" caption=\"c\" image=\"c.jpg\"/></slide>"
                          "<cursor><p t=\"1\" y=\"0.5\"/></cursor><cursor><p t=\"2\" x=\"0.1\" y=\"0.2\"/></cursor>"
                          "</content>"));
  ASSERT_TRUE(Open());
  ASSERT_EQ(ed().SldCnt, 3);
  EXPECT_EQ(ed().Sld[0].caption, QString());
  EXPECT_EQ(ed().Sld[1].caption, QStringLiteral("b"));
  EXPECT_EQ(ed().Sld[2].caption, QStringLiteral("c"));
  EXPECT_EQ(ed().Sld[2].pos, 3.0);
  ASSERT_EQ(ed().CurCnt, 2);
  EXPECT_EQ(ed().Cur[0].x, QString());
  EXPECT_EQ(ed().Cur[1].x, QStringLiteral("0.1"));

  // A document without scenes reads as none, also after an earlier load.
  Write(QByteArrayLiteral("<content><slide/><cursor/></content>"));
  ASSERT_TRUE(Open());
  EXPECT_EQ(ed().SldCnt, 0);
  EXPECT_EQ(ed().CurCnt, 0);
  EXPECT_TRUE(messages_.shown.empty());
}

// Every kind of scene a file may hold reads back its attribute values exactly: plain elements,
// elements with children, namespaced attributes, entity and character references, markup and white
// space inside values, empty values, a document without an encoding declaration.
TEST_F(ContentXml, AttributeValuesReadBackExactlyWhateverTheSceneLooksLike) {
  const QByteArray scenes =
      "<slide xmlns:k=\"urn:k\">"
      "<scene pos=\"1\" caption=\"a &amp; b &lt;c&gt; &quot;d&quot; 'e' &#10;f&#13;&#9;g &amp;lt;\" image=\"1.jpg\"/>"
      "<scene pos='2' caption='\"quoted\" &apos;apos&apos;' image=''/>"
      "<scene k:pos=\"99\" pos=\"3\" caption=\"名前&#x1F600;\" image=\"3.jpg\"/>"
      "<scene pos=\"4\" caption=\"with child\" image=\"4.jpg\"><note image=\"no.jpg\"/></scene>"
      "<scene xmlns=\"urn:d\" pos=\"5\" caption=\"default ns\" image=\"5.jpg\"/>"
      "<k:scene pos=\"6\" caption=\"prefixed\" image=\"6.jpg\"/>"
      "<scene pos=\"7\" caption=\"\" image=\"7.jpg\"/>"
      "</slide><cursor><p t=\"1\" x=\" 0.5 \" y=\"0.25\"/></cursor>";
  const struct {
    double pos;
    QString caption, image;
  } want[] = {{1, QStringLiteral("a & b <c> \"d\" 'e' \nf\r\tg &lt;"), QStringLiteral("1.jpg")},
              {2, QStringLiteral("\"quoted\" 'apos'"), QString()},
              {3, QStringLiteral("名前😀"), QStringLiteral("3.jpg")},
              {4, QStringLiteral("with child"), QStringLiteral("4.jpg")},
              {7, QString(), QStringLiteral("7.jpg")}};
  for (const QByteArray& declaration : {QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"), QByteArray()}) {
    SCOPED_TRACE(declaration.isEmpty() ? "no declaration" : "UTF-8 declared");
    Write(declaration + "<content>" + scenes + "</content>");
    ASSERT_TRUE(Open());
    // Elements in a namespace are not scenes of this document.
    ASSERT_EQ(ed().SldCnt, 5);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(ed().Sld[i].pos, want[i].pos) << i;
      EXPECT_EQ(ed().Sld[i].caption, want[i].caption) << i;
      EXPECT_EQ(ed().Sld[i].image, want[i].image) << i;
    }
    ASSERT_EQ(ed().CurCnt, 1);
    EXPECT_EQ(ed().Cur[0].x, QStringLiteral(" 0.5 "));
  }
}

TEST_F(ContentXml, ShiftJisFileWithCp932CharactersReadsAndWritesBack) {
  // ①～㈱日本語 and a backslash, as Japanese Windows writes them under the name Shift_JIS.
  const QByteArray caption("\x87\x40\x81\x60\x87\x8A\x93\xFA\x96\x7B\x8C\xEA\x5C", 13);
  const QString expected = QStringLiteral("①～㈱日本語\\");
  Write(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<content><slide><scene pos=\"1\" caption=\"") +
        caption + QByteArrayLiteral("\" image=\"a.jpg\"/></slide><cursor/></content>"));
  ASSERT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty()) << Texts().join(QLatin1Char('\n')).toStdString();
  ASSERT_EQ(ed().SldCnt, 1);
  EXPECT_EQ(ed().Sld[0].caption, expected);

  // Through the UTF-8 template the characters stay the same characters.
  ASSERT_TRUE(SaveContentXml(ed()));
  ASSERT_TRUE(Open());
  EXPECT_EQ(ed().Sld[0].caption, expected);

  // Through a Shift_JIS template they come back as the very bytes of the original file.
  test::WriteFile(ed().TemplatePath(),
                  QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<content>\r\n<slide></slide>\r\n<cursor></cursor>\r\n</content>\r\n"));
  ASSERT_TRUE(SaveContentXml(ed()));
  const QByteArray bytes = test::ReadFile(content());
  EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"));
  EXPECT_TRUE(bytes.contains(QByteArrayLiteral("caption=\"") + caption + '"')) << bytes.toStdString();
  ASSERT_TRUE(Open());
  EXPECT_EQ(ed().Sld[0].caption, expected);

  // A character Shift_JIS has no code for is written as a character reference, not lost.
  ed().Sld[0].caption = expected + QStringLiteral("😀");
  ASSERT_TRUE(SaveContentXml(ed()));
  ASSERT_TRUE(Open());
  EXPECT_EQ(ed().Sld[0].caption, expected + QStringLiteral("😀"));
}

TEST_F(ContentXml, LimitOf3600ScenesAndPoints) {
  QStringList scenes, points;
  for (int i = 0; i < 3600; ++i) {
    scenes << Scene(i);
    points << QStringLiteral("%1|0.5|0.5").arg(i);
  }
  Write(test::ContentXml(scenes, points));
  ASSERT_TRUE(Open());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(ed().SldCnt, 3600);
  EXPECT_EQ(ed().CurCnt, 3600);

  scenes << Scene(3600);
  points << QStringLiteral("3600|0.5|0.5") << QStringLiteral("3601|0.5|0.5");
  Write(test::ContentXml(scenes, points));
  ASSERT_TRUE(Open());
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("3601枚のスライドが登録されています。3601枚目以降のスライドは読み込むことができません。"));
  EXPECT_EQ(messages_.shown[1].text, QStringLiteral("3602個のマウスポイントが登録されています。"
                                                    "3601個目以降のマウスポイントは読み込むことができません。"));
  EXPECT_EQ(messages_.shown[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::None);
  EXPECT_EQ(ed().SldCnt, 3600);
  EXPECT_EQ(ed().CurCnt, 3600);
  EXPECT_EQ(ed().Sld[3599].caption, QStringLiteral("スライド3599"));
  // The 3601st is staged but not counted.
  EXPECT_TRUE(ed().SldXml[3600].contains(QStringLiteral("スライド3600")));
}

// Any number of records up to the byte limit takes the over-limit path; every refusal is in the
// loader's Japanese words and names the file.
TEST_F(ContentXml, LargeFilesLoadTheirFirstRecordsAndRefusalsAreInJapanese) {
  QStringList scenes, points;
  for (int i = 0; i < 36000; ++i) {
    scenes << Scene(i);
    points << QStringLiteral("%1|0.5|0.5").arg(i);
  }
  Write(test::ContentXml(scenes, points));
  ASSERT_TRUE(Open());
  ASSERT_EQ(messages_.shown.size(), 2u) << Texts().join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("36000枚のスライドが登録されています。3601枚目以降のスライドは読み込むことができません。"));
  EXPECT_EQ(ed().SldCnt, 3600);
  EXPECT_EQ(ed().CurCnt, 3600);

  QByteArray loop = "<!DOCTYPE content [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><content><slide><scene caption=\"&a;\"/></slide></content>";
  QByteArray attributes = "<content><slide><scene";
  for (int i = 0; i < 17; ++i) attributes += " a" + QByteArray::number(i) + "=\"1\"";
  attributes += "/></slide></content>";
  const struct {
    const char* name;
    QByteArray bytes;
    const char* words;
  } refused[] = {
      {"too large", "<content>" + QByteArray(16 << 20, ' ') + "</content>", "大きすぎる"},
      {"entity loop", loop, "実体"},
      {"external entity",
       "<!DOCTYPE content [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><content><slide><scene caption=\"&x;\"/></slide></content>",
       "外部の実体"},
      {"too many attributes", attributes, "属性が多すぎます"},
      {"not well-formed", "<content><slide></content>", "形式が正しくない"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    messages_.Clear();
    Write(c.bytes);
    LoadContentXml(ed());
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_TRUE(messages_.LastText().startsWith(QDir::toNativeSeparators(content()))) << messages_.LastText().toStdString();
    EXPECT_TRUE(messages_.LastText().contains(QString::fromUtf8(c.words))) << messages_.LastText().toStdString();
  }
}

TEST_F(ContentXml, ParseErrorOrMissingFileShowsReasonAndKeepsStaging) {
  Write(test::ContentXml({QStringLiteral("5|kept|k.jpg")}, {QStringLiteral("1|0.1|0.2")}));
  ASSERT_TRUE(Open());

  Write(QByteArrayLiteral("<?xml version=\"1.0\"?>\n<content>\n<slide><scene pos=\"1\"/></slide>\n<cursor>\n</content>\n"));
  EXPECT_TRUE(LoadContentXml(ed()));
  ASSERT_EQ(messages_.shown.size(), 1u);
  const QString reason = messages_.LastText();
  // The parser's own words, with where it stopped.
  EXPECT_TRUE(reason.contains(QStringLiteral("mismatch"))) << reason.toStdString();
  EXPECT_TRUE(reason.contains(QStringLiteral(":5:"))) << reason.toStdString();
  EXPECT_EQ(ed().SldCnt, 1);
  EXPECT_EQ(ed().CurCnt, 1);
  // Built again, the earlier file's records stand; its texts went with the first building.
  BuildRecords(ed());
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("kept"));
  EXPECT_EQ(ed().Sld[0].image, QStringLiteral("k.jpg"));
  EXPECT_TRUE(ed().SldXml[0].isEmpty());

  QFile::remove(content());
  EXPECT_TRUE(LoadContentXml(ed()));
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_TRUE(messages_.LastText().contains(QDir::toNativeSeparators(content())));
  EXPECT_TRUE(messages_.LastText().contains(QStringLiteral("No such file"))) << messages_.LastText().toStdString();
  // Built again, the earlier file's records stand; its texts went with the first building.
  BuildRecords(ed());
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("kept"));
  EXPECT_EQ(ed().Sld[0].image, QStringLiteral("k.jpg"));
  EXPECT_TRUE(ed().SldXml[0].isEmpty());
  EXPECT_EQ(ed().SldCnt, 1);

  Write(QByteArray());
  EXPECT_TRUE(LoadContentXml(ed()));
  EXPECT_TRUE(messages_.LastText().contains(QStringLiteral("empty"))) << messages_.LastText().toStdString();
}

TEST_F(ContentXml, EntitiesAreNeitherExpandedWithoutBoundNorFetched) {
  QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE content [\n<!ENTITY a0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">\n";
  for (int i = 1; i <= 12; ++i)
    bomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n").arg(i).arg(i - 1).toUtf8();
  bomb += "]>\n<content><slide><scene pos=\"1\" caption=\"&a12;\"/></slide><cursor/></content>\n";
  Write(bomb);
  EXPECT_TRUE(LoadContentXml(ed()));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(ed().SldCnt, 0);

  const QString secret = data_.path() + QStringLiteral("/secret.txt");
  test::WriteFile(secret, "TOP-SECRET");
  Write(QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE content [<!ENTITY xxe SYSTEM \"file://%1\">]>\n"
                       "<content><slide><scene pos=\"1\" caption=\"c\" image=\"a.jpg\">&xxe;</scene></slide><cursor/></content>")
            .arg(secret)
            .toUtf8());
  messages_.Clear();
  LoadContentXml(ed());
  for (int i = 0; i < ed().SldCnt; ++i) EXPECT_FALSE(ed().SldXml[i].contains(QStringLiteral("TOP-SECRET")));
  for (const QString& t : Texts()) EXPECT_FALSE(t.contains(QStringLiteral("TOP-SECRET")));
}

TEST_F(ContentXml, BackupIsAByteCopyNamedByTheMinuteTheSaveBegan) {
  // Not even well-formed: the backup must still keep it whole.
  const QByteArray original = "<content><slide><scene pos=\"1\" caption=\"old\"/></slide>  <!-- broken";
  Write(original);
  ed().SldCnt = 1;
  ed().Sld[0].caption = QStringLiteral("first");
  ASSERT_TRUE(SaveContentXml(ed()));
  const QString backup = data_.path() + QStringLiteral("/content-backup--261208-0930.xml");
  EXPECT_EQ(BackupPathFor(ed(), clock_.now), backup);
  EXPECT_EQ(test::ReadFile(backup), original);

  // Two more saves in the same minute: each earlier version gets a backup of its own, with a
  // counter, and the very first version stays.
  const QByteArray afterFirst = test::ReadFile(content());
  clock_.now = clock_.now.addSecs(30);
  ed().Sld[0].caption = QStringLiteral("second");
  ASSERT_TRUE(SaveContentXml(ed()));
  const QByteArray afterSecond = test::ReadFile(content());
  ed().Sld[0].caption = QStringLiteral("third");
  ASSERT_TRUE(SaveContentXml(ed()));
  EXPECT_EQ(test::ReadFile(backup), original);
  EXPECT_EQ(test::ReadFile(data_.path() + QStringLiteral("/content-backup--261208-0930-2.xml")), afterFirst);
  EXPECT_EQ(test::ReadFile(data_.path() + QStringLiteral("/content-backup--261208-0930-3.xml")), afterSecond);
  EXPECT_EQ(QDir(data_.path()).entryList({QStringLiteral("content-backup-*")}, QDir::Files).size(), 3);

  // A name taken by anything (a folder, a link to nowhere) is not used either.
  clock_.now = QDateTime(QDate(2027, 1, 2), QTime(23, 5));
  QDir().mkpath(data_.path() + QStringLiteral("/content-backup--270102-2305.xml"));
  QFile::link(data_.path() + QStringLiteral("/nowhere"), data_.path() + QStringLiteral("/content-backup--270102-2305-2.xml"));
  const QByteArray afterThird = test::ReadFile(content());
  ASSERT_TRUE(SaveContentXml(ed()));
  EXPECT_EQ(test::ReadFile(data_.path() + QStringLiteral("/content-backup--270102-2305-3.xml")), afterThird);
  // Nothing but the new file and backups is left in the folder (no temporary files).
  EXPECT_EQ(QDir(data_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 6);
}

TEST_F(ContentXml, FailedBackupOrBadTemplateLeavesContentUntouched) {
  Write(test::ContentXml({QStringLiteral("1|old|a.jpg")}, {}));
  const QByteArray before = test::ReadFile(content());
  ed().SldCnt = 1;
  ed().Sld[0].caption = QStringLiteral("new");

  // The backup cannot be written (a file-size limit stops every write beyond 8 bytes, for root too).
  struct rlimit limit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  const struct rlimit small = {8, limit.rlim_max};
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = SaveContentXml(ed());
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.LastText().startsWith(QStringLiteral("content.xml の読み込み時にエラーが発生しました。")))
      << messages_.LastText().toStdString();
  EXPECT_TRUE(messages_.LastText().contains(QStringLiteral("content-backup--261208-0930.xml")));
  EXPECT_EQ(test::ReadFile(content()), before);
  EXPECT_EQ(QDir(data_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

  // Template missing: the reason, no new content.
  QFile::remove(ed().TemplatePath());
  messages_.Clear();
  EXPECT_FALSE(SaveContentXml(ed()));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.LastText().contains(QStringLiteral("_content.xml"))) << messages_.LastText().toStdString();
  EXPECT_EQ(test::ReadFile(content()), before);

  // Template malformed.
  test::WriteFile(ed().TemplatePath(), "<content><slide></slide><cursor></content>");
  messages_.Clear();
  EXPECT_FALSE(SaveContentXml(ed()));
  EXPECT_TRUE(messages_.LastText().contains(QStringLiteral("mismatch"))) << messages_.LastText().toStdString();
  EXPECT_EQ(test::ReadFile(content()), before);

  // Template without a cursor element.
  test::WriteFile(ed().TemplatePath(), "<content><slide></slide></content>");
  messages_.Clear();
  EXPECT_FALSE(SaveContentXml(ed()));
  EXPECT_TRUE(messages_.LastText().startsWith(QStringLiteral("content.xml の読み込み時にエラーが発生しました。")));
  EXPECT_TRUE(messages_.LastText().contains(QStringLiteral("cursor")));
  EXPECT_EQ(test::ReadFile(content()), before);
}

TEST_F(ContentXml, TemplateExtrasPassAndOldExtrasStayInTheBackupOnly) {
  Write("<content><header>old header</header><slide><scene pos=\"1\"/></slide><cursor/></content>");
  test::WriteFile(ed().TemplatePath(),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content>\n<meta v=\"1\"/>\n<slide></slide>\n<cursor></cursor>\n"
                  "<slide></slide>\n</content>\n");
  ed().SldCnt = 2;
  ed().Sld[0].pos = 0.1 + 0.2;  // 0.30000000000000004 has more digits than are written
  ed().Sld[1].pos = 1e-7;
  ed().CurCnt = 0;
  ASSERT_TRUE(SaveContentXml(ed()));
  const QString saved = QString::fromUtf8(test::ReadFile(content()));
  EXPECT_TRUE(saved.contains(QStringLiteral("<meta v=\"1\"/>")));
  EXPECT_FALSE(saved.contains(QStringLiteral("old header")));
  // Scenes go into the first slide element only, the empty cursor stays empty.
  EXPECT_TRUE(saved.contains(QStringLiteral("<slide><scene pos=\"0.3\" caption=\"\" image=\"\"/>"
                                            "<scene pos=\"0.0000001\" caption=\"\" image=\"\"/></slide>\n<cursor/>")))
      << saved.toStdString();
  EXPECT_TRUE(test::ReadFile(BackupPathFor(ed(), clock_.now)).contains("old header"));
}

TEST_F(ContentXml, TextsXmlCannotCarryAreDroppedSoTheFileStillLoads) {
  Write(test::ContentXml({}, {}));
  ed().SldCnt = 1;
  ed().Sld[0].caption = QStringLiteral("a\x01" "b\tc\rd") + QChar(0xD800) + QStringLiteral("e😀");
  ed().CurCnt = 1;
  ed().Cur[0].x = QString(10000, QLatin1Char('9'));
  ASSERT_TRUE(SaveContentXml(ed()));
  ASSERT_TRUE(Open());
  // The save's own success message and nothing from the load.
  EXPECT_EQ(messages_.shown.size(), 1u) << Texts().join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(ed().Sld[0].caption, QStringLiteral("ab\tc\rde😀"));
  EXPECT_EQ(ed().Cur[0].x.size(), 10000);
}

TEST(ContentXmlNumbers, ShortestPlainDecimal) {
  EXPECT_EQ(FormatXmlNumber(12.5), QStringLiteral("12.5"));
  EXPECT_EQ(FormatXmlNumber(3), QStringLiteral("3"));
  EXPECT_EQ(FormatXmlNumber(0), QStringLiteral("0"));
  EXPECT_EQ(FormatXmlNumber(-0.0), QStringLiteral("0"));
  EXPECT_EQ(FormatXmlNumber(1.235), QStringLiteral("1.235"));
  EXPECT_EQ(FormatXmlNumber(-5), QStringLiteral("-5"));
  EXPECT_EQ(FormatXmlNumber(0.1 + 0.2), QStringLiteral("0.3"));
  EXPECT_EQ(FormatXmlNumber(1.0 / 3.0), QStringLiteral("0.333333333333333"));
  EXPECT_EQ(FormatXmlNumber(3599.999), QStringLiteral("3599.999"));
  EXPECT_EQ(FormatXmlNumber(1e20), QStringLiteral("100000000000000000000"));
  EXPECT_EQ(FormatXmlNumber(2.5e-5), QStringLiteral("0.000025"));
  EXPECT_EQ(FormatXmlNumber(std::nan("")), QStringLiteral("0"));
}

TEST(ContentXmlAttr, OnlyTheElementsOwnAttributesResolved) {
  const QString node = QStringLiteral("<scene pos=\"12.5\" caption=\"image=&quot;x.jpg&quot; &amp; &lt;b&gt; &#65;&#x42;&#x1F600;\" image=\"001.jpg\"/>");
  EXPECT_EQ(GetXmlAttr(node, QStringLiteral("pos")), QStringLiteral("12.5"));
  EXPECT_EQ(GetXmlAttr(node, QStringLiteral("image")), QStringLiteral("001.jpg"));
  EXPECT_EQ(GetXmlAttr(node, QStringLiteral("caption")), QStringLiteral("image=\"x.jpg\" & <b> AB😀"));
  EXPECT_EQ(GetXmlAttr(node, QStringLiteral("t")), QString());
  EXPECT_EQ(GetXmlAttr(node, QStringLiteral("po")), QString());
  EXPECT_EQ(GetXmlAttr(QStringLiteral("<p xx=\"1\" x = '0.5' y=\"a'b\"/>"), QStringLiteral("x")), QStringLiteral("0.5"));
  EXPECT_EQ(GetXmlAttr(QStringLiteral("<p xx=\"1\" x = '0.5' y=\"a'b\"/>"), QStringLiteral("y")), QStringLiteral("a'b"));
  // Attributes of child elements do not count.
  EXPECT_EQ(GetXmlAttr(QStringLiteral("<scene pos=\"1\"><x image=\"no.jpg\"/></scene>"), QStringLiteral("image")), QString());
  // Unknown or broken references stay as written.
  EXPECT_EQ(GetXmlAttr(QStringLiteral("<p x=\"&co; &#0; &#xZZ; & &amp\"/>"), QStringLiteral("x")),
            QStringLiteral("&co; &#0; &#xZZ; & &amp"));
  EXPECT_EQ(GetXmlAttr(QStringLiteral("<p x=\"unterminated/>"), QStringLiteral("x")), QString());
  EXPECT_EQ(GetXmlAttr(QString(), QStringLiteral("x")), QString());
}
