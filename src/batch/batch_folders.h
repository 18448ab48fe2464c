#pragma once
// The data folders under a batch's ROOT, and what tells whether a folder changed since a job ran.
#include <QString>
#include <QStringList>

namespace kemo {

// Every data folder under `root` (root included): a folder with a content.xml and a Video.flv or
// Video.avi, regular files. Links are never followed (a link to a folder is not entered, so nothing
// out of ROOT is reached). Paths relative to root ("." for root), sorted.
QStringList FindDataFolders(const QString& root);

// A fingerprint of a folder's inputs: content.xml's bytes and the size and time of
// the video the jobs read (Video.flv, else Video.avi). "" when
// content.xml cannot be read.
QString FolderFingerprint(const QString& folder);

// A file's size and modification time ("" when it does not exist), to know a product again.
QString FileStamp(const QString& path);

}  // namespace kemo
