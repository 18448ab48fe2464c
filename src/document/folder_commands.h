#pragma once
// The File-menu commands that choose the data folder and read or write content.xml, and the routines
// they share with the conversion and the slide-image import.
#include <QString>

namespace kemo {

struct Editor;

void OnFileNew(Editor& ed);
void OnFileOpen(Editor& ed);
void OnFileSave(Editor& ed);
void OnFileSaveAs(Editor& ed);
void OnFileReset(Editor& ed);

// BuildRecords, BuildSlideTable, BuildPointTable, BuildStageView and LayoutPointMarkers(false).
void RebuildAfterLoad(Editor& ed);

void CopyDataFolder(Editor& ed, const QString& source, const QString& destination);
QString ImportFlvFile(Editor& ed);
QString BrowseForFolder(Editor& ed, const QString& start, const QString& title);
QString OpenFileDialog(Editor& ed, const QString& filter, const QString& start, const QString& title);
bool CopyFileChecked(Editor& ed, const QString& source, const QString& destination, bool overwrite);

}  // namespace kemo
