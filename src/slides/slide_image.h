#pragma once
// Choosing a slide's picture in the working grid: the drop-down laid over the image cell, and the
// import of a picture from another folder into the data folder.
#include <QString>
#include <QStringList>
#include "slides/slides_state.h"

namespace kemo {

struct Editor;

// The drop-down's first entry, which starts the import.
inline const QString kCopyFromElsewhere = QStringLiteral("<別の場所からコピー>");

// The picture files (*.jpg, *.jpeg, *.bmp, any letter case) directly in folder, by name.
QStringList ListImageFiles(const QString& folder);

void OnImageButtonClick(Editor& ed, int colIndex);
void OnImageComboClick(Editor& ed);
void OnImageComboKeyDown(Editor& ed, int keyCode, int shift);
void OnImageComboLostFocus(Editor& ed);

// Installs the drop-down's key and focus handling and its item choice.
void WireImageCombo(Editor& ed);

}  // namespace kemo
