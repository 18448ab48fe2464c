#include "batch/batch_report.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

#include "batch/batch_folders.h"
#include "platform/paths.h"

namespace kemo {

namespace {

QJsonObject ToJson(const BatchRow& r, bool journal) {
  QJsonObject o{{QStringLiteral("folder"), r.folder},
                {QStringLiteral("action"), r.action},
                {QStringLiteral("status"), r.status},
                {QStringLiteral("seconds"), std::round(r.seconds * 10) / 10},
                {QStringLiteral("warnings"), QJsonArray::fromStringList(r.warnings)},
                {QStringLiteral("message"), r.message}};
  if (journal) {
    o[QStringLiteral("fingerprint")] = r.fingerprint;
    o[QStringLiteral("output")] = r.output;
    o[QStringLiteral("outputStamp")] = r.outputStamp;
  }
  return o;
}

BatchRow FromJson(const QJsonObject& o) {
  BatchRow r;
  r.folder = o[QStringLiteral("folder")].toString();
  r.action = o[QStringLiteral("action")].toString();
  r.status = o[QStringLiteral("status")].toString();
  r.seconds = o[QStringLiteral("seconds")].toDouble();
  for (const QJsonValue& w : o[QStringLiteral("warnings")].toArray()) r.warnings << w.toString();
  r.message = o[QStringLiteral("message")].toString();
  r.fingerprint = o[QStringLiteral("fingerprint")].toString();
  r.output = o[QStringLiteral("output")].toString();
  r.outputStamp = o[QStringLiteral("outputStamp")].toString();
  return r;
}

QString CsvField(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
    return text;
  text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

QString BatchJournal::PathFor(const QStringList& actions, const QString& root, const QString& outDir) {
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (state.isEmpty()) state = JoinPath(QDir::homePath(), QStringLiteral(".local/state"));
  const QByteArray key = (actions.join(QLatin1Char(',')) + QLatin1Char('\n') + root + QLatin1Char('\n') + outDir).toUtf8();
  const QString name = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(20));
  return JoinPath(state, QStringLiteral("kemo-editor/batch/") + name + QStringLiteral(".jsonl"));
}

BatchJournal::BatchJournal(const QString& path) : path_(path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return;
  while (!f.atEnd()) {
    const QByteArray line = f.readLine();
    if (!line.endsWith('\n')) break;  // torn by a kill
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    if (o.isEmpty()) continue;
    if (o.contains(QStringLiteral("run"))) {
      lastRun_.clear();
      continue;
    }
    const BatchRow r = FromJson(o);
    lastRun_[{r.folder, r.action}] = r;
    if (!r.output.isEmpty() && !r.outputStamp.isEmpty()) written_[r.output] = r.outputStamp;
  }
}

bool BatchJournal::StartRun() {
  lastRun_.clear();
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QFile f(path_);
  if (!f.open(QIODevice::Append)) return false;
  f.write(QJsonDocument(QJsonObject{{QStringLiteral("run"), true}}).toJson(QJsonDocument::Compact) + '\n');
  return f.flush();
}

bool BatchJournal::Append(const BatchRow& row) {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QFile f(path_);
  if (!f.open(QIODevice::Append)) return false;
  // One write per row: a kill leaves at most the last line torn, which the reader drops.
  const QByteArray line = QJsonDocument(ToJson(row, true)).toJson(QJsonDocument::Compact) + '\n';
  const bool ok = f.write(line) == line.size() && f.flush() && ::fdatasync(f.handle()) == 0;
  lastRun_[{row.folder, row.action}] = row;
  if (!row.output.isEmpty() && !row.outputStamp.isEmpty()) written_[row.output] = row.outputStamp;
  return ok;
}

const BatchRow* BatchJournal::Finished(const QString& folder, const QString& action) const {
  const auto it = lastRun_.find({folder, action});
  return it == lastRun_.end() ? nullptr : &it->second;
}

bool BatchJournal::Wrote(const QString& output) const {
  const auto it = written_.find(output);
  return it != written_.end() && it->second == FileStamp(output);
}

bool WriteBatchReport(const QString& path, std::vector<BatchRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const BatchRow& a, const BatchRow& b) {
    return std::tie(a.folder, a.action) < std::tie(b.folder, b.action);
  });
  QByteArray bytes;
  if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
    QString text = QStringLiteral("folder,action,status,seconds,warnings,message\n");
    for (const BatchRow& r : rows)
      text += CsvField(r.folder) + QLatin1Char(',') + r.action + QLatin1Char(',') + r.status + QLatin1Char(',') +
              QString::number(r.seconds, 'f', 1) + QLatin1Char(',') + CsvField(r.warnings.join(QStringLiteral(" / "))) +
              QLatin1Char(',') + CsvField(r.message) + QLatin1Char('\n');
    bytes = text.toUtf8();
  } else {
    QJsonArray array;
    for (const BatchRow& r : rows) array.append(ToJson(r, false));
    bytes = QJsonDocument(QJsonObject{{QStringLiteral("rows"), array}}).toJson();
  }
  QSaveFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

}  // namespace kemo
