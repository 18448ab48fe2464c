#pragma once
// The slide grid and the one routine that draws a slide image on the stage.
#include <QString>
#include "slides/slides_state.h"

namespace kemo {

struct Editor;

// Draws the picture file `path` stretched over the stage. A path without a file name, a name that
// is not a plain file name of the data folder, a missing file or one that is not a picture shows
// the program's own 000.jpg with "File Not Found" in front, as does the path of 000.jpg itself.
// The files are checked on disk again (the picture may have been replaced).
void ShowSlideImage(Editor& ed, const QString& path);
// The same for the synchronisation. While the slide in force stays (`slideChanged` false) the
// pictures checked since the slide last changed are drawn from memory without touching the disk.
// When it changes, the picture's file is checked once, unless it is the picture already on the
// stage and checked since: slide and slide-edit lists moving in the same tick check it only once.
void ShowSyncedSlideImage(Editor& ed, const QString& path, bool slideChanged);

// The path of a slide's image in the data folder. A name that is not a plain file name (a path
// separator, "." or "..") is never joined: it gives the folder alone, which shows 000.jpg with
// "File Not Found" as for an empty name.
QString SlideImagePath(const Editor& ed, const QString& image);

// True while the slide-edit working copy has rows: its list then follows the playback beside the
// registered one, and the stage is drawn from both on every tick.
bool HasSlideEditRows(const Editor& ed);

void OnSlideGridKeyDown(Editor& ed, int keyCode, int shift);
void OnSlideGridMouseUp(Editor& ed, int button, int shift, double x, double y);
void OnSlideGridMouseMove(Editor& ed, int button, int shift, double x, double y);
// False when the wait for the player was abandoned (another folder opened, or the program is
// closing): the seek it prepared must not go on.
bool PausePlayerBeforeSeek(Editor& ed);

// Opens the Slides menu ppSld at the pointer (through SlidesState::PopupHook when it is set).
void PopupSlideMenu(Editor& ed);

void WireSlideDisplay(Editor& ed);

}  // namespace kemo
