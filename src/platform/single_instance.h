#pragma once
// One editor at a time per user and display. The first process takes an exclusive lock on a file in
// the user's runtime folder before anything else happens, then listens on a local socket beside it.
// A later start that finds the lock taken knocks on that socket, hands over its arguments (a data
// folder to open, for instance) and ends without showing a window. The kernel drops the lock of a
// process that dies, so a start after a crash finds the lock free; a socket file left behind is
// removed only when nobody answers on it.
//
// The folder is $XDG_RUNTIME_DIR where it is set, else a private folder /tmp/kemo-editor-UID that
// must be a real folder owned by this user with mode 0700. A socket is only ever talked to when
// the process listening on it runs as this user.
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace kemo {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // `name` tells editors apart that may run side by side (one per display); `folder` overrides the
  // runtime folder (tests). The lock is not taken yet.
  explicit SingleInstance(const QString& name, const QString& folder = {}, QObject* parent = nullptr);
  ~SingleInstance() override;

  enum class Role {
    First,      // this process holds the lock and listens: it shows the window
    Forwarded,  // another instance has taken the arguments: this process ends
    Alone,      // no usable runtime folder or socket: run without the rule
  };

  static constexpr int kPatienceMs = 10000;
  enum class Listening { Now, Later };

  // Takes the lock, or hands `arguments` to the instance that holds it, waiting at most
  // `patienceMs` for that instance to answer (it may itself be just starting, or not listening
  // yet). As First it is listening when this returns, or with Listening::Later once Listen() is
  // called: a later start waits for that meanwhile.
  Role Start(const QStringList& arguments, int patienceMs = kPatienceMs, Listening listening = Listening::Now);
  // Listens on the socket beside the lock (First only); false when that fails, and later starts then
  // bring up windows of their own.
  bool Listen();

  // The runtime folder in use ("" when none could be made safe).
  QString Folder() const { return folder_; }
  QString SocketPath() const;
  QString LockPath() const;

  // The private runtime folder for the user: $XDG_RUNTIME_DIR when set, else /tmp/kemo-editor-UID,
  // created 0700 when missing; "" when the folder found is not safe (not a folder, a link, another
  // owner, or open to others).
  static QString RuntimeFolder();
  // True when `path` is a real folder owned by this user that nobody else can enter.
  static bool IsPrivateFolder(const QString& path);

  // The arguments a later start hands over: non-option arguments (paths) made absolute against
  // `workingFolder`, options kept as they are.
  static QStringList ForwardedArguments(const QStringList& arguments, const QString& workingFolder);

 Q_SIGNALS:
  // A later start asked for this instance: bring the window forward.
  void RaiseRequested();
  // A later start named a folder (its first non-option argument, absolute).
  void FolderRequested(const QString& folder);
  // Everything a later start handed over (see ForwardedArguments).
  void ArgumentsReceived(const QStringList& arguments);

 private:
  bool TryLock();
  bool Knock(const QStringList& arguments);
  void Receive(QLocalSocket* socket);

  QString name_;
  QString folder_;
  int lockFd_ = -1;
  QLocalServer* server_ = nullptr;
};

}  // namespace kemo
