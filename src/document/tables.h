#pragma once
// The working tables: clear, build from the staging texts, the record sets and the symbol list.
#include <QString>

namespace kemo {

struct Editor;

// The column names of the slide tables (RS_SLD, RS_SLDEDT) and of the point tables' time column.
namespace SlideColumn {
inline const QString Id = QStringLiteral("ID");
inline const QString Time = QStringLiteral("時間");
inline const QString Title = QStringLiteral("タイトル");
inline const QString Image = QStringLiteral("スライドファイル名");
}  // namespace SlideColumn

void ReadSymbolFile(Editor& ed);
void ClearAllTables(Editor& ed);
void ClearPointTable(Editor& ed);
void ClearSlideEditTable(Editor& ed);
void BuildRecords(Editor& ed);
void BuildSlideTable(Editor& ed);
void BuildSlideEditTable(Editor& ed, bool copyFromSlides);
void BuildPointTable(Editor& ed);

// A fraction as a whole percentage without the sign ("0.4523" gives "45", "1" gives "100");
// "" when the text is not a number.
QString PercentText(const QString& fraction);

// The number read from a text the way the tables read times and fractions; ok false when it is not one.
double ReadNumber(const QString& text, bool* ok = nullptr);

}  // namespace kemo
