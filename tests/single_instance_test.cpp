// One editor per user and display: the lock, the hand-over of a later start's arguments, sockets
// left behind by a dead instance, and the runtime folder that only this user can enter.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "platform/single_instance.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

struct PrivateFolder {
  PrivateFolder() { chmod(QFile::encodeName(dir.path()).constData(), 0700); }
  QString path() const { return dir.path(); }
  QTemporaryDir dir;
};

// Runs a later start on its own thread (it blocks while it knocks) and pumps this thread's events
// meanwhile, as the running instance's event loop would.
SingleInstance::Role StartLater(const QString& folder, const QStringList& arguments, int patienceMs = 3000) {
  std::atomic<int> role{-1};
  std::thread later([&] {
    SingleInstance second(QStringLiteral("kemo-test"), folder);
    role = static_cast<int>(second.Start(arguments, patienceMs));
  });
  QElapsedTimer t;
  t.start();
  while (role < 0 && t.elapsed() < patienceMs + 8000) test::Pump(10);
  later.join();
  return static_cast<SingleInstance::Role>(role.load());
}

// A socket file as a killed instance leaves it: bound, then closed without being removed.
void LeaveDeadSocket(const QString& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const QByteArray native = QFile::encodeName(path);
  std::memcpy(addr.sun_path, native.constData(), native.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
}

}  // namespace

TEST(SingleInstance, ALaterStartHandsItsFolderToTheFirstAndEnds) {
  PrivateFolder folder;
  SingleInstance first(QStringLiteral("kemo-test"), folder.path());
  ASSERT_EQ(first.Start({}), SingleInstance::Role::First);
  QSignalSpy raised(&first, &SingleInstance::RaiseRequested);
  QSignalSpy folders(&first, &SingleInstance::FolderRequested);
  QSignalSpy arguments(&first, &SingleInstance::ArgumentsReceived);

  const QStringList forwarded =
      SingleInstance::ForwardedArguments({QStringLiteral("--export"), QStringLiteral("講義 1/../講義 2")},
                                         QStringLiteral("/data"));
  EXPECT_EQ(forwarded, QStringList({QStringLiteral("--export"), QStringLiteral("/data/講義 2")}));
  EXPECT_EQ(StartLater(folder.path(), forwarded), SingleInstance::Role::Forwarded);
  test::Pump(50);
  EXPECT_EQ(raised.count(), 1);
  ASSERT_EQ(folders.count(), 1);
  EXPECT_EQ(folders.at(0).at(0).toString(), QStringLiteral("/data/講義 2"));
  ASSERT_EQ(arguments.count(), 1);
  EXPECT_EQ(arguments.at(0).at(0).toStringList(), forwarded);

  // A start without arguments only raises.
  EXPECT_EQ(StartLater(folder.path(), {}), SingleInstance::Role::Forwarded);
  test::Pump(50);
  EXPECT_EQ(raised.count(), 2);
  EXPECT_EQ(folders.count(), 1);
}

TEST(SingleInstance, ALaterStartWaitsForAFirstThatIsStillStarting) {
  // Someone holds the lock but does not listen yet (its window is being built): the later start
  // neither takes over nor gives up. When the holder dies, the later start becomes the first.
  PrivateFolder folder;
  SingleInstance names(QStringLiteral("kemo-test"), folder.path());
  const int fd = ::open(QFile::encodeName(names.LockPath()).constData(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  std::atomic<int> role{-1};
  std::thread later([&] {
    SingleInstance second(QStringLiteral("kemo-test"), folder.path());
    role = static_cast<int>(second.Start({}, 5000));
  });
  test::Pump(400);
  EXPECT_EQ(role.load(), -1) << "the later start did not wait for the holder of the lock";
  ::close(fd);
  QElapsedTimer t;
  t.start();
  while (role < 0 && t.elapsed() < 8000) test::Pump(10);
  later.join();
  EXPECT_EQ(role.load(), static_cast<int>(SingleInstance::Role::First));

  // The editor's own way: the first takes the lock and listens once its window is on the screen.
  PrivateFolder other;
  SingleInstance first(QStringLiteral("kemo-test"), other.path());
  ASSERT_EQ(first.Start({}, SingleInstance::kPatienceMs, SingleInstance::Listening::Later),
            SingleInstance::Role::First);
  QSignalSpy folders(&first, &SingleInstance::FolderRequested);
  role = -1;
  std::thread knocking([&] {
    SingleInstance second(QStringLiteral("kemo-test"), other.path());
    role = static_cast<int>(second.Start({QStringLiteral("/data/講義")}, 5000));
  });
  test::Pump(300);
  EXPECT_EQ(role.load(), -1) << "the later start did not wait for the first to listen";
  ASSERT_TRUE(first.Listen());
  t.restart();
  while (role < 0 && t.elapsed() < 8000) test::Pump(10);
  knocking.join();
  EXPECT_EQ(role.load(), static_cast<int>(SingleInstance::Role::Forwarded));
  test::Pump(50);
  ASSERT_EQ(folders.count(), 1);
  EXPECT_EQ(folders.at(0).at(0).toString(), QStringLiteral("/data/講義"));
}

TEST(SingleInstance, ASocketLeftByADeadInstanceIsReplacedOneThatAnswersIsNot) {
  PrivateFolder folder;
  {
    SingleInstance probe(QStringLiteral("kemo-test"), folder.path());
    LeaveDeadSocket(probe.SocketPath());
    ASSERT_TRUE(QFileInfo::exists(probe.SocketPath()));
  }
  SingleInstance first(QStringLiteral("kemo-test"), folder.path());
  ASSERT_EQ(first.Start({}), SingleInstance::Role::First);
  // It listens where the dead one did: a later start is forwarded.
  EXPECT_EQ(StartLater(folder.path(), {}), SingleInstance::Role::Forwarded);

  // Something that answers on the socket is never removed, even by the holder of the lock.
  PrivateFolder other;
  QLocalServer squatter;
  SingleInstance third(QStringLiteral("kemo-test"), other.path());
  ASSERT_TRUE(squatter.listen(third.SocketPath()));
  EXPECT_EQ(third.Start({}), SingleInstance::Role::Alone);
  EXPECT_TRUE(QFileInfo::exists(third.SocketPath()));
  EXPECT_TRUE(squatter.isListening());
}

TEST(SingleInstance, TheRuntimeFolderIsPrivateToTheUser) {
  PrivateFolder base;
  const QString open = QDir(base.path()).filePath(QStringLiteral("open"));
  ASSERT_TRUE(QDir().mkdir(open));
  chmod(QFile::encodeName(open).constData(), 0755);
  EXPECT_FALSE(SingleInstance::IsPrivateFolder(open));
  EXPECT_TRUE(SingleInstance::IsPrivateFolder(base.path()));
  const QString link = QDir(base.path()).filePath(QStringLiteral("link"));
  ASSERT_TRUE(QFile::link(base.path(), link));
  EXPECT_FALSE(SingleInstance::IsPrivateFolder(link));

  // XDG_RUNTIME_DIR where it is set and private.
  const QByteArray savedXdg = qgetenv("XDG_RUNTIME_DIR");
  const QByteArray savedTmp = qgetenv("TMPDIR");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base.path()));
  EXPECT_EQ(SingleInstance::RuntimeFolder(), base.path());

  // Otherwise a folder of its own under the temporary folder, made 0700.
  qunsetenv("XDG_RUNTIME_DIR");
  PrivateFolder tmp;
  qputenv("TMPDIR", QFile::encodeName(tmp.path()));
  const QString own = QDir(tmp.path()).filePath(QStringLiteral("kemo-editor-%1").arg(geteuid()));
  EXPECT_EQ(SingleInstance::RuntimeFolder(), own);
  EXPECT_TRUE(SingleInstance::IsPrivateFolder(own));

  // Another account got there first: not used, and no start talks to what lies in it.
  if (geteuid() == 0) {
    ASSERT_EQ(chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
    EXPECT_EQ(SingleInstance::RuntimeFolder(), QString());
    SingleInstance instance(QStringLiteral("kemo-test"));
    EXPECT_EQ(instance.Start({}), SingleInstance::Role::Alone);
  }
  qputenv("XDG_RUNTIME_DIR", savedXdg);
  if (savedTmp.isNull())
    qunsetenv("TMPDIR");
  else
    qputenv("TMPDIR", savedTmp);
}
