#pragma once
// What `kemo-editor --batch ACTION ROOT` can do to every data folder under ROOT. Each action is the
// single-folder command of the editor (run as a process of its own per folder) with what the batch
// needs to know about it; adding an action is adding one entry to BatchActions().
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace kemo {

// One folder's part of a batch.
struct BatchJob {
  QString folder;    // the data folder, absolute
  QString relative;  // its path under ROOT ("." for ROOT itself)
  QString output;    // what the job writes ("" when it writes nothing)
};

// What the batch's command line asks of every job.
struct BatchChoices {
  bool force = false;  // an existing product is replaced
  QString quality;     // the export's --quality ("standard", "small", "fast"); "" for its default
};

struct BatchAction {
  QString name;
  bool light = false;  // quick and reading only: never waits behind the heavy jobs
  // The exit status of a job done with warnings (0 is done, any other failed), and whether the
  // warnings are the lines of its standard output (else the "警告: " lines of its error output).
  int warningExit = 3;
  bool warningsOnOutput = false;
  // The job's product for a folder: `outDir` is --out ("" when not given). "" for none.
  std::function<QString(const QString& folder, const QString& relative, const QString& outDir)> output;
  // The single-folder command line after the program's name.
  std::function<QStringList(const BatchJob& job, const BatchChoices& choices)> arguments;
};

// The actions: check (the timing check), convert, export, web.
const std::vector<BatchAction>& BatchActions();
// The action of that name, or null.
const BatchAction* FindBatchAction(const QString& name);

}  // namespace kemo
