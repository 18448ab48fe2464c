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
//
// The toolkit's look-up of one family reads its font list without taking the list's lock, and the
// list may still be being filled on the start's warm-up thread (a half-grown list ended the start in
// a crash, about one start in a thousand). Asking for the whole list first waits, under that lock,
// until it is complete.
inline QFont MenuBarFont(QFont window) {
  const QStringList families = InterfaceFontFamilies();
  QFontDatabase::families();
  if (QFontDatabase::hasFamily(families.at(0)) || QFontDatabase::hasFamily(families.at(1)))
    window.setStyleStrategy(QFont::NoFontMerging);
  return window;
}

}  // namespace kemo
