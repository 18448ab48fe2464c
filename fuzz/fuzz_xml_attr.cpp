// The attribute reader on arbitrary node texts. The first byte picks the attribute name; the rest
// is the node text as UTF-8. The value found must be a part of the text with references resolved,
// so it can never be longer than the text.
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "document/content_xml.h"
#include "document/tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const QString names[] = {QStringLiteral("pos"), QStringLiteral("caption"), QStringLiteral("image"),
                                  QStringLiteral("t"),   QStringLiteral("x"),       QStringLiteral("y")};
  const QString& name = names[data[0] % 6];
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const QString value = kemo::GetXmlAttr(text, name);
  if (value.size() > text.size()) std::abort();
  kemo::PercentText(value);
  kemo::ReadNumber(value);
  return 0;
}
