#include "platform/file_dialogs.h"

#include <QFileDialog>

namespace kemo {

QString QtFileDialogs::BrowseForFolder(const QString& start, const QString& title) {
  return QFileDialog::getExistingDirectory(owner_, title, start, QFileDialog::ShowDirsOnly);
}

QString QtFileDialogs::OpenFile(const QString& filter, const QString& start, const QString& title) {
  return QFileDialog::getOpenFileName(owner_, title, start, filter, nullptr, QFileDialog::ReadOnly);
}

QString QtFileDialogs::SaveFile(const QString& filter, const QString& start, const QString& title) {
  return QFileDialog::getSaveFileName(owner_, title, start, filter);
}

QString ScriptedFileDialogs::SaveFile(const QString& filter, const QString& start, const QString& title) {
  calls.push_back({QStringLiteral("save"), start, title, filter});
  if (saves.empty()) return {};
  QString r = saves.front();
  saves.pop_front();
  return r;
}

QString ScriptedFileDialogs::BrowseForFolder(const QString& start, const QString& title) {
  calls.push_back({QStringLiteral("folder"), start, title, {}});
  if (folders.empty()) return {};
  QString r = folders.front();
  folders.pop_front();
  return r;
}

QString ScriptedFileDialogs::OpenFile(const QString& filter, const QString& start, const QString& title) {
  calls.push_back({QStringLiteral("file"), start, title, filter});
  if (files.empty()) return {};
  QString r = files.front();
  files.pop_front();
  return r;
}

}  // namespace kemo
