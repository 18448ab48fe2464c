#pragma once
// The File-menu commands that choose the data folder and read or write content.xml, and the routines
// they share with the conversion and the slide-image import.
#include <QString>

namespace kemo {

struct Editor;

void OnFileNew(Editor& ed);
// フォルダ指定. True when a data folder was opened.
bool OnFileOpen(Editor& ed);
// Opens the given folder as フォルダ指定 does (the same questions and messages), without the
// picker: the command line, a second start, a folder dropped on the window, the recent folders.
bool OpenGivenFolder(Editor& ed, const QString& folder);
// Where the folder pickers start: the parent of the data folder opened last, or the home folder.
QString FolderPickerStart(const Editor& ed);
void OnFileSave(Editor& ed);
void OnFileSaveAs(Editor& ed);
void OnFileReset(Editor& ed);

// The lines that name work not yet registered, as the exit question lists them: the recorded run,
// then the changes of the open slide-edit panel, each ending in a carriage return; "" when none.
QString UnregisteredWorkText(const Editor& ed);

// BuildRecords, BuildSlideTable, BuildPointTable, then the views after a load (the stage and its markers).
void RebuildAfterLoad(Editor& ed);

// Makes destination hold the data folder's files: Video.flv, Video.avi, the images the slide table
// names (plain file names only) and, last, content.xml. Two spellings of one folder copy nothing. A
// destination that already holds files is emptied (its files only, never its folders) after the
// user agrees; Declined when the user does not, and then nothing was deleted or copied. A file that
// is missing is skipped; one that can't be copied is reported (the file and the reason), the files
// copied so far are taken away again and the result is Failed: content.xml never lands in a folder
// that misses the video or a picture.
enum class CopyResult { Copied, Declined, Failed };
CopyResult CopyDataFolder(Editor& ed, const QString& source, const QString& destination);

// Asks for an FLV file and copies it as DataFolder/Video.flv; the chosen file's name, or "".
QString ImportFlvFile(Editor& ed);

// The folder picker opened at start; the chosen folder's path without a trailing separator, or "".
QString BrowseForFolder(Editor& ed, const QString& start, const QString& title);

// The open-file dialog; filter in the toolkit's form ("*.flv (*.flv)"); the chosen path, or "".
QString OpenFileDialog(Editor& ed, const QString& filter, const QString& start, const QString& title);

// Copies one file, overwriting only when asked; on failure reports it (nothing for a missing
// source) and returns false.
bool CopyFileChecked(Editor& ed, const QString& source, const QString& destination, bool overwrite);

// True for the program's own folders (the program's data, its work folder, the working folder of
// new content, and the base that holds every running editor's work folder with all below it),
// compared by real path: they hold the program's files or are emptied by the program,
// so none of them is opened, converted or saved into as a data folder. Every such check calls this.
bool IsProgramFolder(const Editor& ed, const QString& folder);

}  // namespace kemo
