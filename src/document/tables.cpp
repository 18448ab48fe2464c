// Placeholder until the working tables land.
#include "document/tables.h"

#include "document/editor.h"

namespace kemo {
void ReadSymbolFile(Editor&) {}
void ClearAllTables(Editor&) {}
void ClearPointTable(Editor&) {}
void ClearSlideEditTable(Editor&) {}
void BuildRecords(Editor&) {}
void BuildSlideTable(Editor&) {}
void BuildSlideEditTable(Editor&, bool) {}
void BuildPointTable(Editor&) {}
QString PercentText(const QString&) { return {}; }
double ReadNumber(const QString& text, bool* ok) { return text.toDouble(ok); }
}  // namespace kemo
