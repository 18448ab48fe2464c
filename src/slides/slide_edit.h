#pragma once
// Slide editing on a working copy, registration, insert and delete, image choice and import.
#include <QString>

namespace kemo {

struct Editor;

bool IsSlideEditUnchanged(const Editor& ed);
void OpenOrCloseSlideEdit(Editor& ed);
void UpdateSlideEditCaption(Editor& ed);
void SetupSlideEditGrid(Editor& ed);
void EndSlideEdit(Editor& ed);
void RegisterSlideEdit(Editor& ed);

// True while the slide-edit panel is shown: insert and delete then work on the working copy.
bool IsSlideEditPanelShown(const Editor& ed);

// The working grid's events: a field of row `row` changed through the grid; the current row moved
// to `row`; a character key (13 is Enter); a mouse movement (button 2 is the right button alone).
void OnSlideEditFieldChange(Editor& ed, int row);
void OnSlideEditMove(Editor& ed, int row);
void OnSlideEditGridKeyPress(Editor& ed, int keyAscii);
void OnSlideEditGridMouseMove(Editor& ed, int button, int shift, double x, double y);

void DeleteSlideMenu(Editor& ed);
void InsertSlideMenu(Editor& ed);
void DeleteAllEditSlides(Editor& ed);

QString CopyImageFromElsewhere(Editor& ed);

void WireSlideEdit(Editor& ed);

}  // namespace kemo
