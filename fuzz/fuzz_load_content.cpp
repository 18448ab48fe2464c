// The loader path on arbitrary bytes: parse, stage, build the records and the record sets. Nothing
// may crash, hang, leak past the sanitizers or leave a count outside 0..3600.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "platform/record_set.h"

namespace {

struct Target {
  Target() {
    kemo::InitXmlLibrary();
    ed = std::make_unique<kemo::Editor>();
    ed->RS_SLD = &sld;
    ed->RS_CUR = &cur;
    ed->RS_SLDEDT = &sldEdt;
    ed->SymOnList = {QStringLiteral("on"), QStringLiteral("*")};
    ed->SymOffList = {QStringLiteral("off"), QStringLiteral("-")};
  }
  kemo::RecordSet sld, cur, sldEdt;
  std::unique_ptr<kemo::Editor> ed;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Target t;
  kemo::Editor& ed = *t.ed;
  kemo::ClearAllTables(ed);
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  kemo::LoadContentXmlData(ed, bytes, QStringLiteral("fuzz.xml"));
  if (ed.SldCnt < 0 || ed.SldCnt > kemo::MaxRecords || ed.CurCnt < 0 || ed.CurCnt > kemo::MaxRecords) std::abort();
  kemo::BuildRecords(ed);
  kemo::BuildSlideTable(ed);
  kemo::BuildSlideEditTable(ed, true);
  kemo::BuildPointTable(ed);
  if (t.sld.RecordCount() != ed.SldCnt || t.cur.RecordCount() != ed.CurCnt) std::abort();
  return 0;
}
