#include "batch/batch_actions.h"

#include <QFileInfo>

#include "platform/paths.h"

namespace kemo {

namespace {

// The exported video of a folder: under --out, at the folder's place in ROOT's tree, named after it;
// without --out, in the folder itself.
QString ExportOutput(const QString& folder, const QString& relative, const QString& outDir) {
  const QString name = QFileInfo(folder).fileName() + QStringLiteral(".mp4");
  if (outDir.isEmpty()) return JoinPath(folder, name);
  if (relative == QStringLiteral(".")) return JoinPath(outDir, name);
  return JoinPath(outDir, relative + QStringLiteral(".mp4"));
}

// The web package of a folder: "<name>_web" under --out at the folder's place in ROOT's tree; without
// --out beside the folder (never inside it).
QString WebOutput(const QString& folder, const QString& relative, const QString& outDir) {
  const QString name = QFileInfo(folder).fileName() + QStringLiteral("_web");
  if (outDir.isEmpty()) return JoinPath(QFileInfo(folder).path(), name);
  if (relative == QStringLiteral(".")) return JoinPath(outDir, name);
  return JoinPath(outDir, relative + QStringLiteral("_web"));
}

}  // namespace

const std::vector<BatchAction>& BatchActions() {
  static const std::vector<BatchAction> actions = {
      // Problems found (status 1) are the rows' warnings, one a line of the standard output.
      {QStringLiteral("check"), true, 1, true, [](const QString&, const QString&, const QString&) { return QString(); },
       [](const BatchJob& job, const BatchChoices&) { return QStringList{QStringLiteral("--check"), job.folder}; }},
      {QStringLiteral("convert"), false, 3, false,
       [](const QString& folder, const QString&, const QString&) { return JoinPath(folder, QStringLiteral("Video.avi")); },
       [](const BatchJob& job, const BatchChoices& choices) {
         QStringList args{QStringLiteral("--convert"), job.folder};
         if (choices.force) args << QStringLiteral("--force");
         return args;
       }},
      {QStringLiteral("export"), false, 3, false, ExportOutput,
       [](const BatchJob& job, const BatchChoices& choices) {
         QStringList args{QStringLiteral("--export"), job.folder, job.output};
         if (!choices.quality.isEmpty()) args << QStringLiteral("--quality") << choices.quality;
         return args;
       }},
      {QStringLiteral("web"), false, 3, false, WebOutput,
       [](const BatchJob& job, const BatchChoices&) { return QStringList{QStringLiteral("--web"), job.folder, job.output}; }},
  };
  return actions;
}

const BatchAction* FindBatchAction(const QString& name) {
  for (const BatchAction& a : BatchActions())
    if (a.name == name) return &a;
  return nullptr;
}

}  // namespace kemo
