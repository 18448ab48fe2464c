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

// Makes destination hold the data folder's files: content.xml, Video.flv, Video.avi and the images
// the slide table names (plain file names only). Two spellings of one folder copy nothing. A
// destination that already holds files is emptied (its files only, never its folders) after the
// user agrees; false when the user declines, and then nothing was deleted or copied.
bool CopyDataFolder(Editor& ed, const QString& source, const QString& destination);

// Asks for an FLV file and copies it as DataFolder/Video.flv; the chosen file's name, or "".
QString ImportFlvFile(Editor& ed);

// The folder picker opened at start; the chosen folder's path without a trailing separator, or "".
QString BrowseForFolder(Editor& ed, const QString& start, const QString& title);

// The open-file dialog; filter in the toolkit's form ("*.flv (*.flv)"); the chosen path, or "".
QString OpenFileDialog(Editor& ed, const QString& filter, const QString& start, const QString& title);

// Copies one file, overwriting only when asked; on failure reports it (nothing for a missing
// source) and returns false.
bool CopyFileChecked(Editor& ed, const QString& source, const QString& destination, bool overwrite);

// True for the program's own folders (the program folder, temp and temp/new), which hold the
// program's files or are emptied by the program and so can't take a data folder.
bool IsProgramOwnFolder(const Editor& ed, const QString& folder);

}  // namespace kemo
