#include "timing/check_command.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"
#include "timing/check.h"

namespace kemo {

namespace {

void Write(FILE* to, const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to); }
void ErrorLine(const QString& text) { Write(stderr, text.toLocal8Bit() + '\n'); }

}  // namespace

bool IsCheckCommandLine(int argc, char** argv) { return argc >= 2 && std::strcmp(argv[1], "--check") == 0; }

QByteArray CheckJson(const QString& folder, const FolderCheck& check) {
  QJsonArray problems;
  for (const Problem& p : check.problems)
    problems.append(QJsonObject{{QStringLiteral("kind"), KindKey(p.kind)},
                                {QStringLiteral("table"), TableKey(p.table)},
                                {QStringLiteral("row"), p.row},
                                {QStringLiteral("time"), p.time},
                                {QStringLiteral("detail"), p.detail}});
  QJsonObject doc{{QStringLiteral("folder"), folder},
                  {QStringLiteral("video_length"), check.videoLength > 0 ? QJsonValue(check.videoLength) : QJsonValue()},
                  {QStringLiteral("problems"), problems}};
  return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

int RunCheckCommandLine(const QStringList& args) {
  const bool json = args.size() == 3 && args[2] == QStringLiteral("--json");
  if ((args.size() != 2 && !json) || args[0] != QStringLiteral("--check") || args[1].isEmpty()) {
    ErrorLine(QStringLiteral("使い方: kemo-editor --check データフォルダ [--json]"));
    return 2;
  }
  const QString folder = QDir::cleanPath(QFileInfo(args[1]).absoluteFilePath());
  const FolderCheck check = CheckFolder(folder);
  if (!check.readable) {
    ErrorLine(check.reason);
    return 2;
  }
  if (json) {
    Write(stdout, CheckJson(folder, check));
  } else {
    QByteArray out;
    for (const Problem& p : check.problems) out += ProblemLine(p).toLocal8Bit() + '\n';
    Write(stdout, out);
  }
  std::fflush(stdout);
  ErrorLine(check.problems.empty() ? ShowPath(folder) + QStringLiteral("：問題は見つかりませんでした。")
                                   : ShowPath(folder) + QStringLiteral("：") + QString::number(check.problems.size()) +
                                         QStringLiteral("件の問題が見つかりました。"));
  return check.problems.empty() ? 0 : 1;
}

}  // namespace kemo
