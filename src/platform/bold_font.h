#pragma once
// Bold text of the window (the grids' headers, the stage's notice) is drawn from the regular face,
// made bolder as it is drawn, rather than from the family's own bold face: the Japanese bold face
// would be one more large font file mapped and parsed, some 3.5 MB, for a few header words.
#include <QFont>

namespace kemo {

// The font's regular face: asked for bold later (the toolkit's headers measure their sections in
// bold), it is made bolder rather than replaced by the bold face.
inline QFont FromRegularFace(QFont font) {
  font.setStyleName(QStringLiteral("Regular"));
  return font;
}

inline QFont BoldFromRegular(QFont font) {
  font = FromRegularFace(font);
  font.setBold(true);
  return font;
}

}  // namespace kemo
