#pragma once
// The recovery journal of one data folder: a file in the user's state folder
// ($XDG_STATE_HOME/kemo-editor/recovery) that holds the tables as they were when the first unsaved
// change was made, then every change of the registered tables and of the recorded run, one
// record each, in the order they were made. Replaying it gives the tables as they were when the
// editor stopped. It names the data folder and the content.xml (size, time, hash) it belongs to.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "document/records.h"
#include "document/table_delta.h"
#include "platform/append_file.h"

namespace kemo {

// What says that a file is still the one read or written: its size, time and a hash of its bytes.
struct FileIdentity {
  qint64 size = -1;  // -1: there was no file
  qint64 modifiedMs = 0;
  QByteArray hash;
  QString path;  // the file it was taken of (not kept in a journal)
  bool Exists() const { return size >= 0; }
  bool SameContent(const FileIdentity& o) const { return size == o.size && hash == o.hash; }
};
FileIdentity IdentifyFile(const QString& path);
// The identity of the file at `path` whose bytes were just read or written.
FileIdentity IdentifyBytes(const QString& path, const QByteArray& bytes);

struct JournalHeader {
  QString folder;        // the data folder
  FileIdentity content;  // its content.xml when the journal began
  qint64 beganMs = 0;    // when the journal began (ms since the epoch)
};

struct RecoveredWork {
  JournalHeader header;
  SlideArray sld{};
  PointArray cur{};
  PointArray rec{};
  int16_t sldCnt = 0, curCnt = 0, recCnt = 0;
  int changes = 0;      // change records replayed
  int unreadable = 0;    // records that could not be read or applied (passed over)
  bool damaged = false;  // unreadable > 0
};

// The folder of the journals, and the journal of a data folder: its own name, taken by the first
// journal of the folder. Another journal of the same folder (one kept from a crash is still there,
// or another running editor writes that one) is named beside it, "<name>-XXXXXX.journal".
QString RecoveryFolder();
QString JournalPathFor(const QString& dataFolder);
// Every journal of a data folder (by name), newest first.
QStringList JournalsFor(const QString& dataFolder);
// Whether the journal at `path` is named for `dataFolder`.
bool JournalNamedFor(const QString& path, const QString& dataFolder);
// Whether a running editor writes the journal at `path` (it holds the journal's lock for its life,
// which ends with the editor however it ends).
bool JournalInUse(const QString& path);

// Reads a journal: its header only (`work` null) or the whole replay. False when the file holds
// no readable header.
bool ReadJournal(const QString& path, JournalHeader* header, RecoveredWork* work);

class Journal {
 public:
  bool IsOpen() const { return file_.IsOpen(); }
  QString Path() const { return file_.Path(); }
  // Starts the journal of `header.folder` with the tables as they are now, locked for as long as it
  // is open. A journal of that folder already on disk (left by an editor that did not end normally,
  // or written by another running one) is never overwritten: the new one takes a name beside it.
  // False when no journal could be written; `reason` then says why, in words for the user.
  bool Begin(const JournalHeader& header, const SlideArray& sld, int sldCnt, const PointArray& cur, int curCnt,
             const PointArray& rec, int recCnt, QString* reason = nullptr);
  // One change of the registered tables (either splice may be empty), or of the recorded run; it is
  // in the file when this returns true. False when it could not be written (`reason` says why).
  bool AppendDocument(const TableSplice& slides, const TableSplice& points, QString* reason = nullptr);
  bool AppendRecorded(const TableSplice& run, QString* reason = nullptr);
  // Ends the journal and deletes its file (saved, discarded or closed normally).
  void Discard() { file_.Remove(); }
  // Ends the journal keeping its file.
  void Close() { file_.Close(); }
  AppendFile& File() { return file_; }

 private:
  AppendFile file_;
};

}  // namespace kemo
