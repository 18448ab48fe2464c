#include "app/folder_probe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <thread>

namespace kemo {

// What the checking threads share with the probe: they outlive it when a check never returns.
struct FolderProbe::Shared {
  QPointer<FolderProbe> owner;  // read and cleared on the window's thread only
};

FolderProbe::FolderProbe(int limitMs, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()), limitMs_(limitMs) {
  shared_->owner = this;
}

FolderProbe::~FolderProbe() { shared_->owner = nullptr; }

FolderProbe::Known FolderProbe::State(const QString& folder) const {
  const auto out = outSince_.constFind(folder);
  if (out != outSince_.cend() && QDateTime::currentMSecsSinceEpoch() - *out >= limitMs_) return Known::NotAnswering;
  const auto answer = answers_.constFind(folder);
  if (answer == answers_.cend()) return Known::Unknown;
  return *answer ? Known::Present : Known::Absent;
}

void FolderProbe::Check(const QStringList& folders) {
  for (const QString& folder : folders) {
    if (folder.isEmpty() || outSince_.contains(folder)) continue;
    outSince_.insert(folder, QDateTime::currentMSecsSinceEpoch());
    std::weak_ptr<Shared> weak = shared_;
    std::thread([weak, folder] {
      const bool present = QFileInfo(folder).isDir();
      QCoreApplication* app = QCoreApplication::instance();
      if (!app || weak.expired()) return;
      QMetaObject::invokeMethod(
          app,
          [weak, folder, present] {
            if (const auto shared = weak.lock())
              if (shared->owner) shared->owner->OnAnswer(folder, present);
          },
          Qt::QueuedConnection);
    }).detach();
    // Past the limit the folder is shown as not answering.
    QTimer::singleShot(limitMs_, this, [this, folder] {
      if (outSince_.contains(folder)) Q_EMIT Changed(folder);
    });
  }
}

void FolderProbe::OnAnswer(const QString& folder, bool present) {
  outSince_.remove(folder);
  answers_.insert(folder, present);
  Q_EMIT Changed(folder);
}

}  // namespace kemo
