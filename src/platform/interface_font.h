#pragma once
// The interface's Japanese face. IPA Gothic is a TrueType face whose glyphs are read one by one;
// the Noto CJK collection, which stands in where it is missing, is a CFF font whose loading parses
// tables for all of its 65535 glyphs (a megabyte of memory and milliseconds at every start), and
// its shared glyph programs spread each drawn text over many more pages of the file.
#include <QStringList>

namespace kemo {

inline QStringList InterfaceFontFamilies() {
  return {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans")};
}

}  // namespace kemo
