#pragma once
// Texts that must read in full at every layout scale: where a control's text (scaled with the
// layout) no longer fits its box, as happens at the smaller scales where fonts do not shrink in
// step with the boxes, its font is made smaller in quarter points until it fits.
class QWidget;

namespace kemo {

// Fits the texts of the labels, buttons, check boxes and option buttons under root. Call after
// ApplyLayoutScale, which gives each control its scaled design font again.
void FitTexts(QWidget* root);

}  // namespace kemo
