#pragma once
// Texts that must read in full at every layout scale: where a control's text (scaled with the
// layout) no longer fits its box, as happens at the smaller scales where fonts do not shrink in
// step with the boxes, its font is made smaller in quarter points until it fits; a text that fits
// again (a shorter one, a larger scale) gets its full size back.
class QWidget;

namespace kemo {

// Fits the texts of the labels, buttons, check boxes and option buttons under root (the hidden ones
// when they are first drawn), and from then on fits each again before it is drawn with a new text or
// size: texts set after the layout (a time, a mode, a caption set on load) read in full too. Call after ApplyLayoutScale, which gives
// each control its scaled design font again.
void FitTexts(QWidget* root);

}  // namespace kemo
