#pragma once
// Captions of labels keep the system's carriage returns; only what the label shows turns them
// into line breaks. Caption() gives back the text as it was set.
#include <QString>

class QLabel;

namespace kemo {

QString ShowLineBreaks(const QString& text);
// lineHeightPx > 0 draws the lines that close together (for legends in a tight design place).
void SetCaption(QLabel* label, const QString& text, int lineHeightPx = 0);
QString Caption(const QLabel* label);

}  // namespace kemo
