#pragma once
// Whether a folder exists, asked with a time limit: a folder on a share that stopped answering (a
// hard NFS mount, a FUSE file system whose server hangs) holds the thread that asks, so the check
// runs on a thread of its own and the caller waits for it only so long.
#include <QString>

namespace kemo {

// True when folder is a folder and its file system answered within limitMs. False when it is not,
// or did not answer in time; its check then goes on behind, and until it answers the folder is
// not asked again (false at once).
bool IsFolderWithin(const QString& folder, int limitMs);

}  // namespace kemo
