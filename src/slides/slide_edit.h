#pragma once
// Slide editing on a working copy, registration, insert and delete, image choice and import.
#include <QString>
#include "slides/slides_state.h"

namespace kemo {

struct Editor;

bool IsSlideEditUnchanged(const Editor& ed);
// True when the slide-edit panel is open with changes not yet registered. With the panel closed the
// working copy holds nothing to register: closing registers or gives up its changes, and the next
// opening takes the copy from the registered slides again (while slides inserted or deleted in the
// registered list meanwhile make it differ from them).
bool HasUnregisteredSlideEdit(const Editor& ed);
void OpenOrCloseSlideEdit(Editor& ed);
void UpdateSlideEditCaption(Editor& ed);
void SetupSlideEditGrid(Editor& ed);
void EndSlideEdit(Editor& ed);
// Registers the working copy after a confirmation; false when the user declines.
bool RegisterSlideEdit(Editor& ed);

// True while the slide-edit panel is shown: insert and delete then work on the working copy.
bool IsSlideEditPanelShown(const Editor& ed);

// The working grid's events: a field of row `row` changed through the grid; the current row moved
// to `row`; a character key (13 is Enter); a mouse movement (button 2 is the right button alone).
void OnSlideEditFieldChange(Editor& ed, int row);
void OnSlideEditMove(Editor& ed, int row);
void OnSlideEditGridKeyPress(Editor& ed, int keyAscii);
// A cell editor of row `row` closed with its text stored in the grid, by Enter (byEnter) or by
// any other way of leaving it.
void OnSlideEditCellCommitted(Editor& ed, int row, bool byEnter);
void OnSlideEditGridMouseMove(Editor& ed, int button, int shift, double x, double y);

void DeleteSlideMenu(Editor& ed);
void InsertSlideMenu(Editor& ed);
void DeleteAllEditSlides(Editor& ed);

QString CopyImageFromElsewhere(Editor& ed);

void WireSlideEdit(Editor& ed);

}  // namespace kemo
