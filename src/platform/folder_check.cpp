#include "platform/folder_check.h"

#include <QFileInfo>
#include <QSet>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace kemo {

namespace {

// The folders with a check out. Never freed: a check held by its file system may outlive main().
struct Outstanding {
  std::mutex mutex;
  QSet<QString> folders;
};

Outstanding& Out() {
  static auto* out = new Outstanding;
  return *out;
}

}  // namespace

bool IsFolderWithin(const QString& folder, int limitMs) {
  if (folder.isEmpty()) return false;
  Outstanding& out = Out();
  {
    const std::lock_guard<std::mutex> lock(out.mutex);
    if (out.folders.contains(folder)) return false;
    out.folders.insert(folder);
  }
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> answered = answer->get_future();
  std::thread([folder, answer, &out] {
    const bool present = QFileInfo(folder).isDir();
    {
      const std::lock_guard<std::mutex> lock(out.mutex);
      out.folders.remove(folder);
    }
    answer->set_value(present);
  }).detach();
  if (answered.wait_for(std::chrono::milliseconds(limitMs)) != std::future_status::ready) return false;
  return answered.get();
}

}  // namespace kemo
