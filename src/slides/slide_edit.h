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

void DeleteSlideMenu(Editor& ed);
void InsertSlideMenu(Editor& ed);
void DeleteAllEditSlides(Editor& ed);

QString CopyImageFromElsewhere(Editor& ed);

void WireSlideEdit(Editor& ed);

}  // namespace kemo
