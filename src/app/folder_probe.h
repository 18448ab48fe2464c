#pragma once
// Whether folders exist, asked off the window's thread: a folder on a share that stopped answering
// (a hard NFS mount, a FUSE file system whose server hangs) holds the thread that asks, so the window
// never asks itself. Each folder has one check at a time; the window reads what was last known.
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace kemo {

class FolderProbe : public QObject {
  Q_OBJECT
 public:
  enum class Known { Unknown, Present, Absent, NotAnswering };

  // A check that has not answered after limitMs is taken as not answering.
  explicit FolderProbe(int limitMs = 1500, QObject* parent = nullptr);
  ~FolderProbe() override;

  // What was last known of the folder: its last answer, NotAnswering while a check has been out longer
  // than the limit, Unknown before any answer.
  Known State(const QString& folder) const;
  // Starts a check of each folder that has none out.
  void Check(const QStringList& folders);

 Q_SIGNALS:
  // A check answered, or passed the limit.
  void Changed(const QString& folder);

 private:
  struct Shared;
  void OnAnswer(const QString& folder, bool present);
  std::shared_ptr<Shared> shared_;
  QHash<QString, bool> answers_;
  QHash<QString, qint64> outSince_;  // folders with a check out, and since when (ms)
  int limitMs_;
};

}  // namespace kemo
