// Placeholder until slide editing lands.
#include "slides/slide_edit.h"

#include "document/editor.h"

namespace kemo {
bool IsSlideEditUnchanged(const Editor& ed) {
  if (ed.SldEdtCnt < 1) return true;
  if (ed.SldCnt != ed.SldEdtCnt) return false;
  for (int i = 0; i < ed.SldEdtCnt; ++i) {
    const SlideRecord& a = ed.Sld[i];
    const SlideRecord& b = ed.SldEdt[i];
    if (a.pos != b.pos || a.timeText != b.timeText || a.caption != b.caption || a.image != b.image) return false;
  }
  return true;
}
void OpenOrCloseSlideEdit(Editor&) {}
void UpdateSlideEditCaption(Editor&) {}
void SetupSlideEditGrid(Editor&) {}
void EndSlideEdit(Editor&) {}
void RegisterSlideEdit(Editor&) {}
void DeleteSlideMenu(Editor&) {}
void InsertSlideMenu(Editor&) {}
void DeleteAllEditSlides(Editor&) {}
QString CopyImageFromElsewhere(Editor&) { return {}; }
void WireSlideEdit(Editor&) {}
}  // namespace kemo
