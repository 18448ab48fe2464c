#pragma once
// One editor at a time per user: the first process listens on a local socket; a later one tells it
// to come to the front, hands over the folder of its command line, and then ends without showing a
// window.
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace kemo {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const QString& key, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when another instance answered (it has been told to come forward and to open `folder`
  // when one is given): this one should end.
  bool AnotherIsRunning(const QString& folder = {});
  // Starts listening; `raise` runs in this process whenever a later start knocks.
  bool Listen(std::function<void()> raise);

 Q_SIGNALS:
  // A later start named a folder on its command line.
  void FolderRequested(const QString& folder);

 private:
  QString key_;
  QLocalServer* server_ = nullptr;
  std::function<void()> raise_;
};

}  // namespace kemo
