// Where the program finds its own data and where each running editor works.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "platform/paths.h"
#include "platform/work_folder.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

// Sets an environment variable for the life of the object.
class EnvScope {
 public:
  EnvScope(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
    old_ = qgetenv(name);
    qputenv(name, value);
  }
  ~EnvScope() {
    if (had_) qputenv(name_, old_);
    else qunsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

void SetOld(const QString& path) {
  QFile f(path);
  if (f.open(QIODevice::ReadWrite))
    f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
}

}  // namespace

TEST(AppFolders, TheProgramDataIsFoundBesideTheExecutableUnderThePrefixOrInTheDataFolders) {
  QTemporaryDir root;
  const QString bin = JoinPath(root.path(), QStringLiteral("prefix/bin"));
  const QString share = JoinPath(root.path(), QStringLiteral("prefix/share/kemo-editor"));
  const QString xdg = JoinPath(root.path(), QStringLiteral("xdg"));
  QDir().mkpath(bin);
  EnvScope home("XDG_DATA_HOME", JoinPath(root.path(), QStringLiteral("nohome")).toLocal8Bit());
  EnvScope dirs("XDG_DATA_DIRS", (JoinPath(root.path(), QStringLiteral("empty")) + QLatin1Char(':') + xdg).toLocal8Bit());

  // Nothing anywhere: the prefix's folder, so that the messages name where the data belongs.
  EXPECT_EQ(FindProgramDataFolder(bin), share);
  // Installed elsewhere: the data folders of the XDG lookup.
  test::WriteFile(JoinPath(xdg, QStringLiteral("kemo-editor/symbol.csv")), "x");
  EXPECT_EQ(FindProgramDataFolder(bin), JoinPath(xdg, QStringLiteral("kemo-editor")));
  // Under the executable's own prefix (installed, or the build tree) before any other.
  test::WriteFile(JoinPath(share, QStringLiteral("symbol.csv")), "x");
  EXPECT_EQ(FindProgramDataFolder(bin), share);
  // An unpacked copy that keeps its data beside the executable.
  test::WriteFile(JoinPath(bin, QStringLiteral("symbol.csv")), "x");
  EXPECT_EQ(FindProgramDataFolder(bin), bin);
}

TEST(AppFolders, TheWorkBaseIsTheUsersCacheOrElseTheRuntimeFolder) {
  QTemporaryDir root;
  EnvScope cache("XDG_CACHE_HOME", JoinPath(root.path(), QStringLiteral("cache")).toLocal8Bit());
  EnvScope runtime("XDG_RUNTIME_DIR", JoinPath(root.path(), QStringLiteral("run")).toLocal8Bit());
  const QString base = UserWorkBase();
  EXPECT_EQ(base, JoinPath(root.path(), QStringLiteral("cache/kemo-editor")));
  EXPECT_EQ(QFileInfo(base).permissions().toInt() & 0x0077, 0);  // nobody else's business

  // A cache that cannot be made (a file stands where its folder should be).
  test::WriteFile(JoinPath(root.path(), QStringLiteral("blocked")), "file");
  EnvScope blocked("XDG_CACHE_HOME", JoinPath(root.path(), QStringLiteral("blocked")).toLocal8Bit());
  QDir().mkpath(JoinPath(root.path(), QStringLiteral("run")));
  EXPECT_EQ(UserWorkBase(), JoinPath(root.path(), QStringLiteral("run/kemo-editor")));
}

TEST(AppFolders, EachEditorHasItsOwnWorkFolderAndTheAbandonedOnesGo) {
  QTemporaryDir base;
  QString firstPath;
  auto second = std::make_unique<EditorWorkFolder>(base.path());
  {
    EditorWorkFolder first(base.path());
    firstPath = first.path();
    ASSERT_FALSE(first.path().isEmpty());
    ASSERT_FALSE(second->path().isEmpty());
    EXPECT_NE(first.path(), second->path());
    EXPECT_TRUE(QFileInfo(first.path()).isDir());
    EXPECT_EQ(QFileInfo(first.path()).permissions().toInt() & 0x0077, 0);
    test::WriteFile(JoinPath(first.path(), QStringLiteral("new/Video.flv")), "flv");
  }
  // The editor that ended took its folder with it; the other's stays.
  EXPECT_FALSE(QFileInfo::exists(firstPath));
  EXPECT_TRUE(QFileInfo(second->path()).isDir());

  // An editor that was killed: its folder and its lock stay, with nobody holding the lock.
  const QString dead = JoinPath(base.path(), QStringLiteral("run-dead01"));
  test::WriteFile(JoinPath(dead, QStringLiteral("Video.flv")), "flv");
  test::WriteFile(dead + QStringLiteral(".lock"), "");
  // One that is just starting (its lock is young) is left alone.
  const QString starting = JoinPath(base.path(), QStringLiteral("run-young1"));
  QDir().mkpath(starting);
  test::WriteFile(starting + QStringLiteral(".lock"), "");
  SetOld(dead + QStringLiteral(".lock"));
  SetOld(second->path() + QStringLiteral(".lock"));  // a live editor's lock, however old, is held

  EditorWorkFolder third(base.path());  // a new editor starts
  EXPECT_FALSE(QFileInfo::exists(dead));
  EXPECT_FALSE(QFileInfo::exists(dead + QStringLiteral(".lock")));
  EXPECT_TRUE(QFileInfo(starting).isDir());
  EXPECT_TRUE(QFileInfo(second->path()).isDir());
  EXPECT_TRUE(QFileInfo(third.path()).isDir());

  // No base: no work folder (and nothing made anywhere).
  EXPECT_EQ(EditorWorkFolder(QString()).path(), QString());
}
