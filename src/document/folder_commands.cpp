// Placeholder until the folder commands land.
#include "document/folder_commands.h"

#include "document/editor.h"

namespace kemo {
void OnFileNew(Editor&) {}
void OnFileOpen(Editor&) {}
void OnFileSave(Editor&) {}
void OnFileSaveAs(Editor&) {}
void OnFileReset(Editor&) {}
void RebuildAfterLoad(Editor&) {}
void CopyDataFolder(Editor&, const QString&, const QString&) {}
QString ImportFlvFile(Editor&) { return {}; }
QString BrowseForFolder(Editor&, const QString&, const QString&) { return {}; }
QString OpenFileDialog(Editor&, const QString&, const QString&, const QString&) { return {}; }
bool CopyFileChecked(Editor&, const QString&, const QString&, bool) { return false; }
}  // namespace kemo
