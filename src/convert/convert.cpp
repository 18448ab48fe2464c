// Placeholder until the conversion lands.
#include "convert/convert.h"

#include "document/editor.h"

namespace kemo {
void OnConvertCommand(Editor&) {}
int ConvertFlvToAvi(Editor&, const QString&, const QString&, const QString&, const QString&) { return -1; }
void WireConvert(Editor&) {}
}  // namespace kemo
