#pragma once
// Where a product of a data folder (the exported video, and later other whole-file products) may be
// written, decided before any work starts, and the hold on the temporary name that the product is
// written under until it is complete.
#include <QString>
#include <QStringList>

namespace kemo {

struct OutputPlace {
  QString path;     // the absolute path to write: `extension` added when the user typed none
  QString refusal;  // "" when it may be written; else the sentence that says why not
};

// Checks the place the user typed for a product of `dataFolder`:
// - an empty name, a folder, or a name in a folder that is missing or not writable is refused;
// - no file of the data folder is ever the output, whether it exists yet or not: the videos,
//   content.xml and its backups, pictures, and any of `inputs` (files the product is made from);
// - `extension` (without the dot) is added when the name has none.
OutputPlace CheckOutputPlace(const QString& typed, const QString& dataFolder, const QStringList& inputs = {},
                             const QString& extension = QStringLiteral("mp4"));

// The temporary name beside `output` that a product is written under: ".<name>.part".
QString PartPathOf(const QString& output);

// The hold on an output's temporary name while it is written: an advisory lock on the file itself,
// so that a second writer of the same name (in this or another process) is refused, while a
// temporary file left by a writer that was killed (its lock went with it) is emptied and taken over.
class PartFileHold {
 public:
  PartFileHold() = default;
  ~PartFileHold();
  PartFileHold(const PartFileHold&) = delete;
  PartFileHold& operator=(const PartFileHold&) = delete;

  // Creates or takes over the temporary name of `output`; false with the reason when another
  // writer holds it or it cannot be made.
  bool Take(const QString& output, QString* refusal);
  // Renames the temporary file to the output (replacing it) and lets go; false when it failed.
  bool Commit();
  // Removes the temporary file (unless committed) and lets go.
  void Discard();
  const QString& PartPath() const { return part_; }

 private:
  QString part_, output_;
  int fd_ = -1;
};

}  // namespace kemo
