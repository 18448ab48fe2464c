#pragma once
// A batch's rows (one per folder and action), the journal that keeps each finished row the moment it
// is known (so that --resume after any interruption, kill -9 included, redoes only the rest), and the
// report written at the end as JSON or CSV.
#include <QString>
#include <QStringList>
#include <map>
#include <utility>
#include <vector>

namespace kemo {

struct BatchRow {
  QString folder;  // relative to ROOT
  QString action;
  QString status;  // "ok", "warning" (done, with warnings), "failed", "skipped" (an existing product kept)
  double seconds = 0;
  QStringList warnings;
  QString message;
  // Kept in the journal only: what the row was made from and what it wrote.
  QString fingerprint;
  QString output;
  QString outputStamp;
};

// The journal of one batch (action(s), ROOT and --out): one JSON line per finished row, appended
// and flushed at once. A new run starts with a line of its own; --resume continues the last run.
class BatchJournal {
 public:
  // The journal's file for a batch, under $XDG_STATE_HOME/kemo-editor/batch/.
  static QString PathFor(const QStringList& actions, const QString& root, const QString& outDir);

  // Reads the journal at `path` (a torn last line, from a kill, is left out).
  explicit BatchJournal(const QString& path);
  // Starts a new run (a resume does not).
  bool StartRun();
  bool Append(const BatchRow& row);

  // The row of the last run for a folder and action, when there is one.
  const BatchRow* Finished(const QString& folder, const QString& action) const;
  // True when the batch wrote `output` as it stands now (same stamp), in any run.
  bool Wrote(const QString& output) const;

 private:
  QString path_;
  std::map<std::pair<QString, QString>, BatchRow> lastRun_;
  std::map<QString, QString> written_;  // output -> stamp
};

// The report, as JSON ({"rows": [...]}) or, for a name ending in .csv, CSV; rows sorted by folder
// and action. False when it could not be written.
bool WriteBatchReport(const QString& path, std::vector<BatchRow> rows);

}  // namespace kemo
