#pragma once
// The interface's Japanese face. IPA Gothic is a TrueType face whose glyphs are read one by one;
// the Noto CJK collection, which stands in where it is missing, is a CFF font whose loading parses
// tables for all of its 65535 glyphs (a megabyte of memory and milliseconds at every start), and
// its shared glyph programs spread each drawn text over many more pages of the file.
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace kemo {

inline QStringList InterfaceFontFamilies() {
  return {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans")};
}

// The menu bar's titles are the program's own words, all of them in either Japanese face: where one is
// installed, the bar draws in it alone, and the toolkit does not look up, for each script of the
// titles, the faces that would stand in for characters it lacks (a sort of every installed font,
// the most of a millisecond before the first drawing). The menus themselves, which show folder
// names, keep the faces that stand in.
inline QFont MenuBarFont(QFont window) {
  const QStringList families = InterfaceFontFamilies();
  if (QFontDatabase::hasFamily(families.at(0)) || QFontDatabase::hasFamily(families.at(1)))
    window.setStyleStrategy(QFont::NoFontMerging);
  return window;
}

}  // namespace kemo
