#include "platform/single_instance.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kemo {

namespace {

const QString kMagic = QStringLiteral("kemo-editor/1");
// A later start hands over a few paths; anything longer is not one of ours.
constexpr qint64 kMaxMessage = 64 * 1024;

// The user id of the process at the other end of a connected local socket; -1 when unknown.
long PeerUid(const QLocalSocket& socket) {
  const qintptr fd = socket.socketDescriptor();
  if (fd < 0) return -1;
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return -1;
  return static_cast<long>(cred.uid);
}

bool IsOwnSocketFile(const QString& path) {
  struct stat st {};
  if (lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return S_ISSOCK(st.st_mode) && st.st_uid == geteuid();
}

// True when something listens on `path` and answers a connection.
bool Answers(const QString& path) {
  QLocalSocket probe;
  probe.connectToServer(path);
  const bool up = probe.waitForConnected(300);
  if (up) probe.abort();
  return up;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent), name_(name), folder_(folder.isEmpty() ? RuntimeFolder() : folder) {
  // The name becomes part of a file name.
  for (QChar& c : name_)
    if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') && c != QLatin1Char('.'))
      c = QLatin1Char('_');
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
  if (lockFd_ >= 0) ::close(lockFd_);
}

QString SingleInstance::SocketPath() const { return QDir(folder_).filePath(name_ + QStringLiteral(".socket")); }
QString SingleInstance::LockPath() const { return QDir(folder_).filePath(name_ + QStringLiteral(".lock")); }

bool SingleInstance::IsPrivateFolder(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat st {};
  if (lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

QString SingleInstance::RuntimeFolder() {
  const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!xdg.isEmpty() && IsPrivateFolder(xdg)) return xdg;
  const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("kemo-editor-%1").arg(geteuid()));
  const QByteArray native = QFile::encodeName(own);
  if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return {};
  // Someone else may have made it first: use it only when it is ours and closed to others.
  return IsPrivateFolder(own) ? own : QString();
}

QStringList SingleInstance::ForwardedArguments(const QStringList& arguments, const QString& workingFolder) {
  QStringList out;
  const QDir base(workingFolder);
  for (const QString& a : arguments) {
    if (a.startsWith(QLatin1Char('-')) || a.isEmpty())
      out << a;
    else
      out << QDir::cleanPath(base.absoluteFilePath(a));
  }
  return out;
}

bool SingleInstance::TryLock() {
  if (lockFd_ >= 0) return true;
  const QByteArray path = QFile::encodeName(LockPath());
  // Close-on-exec: a child (ffmpeg) that outlives the editor must not keep the lock.
  const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  return true;
}

bool SingleInstance::Knock(const QStringList& arguments) {
  const QString path = SocketPath();
  if (!IsOwnSocketFile(path)) return false;
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(300)) return false;
  // The file may be ours while another account's process listens behind it: ask the kernel.
  if (PeerUid(socket) != static_cast<long>(geteuid())) {
    socket.abort();
    return false;
  }
  QByteArray message;
  {
    QDataStream out(&message, QIODevice::WriteOnly);
    out << kMagic << arguments;
  }
  socket.write(message);
  if (!socket.waitForBytesWritten(2000)) return false;
  // The running instance answers from its event loop, which may still be starting.
  QElapsedTimer t;
  t.start();
  QByteArray reply;
  while (!reply.contains('\n') && t.elapsed() < 5000) {
    if (socket.waitForReadyRead(100)) reply += socket.readAll();
    if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) break;
  }
  socket.abort();
  return reply.startsWith("ok");
}

bool SingleInstance::Listen() {
  if (server_ != nullptr) return true;
  if (lockFd_ < 0) return false;  // only the holder of the lock listens
  const QString path = SocketPath();
  // Only the holder of the lock gets here, so a socket file is left from an instance that died,
  // unless something still answers on it: then it is not ours to take away.
  if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
    if (Answers(path)) return false;
    QFile::remove(path);
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(path)) {
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      if (PeerUid(*s) != static_cast<long>(geteuid())) {
        s->abort();
        s->deleteLater();
        continue;
      }
      connect(s, &QLocalSocket::readyRead, this, [this, s] { Receive(s); });
      if (s->bytesAvailable() > 0) Receive(s);
    }
  });
  return true;
}

void SingleInstance::Receive(QLocalSocket* socket) {
  if (socket->property("kemoDone").toBool()) return;
  if (socket->bytesAvailable() > kMaxMessage) {
    socket->abort();
    return;
  }
  QDataStream in(socket);
  in.startTransaction();
  QString magic;
  QStringList arguments;
  in >> magic >> arguments;
  if (!in.commitTransaction()) return;  // more to come
  socket->setProperty("kemoDone", true);
  if (magic != kMagic) {
    socket->abort();
    return;
  }
  socket->write("ok\n");
  socket->flush();
  Q_EMIT ArgumentsReceived(arguments);
  for (const QString& a : arguments) {
    if (!a.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
      Q_EMIT FolderRequested(a);
      break;
    }
  }
  Q_EMIT RaiseRequested();
}

SingleInstance::Role SingleInstance::Start(const QStringList& arguments, int patienceMs, Listening listening) {
  if (folder_.isEmpty()) return Role::Alone;
  QElapsedTimer t;
  t.start();
  for (;;) {
    if (TryLock()) return listening == Listening::Later || Listen() ? Role::First : Role::Alone;
    // Someone holds the lock: it is running, or just starting and not listening yet.
    if (Knock(arguments)) return Role::Forwarded;
    if (t.elapsed() > patienceMs) break;
    QThread::msleep(20);
  }
  // The holder never answered; a window of our own is better than none.
  qWarning("kemo-editor: the running instance does not answer; starting another");
  return Role::Alone;
}

}  // namespace kemo
