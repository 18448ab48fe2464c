#include "platform/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

namespace kemo {

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AnotherIsRunning(const QString& folder) {
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(500)) return false;
  // The folder travels in base64, so that no character of a path can end its line early.
  QByteArray message = "raise\n";
  if (!folder.isEmpty()) message += "folder " + folder.toUtf8().toBase64() + "\n";
  socket.write(message);
  socket.flush();
  socket.waitForBytesWritten(500);
  // Wait for the running instance to take the message before this process ends.
  socket.waitForReadyRead(1000);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::Listen(std::function<void()> raise) {
  raise_ = std::move(raise);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(key_)) {
    // A socket left behind by an instance that died: nobody answered, so take it over.
    QLocalServer::removeServer(key_);
    if (!server_->listen(key_)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      connect(s, &QLocalSocket::readyRead, s, [this, s] {
        // Lines may arrive in pieces: the unfinished rest waits on the socket for the next read.
        QByteArray pending = s->property("kemoPending").toByteArray() + s->readAll();
        if (pending.size() > 64 * 1024) pending.clear();  // no message of ours is that long
        bool raise = false;
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
          const QByteArray line = pending.left(end);
          pending.remove(0, end + 1);
          if (line == "raise") {
            raise = true;
          } else if (line.startsWith("folder ")) {
            const QString folder = QString::fromUtf8(QByteArray::fromBase64(line.mid(7)));
            if (!folder.isEmpty()) Q_EMIT FolderRequested(folder);
          }
        }
        s->setProperty("kemoPending", pending);
        if (raise) {
          // Answered once everything that came with the knock has been taken.
          s->write("ok\n");
          s->flush();
          if (raise_) raise_();
        }
      });
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace kemo
