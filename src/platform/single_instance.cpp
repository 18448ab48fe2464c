#include "platform/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace kemo {

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AnotherIsRunning() {
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(500)) return false;
  socket.write("raise\n");
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
        s->readAll();
        s->write("ok\n");
        s->flush();
        if (raise_) raise_();
      });
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace kemo
