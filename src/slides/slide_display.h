#pragma once
// The slide grid and the one routine that draws a slide image on the stage.
#include <QString>

namespace kemo {

struct Editor;

void ShowSlideImage(Editor& ed, const QString& path);
void OnSlideGridKeyDown(Editor& ed, int keyCode, int shift);
void OnSlideGridMouseUp(Editor& ed, int button, int shift, double x, double y);
void OnSlideGridMouseMove(Editor& ed, int button, int shift, double x, double y);
void PausePlayerBeforeSeek(Editor& ed);

void WireSlideDisplay(Editor& ed);

}  // namespace kemo
