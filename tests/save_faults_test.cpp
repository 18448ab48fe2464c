// Saving under faults: a read-only folder, a folder gone since it was opened, a full disk and a
// save killed at random points. content.xml must always be the old or the new document, whole.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "platform/message_box.h"
#include "platform/services.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

const QString kErrorStart = QStringLiteral("content.xml の読み込み時にエラーが発生しました。");

struct Saver {
  explicit Saver(const QString& dataFolder) {
    ed = std::make_unique<Editor>();
    ed->ProgramFolder = program.path();
    ed->DataFolder = dataFolder;
    ed->svc.messages = &messages;
    clock.now = QDateTime(QDate(2026, 12, 8), QTime(10, 0));
    ed->svc.clock = &clock;
  }
  // Fills the registered tables with n slides and points whose captions carry the tag.
  void Fill(int n, const QString& tag) {
    ed->SldCnt = static_cast<int16_t>(n);
    ed->CurCnt = static_cast<int16_t>(n);
    for (int i = 0; i < n; ++i) {
      ed->Sld[i].pos = i * 2.5;
      ed->Sld[i].caption = QStringLiteral("%1 スライド %2").arg(tag).arg(i);
      ed->Sld[i].image = QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
      ed->Cur[i].t = i * 0.1;
      ed->Cur[i].x = QStringLiteral("0.5");
      ed->Cur[i].y = QStringLiteral("0.25");
    }
  }
  bool SawSuccess() const {
    for (const auto& s : messages.shown)
      if (s.text.startsWith(QStringLiteral("保存しました。"))) return true;
    return false;
  }
  test::ProgramFolder program;
  ScriptedMessageBoxes messages;
  FixedClock clock;
  std::unique_ptr<Editor> ed;
};

// A small tmpfs mounted on a fresh folder; unusable (and the test skips) where mounting is not allowed.
class TmpfsFolder {
 public:
  explicit TmpfsFolder(const char* size) {
    if (!dir_.isValid()) return;
    const QByteArray options = QByteArray("size=") + size + ",mode=0755";
    mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) == 0;
  }
  ~TmpfsFolder() {
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  }
  bool ok() const { return mounted_; }
  QString path() const { return dir_.path(); }
  bool RemountReadOnly() {
    return ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
};

}  // namespace

TEST(SaveFaults, ReadOnlyFolderKeepsTheOldFile) {
  // Root writes through permission bits, so a read-only file system stands in for them there.
  std::unique_ptr<TmpfsFolder> tmpfs;
  QTemporaryDir plain;
  QString folder = plain.path();
  if (geteuid() == 0) {
    tmpfs = std::make_unique<TmpfsFolder>("1m");
    if (!tmpfs->ok()) GTEST_SKIP() << "running as root and cannot mount a tmpfs to make a read-only folder";
    folder = tmpfs->path();
  }
  const QByteArray old = test::ContentXml({QStringLiteral("1|old|a.jpg")}, {});
  test::WriteFile(folder + QStringLiteral("/content.xml"), old);
  if (tmpfs) {
    ASSERT_TRUE(tmpfs->RemountReadOnly());
  } else {
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  }
  Saver s(folder);
  s.Fill(3, QStringLiteral("new"));
  EXPECT_FALSE(SaveContentXml(*s.ed));
  if (!tmpfs) QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  ASSERT_EQ(s.messages.shown.size(), 1u);
  EXPECT_TRUE(s.messages.LastText().startsWith(kErrorStart)) << s.messages.LastText().toStdString();
  // The platform's reason is in the message.
  EXPECT_TRUE(s.messages.LastText().contains(QStringLiteral("ead-only")) ||
              s.messages.LastText().contains(QStringLiteral("ermission")))
      << s.messages.LastText().toStdString();
  EXPECT_FALSE(s.SawSuccess());
  EXPECT_EQ(test::ReadFile(folder + QStringLiteral("/content.xml")), old);
}

TEST(SaveFaults, FolderRemovedBetweenOpenAndSave) {
  auto dir = std::make_unique<QTemporaryDir>();
  const QString folder = dir->path();
  test::WriteFile(folder + QStringLiteral("/content.xml"), test::ContentXml({QStringLiteral("1|a|a.jpg")}, {}));
  Saver s(folder);
  ASSERT_TRUE(LoadContentXml(*s.ed));
  BuildRecords(*s.ed);
  ASSERT_TRUE(QDir(folder).removeRecursively());
  EXPECT_FALSE(SaveContentXml(*s.ed));
  ASSERT_EQ(s.messages.shown.size(), 1u);
  EXPECT_TRUE(s.messages.LastText().startsWith(kErrorStart)) << s.messages.LastText().toStdString();
  EXPECT_FALSE(s.SawSuccess());
  // The save does not bring the folder back.
  EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(SaveFaults, FullDiskLeavesTheOldFileAndSaysSo) {
  TmpfsFolder tmpfs("96k");
  if (!tmpfs.ok()) GTEST_SKIP() << "cannot mount a small tmpfs here to fill it";
  const QString folder = tmpfs.path();
  Saver s(folder);
  s.Fill(100, QStringLiteral("old"));
  ASSERT_TRUE(SaveContentXml(*s.ed));  // about 10 KB
  const QByteArray old = test::ReadFile(folder + QStringLiteral("/content.xml"));
  // Fill the disk but for a little more room than the backup needs.
  {
    QFile filler(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    filler.resize(std::max<qint64>(0, filler.size() - 2 * old.size() - 8192));
  }
  s.clock.now = s.clock.now.addSecs(120);
  s.messages.Clear();
  s.Fill(1500, QStringLiteral("new"));  // far more than is left
  EXPECT_FALSE(SaveContentXml(*s.ed));
  ASSERT_EQ(s.messages.shown.size(), 1u);
  EXPECT_TRUE(s.messages.LastText().startsWith(kErrorStart + QString::number(ENOSPC) + QLatin1Char(':')))
      << s.messages.LastText().toStdString();
  // The backup of the old file was written before the disk ran out.
  EXPECT_EQ(test::ReadFile(BackupPathFor(*s.ed, s.clock.now)), old);
  EXPECT_FALSE(s.SawSuccess());
  EXPECT_EQ(test::ReadFile(folder + QStringLiteral("/content.xml")), old);
  // No half-written temporary file stays behind to take up the space.
  const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
  for (const QString& name : left)
    EXPECT_TRUE(name == QStringLiteral("content.xml") || name == QStringLiteral("filler") || name.startsWith(QStringLiteral("content-backup-")))
        << name.toStdString();
}

TEST(SaveFaults, SaveKilledAtRandomPointsLeavesOldOrNewWhole) {
  QTemporaryDir dir;
  const QString folder = dir.path();
  const QString content = folder + QStringLiteral("/content.xml");
  // The two documents the saves alternate between, as the writer writes them.
  QByteArray docA, docB;
  {
    Saver s(folder);
    s.Fill(800, QStringLiteral("A"));
    ASSERT_TRUE(SaveContentXml(*s.ed));
    docA = test::ReadFile(content);
    s.Fill(800, QStringLiteral("B"));
    ASSERT_TRUE(SaveContentXml(*s.ed));
    docB = test::ReadFile(content);
    test::WriteFile(content, docA);
  }
  ASSERT_NE(docA, docB);
  InitXmlLibrary();

  QRandomGenerator rng(20261208);
  int totalSaves = 0;
  // Made before the forks: a killed child runs no destructors, so it must not own temporary folders.
  Saver saver(folder);
  for (int round = 0; round < 25; ++round) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeFds[0]);
      Saver& s = saver;
      for (int k = 0;; ++k) {
        s.Fill(800, k % 2 ? QStringLiteral("A") : QStringLiteral("B"));
        s.clock.now = s.clock.now.addSecs(60 * (k % 3));
        SaveContentXml(*s.ed);
        const char done = 1;
        if (write(pipeFds[1], &done, 1) != 1) _exit(1);
      }
    }
    close(pipeFds[1]);
    // The first save must have gone through before the kill, however loaded the machine is.
    char first = 0;
    if (read(pipeFds[0], &first, 1) == 1) ++totalSaves;
    QThread::usleep(2000 + rng.bounded(40000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    char buf[256];
    ssize_t got;
    while ((got = read(pipeFds[0], buf, sizeof buf)) > 0) totalSaves += static_cast<int>(got);
    close(pipeFds[0]);

    const QByteArray now = test::ReadFile(content);
    ASSERT_TRUE(now == docA || now == docB) << "round " << round << ": content.xml is " << now.size() << " bytes";
    Saver check(folder);
    ASSERT_TRUE(LoadContentXml(*check.ed));
    EXPECT_TRUE(check.messages.shown.empty());
    EXPECT_EQ(check.ed->SldCnt, 800);
    // Each backup is one of the documents too.
    for (const QString& b : QDir(folder).entryList({QStringLiteral("content-backup-*")}, QDir::Files)) {
      const QByteArray bytes = test::ReadFile(folder + QLatin1Char('/') + b);
      EXPECT_TRUE(bytes == docA || bytes == docB) << b.toStdString();
    }
  }
  // The kills did land among running saves.
  EXPECT_GT(totalSaves, 0);
}
