// Writing content.xml: a new document from the program's template with the registered tables, saved
// over the old file atomically after a byte copy of it is kept.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "document/content_xml.h"
#include "document/content_xml_internal.h"
#include "document/data_files.h"
#include "document/editor.h"
#include "document/history.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/services.h"

namespace kemo {

using namespace xmlio;

namespace {

// The first element of the name in document order.
xmlNodePtr FirstElementNamed(xmlNodePtr root, const char* name) {
  xmlNodePtr node = root;
  while (node != nullptr) {
    if (node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST name)) return node;
    if (node->children != nullptr && node->type == XML_ELEMENT_NODE) {
      node = node->children;
      continue;
    }
    while (node != nullptr && node != root && node->next == nullptr) node = node->parent;
    if (node == nullptr || node == root) break;
    node = node->next;
  }
  return nullptr;
}

// UTF-8 of a held text, without the characters XML 1.0 cannot carry (control characters, lone
// surrogates): written as character references they would make a file that no parser reads back.
QByteArray XmlText(const QString& text) {
  bool clean = true;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF) || u >= 0xFFFE) {
      clean = false;
      break;
    }
  }
  if (clean) return text.toUtf8();
  QString kept;
  kept.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      kept += c;
      kept += text.at(++i);
      continue;
    }
    if (c.isSurrogate()) continue;
    if (IsXmlChar(c.unicode())) kept += c;
  }
  return kept.toUtf8();
}

bool AddElement(xmlDocPtr doc, xmlNodePtr parent, const char* name, const char* const attrNames[3],
                const QByteArray values[3]) {
  xmlNodePtr node = xmlNewDocNode(doc, nullptr, BAD_CAST name, nullptr);
  if (node == nullptr) return false;
  if (xmlAddChild(parent, node) == nullptr) {
    xmlFreeNode(node);
    return false;
  }
  for (int a = 0; a < 3; ++a) {
    if (xmlNewProp(node, BAD_CAST attrNames[a], BAD_CAST values[a].constData()) == nullptr) return false;
  }
  return true;
}

}  // namespace

QString FormatXmlNumber(double value) {
  if (!std::isfinite(value) || value == 0.0) return QStringLiteral("0");
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  // Significant digits of the shortest round-trip form: those before the exponent.
  int digits = 0;
  for (char* p = buf; p < r.ptr && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') ++digits;
  }
  if (digits > 15) {
    r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    double rounded = value;
    std::from_chars(buf, r.ptr, rounded);
    value = rounded;
  }
  r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (r.ec != std::errc()) return QStringLiteral("0");
  return QString::fromLatin1(buf, r.ptr - buf);
}

bool SaveContentXml(Editor& ed) {
  // The backup's name carries the minute at which the save began.
  const QDateTime now = ed.svc.clock != nullptr ? ed.svc.clock->Now() : QDateTime::currentDateTime();
  const QString backupPath = BackupPathFor(ed, now);
  if (!ParserAvailable()) {
    Tell(ed, QStringLiteral("XMLファイル書き込みエラー"));
    return false;
  }
  if (ed.DataFolder.isEmpty()) {
    ShowError(ed, QFileDevice::OpenError, QStringLiteral("No data folder"));
    return false;
  }
  const QString contentPath = ed.ContentPath();
  // Another program may have changed the file since it was loaded or saved here.
  if (!ConfirmReplaceContent(ed)) return false;
  int code = 0;
  QString reason;

  // What an interrupted save or copy left here goes first.
  RemoveLeftovers(ed.DataFolder);

  // The backup is the file on disk byte for byte, so that even a file no parser reads is kept
  // whole; without it the old document would be lost, so the save stops here. It is always a new
  // file: a name already taken (an earlier save in the same minute, or a planted link) gets a
  // counter, and nothing is written through whatever lies there.
  if (QFileInfo::exists(contentPath)) {
    const FileError e = WriteBackup(contentPath, ed.DataFolder, backupPath);
    if (e.refusal != Refusal::None) {
      Tell(ed, e.description + QLatin1Char('\r') + QStringLiteral("保存できません。"));
      return false;
    }
    if (!e.ok()) {
      ShowError(ed, e.errnum, ShowPath(backupPath) + QStringLiteral(": ") + e.description);
      return false;
    }
  }

  QByteArray templateBytes;
  if (!ReadWholeFile(ed.TemplatePath(), &templateBytes, &code, &reason)) {
    Tell(ed, reason);
    return false;
  }
  Parsed parsed = ParseBytes(templateBytes, ShowPath(ed.TemplatePath()));
  if (parsed.noParser) {
    Tell(ed, QStringLiteral("XMLファイル書き込みエラー"));
    return false;
  }
  if (!parsed.doc) {
    Tell(ed, parsed.reason);
    return false;
  }
  xmlDocPtr doc = parsed.doc.get();
  xmlNodePtr root = xmlDocGetRootElement(doc);
  xmlNodePtr slide = FirstElementNamed(root, "slide");
  xmlNodePtr cursor = FirstElementNamed(root, "cursor");
  if (slide == nullptr || cursor == nullptr) {
    ShowError(ed, XML_ERR_INTERNAL_ERROR,
              ShowPath(ed.TemplatePath()) + QStringLiteral(": no <") +
                  QLatin1String(slide == nullptr ? "slide" : "cursor") + QStringLiteral("> element"));
    return false;
  }

  static const char* const kSceneAttrs[3] = {"pos", "caption", "image"};
  static const char* const kPointAttrs[3] = {"t", "x", "y"};
  bool built = true;
  const int sldCnt = std::clamp<int>(ed.SldCnt, 0, kSlots);
  for (int i = 0; built && i < sldCnt; ++i) {
    const SlideRecord& s = ed.Sld[i];
    const QByteArray values[3] = {FormatXmlNumber(s.pos).toLatin1(), XmlText(s.caption), XmlText(s.image)};
    built = AddElement(doc, slide, "scene", kSceneAttrs, values);
  }
  const int curCnt = std::clamp<int>(ed.CurCnt, 0, kSlots);
  for (int i = 0; built && i < curCnt; ++i) {
    const PointRecord& p = ed.Cur[i];
    const QByteArray values[3] = {FormatXmlNumber(p.t).toLatin1(), XmlText(p.x), XmlText(p.y)};
    built = AddElement(doc, cursor, "p", kPointAttrs, values);
  }
  if (!built) {
    ShowError(ed, XML_ERR_NO_MEMORY, QStringLiteral("Out of memory while building the document"));
    return false;
  }

  xmlChar* text = nullptr;
  int size = 0;
  {
    ParseErrors errors;
    ErrorScope scope(&errors);
    xmlDocDumpMemoryEnc(doc, &text, &size, reinterpret_cast<const char*>(doc->encoding));
  }
  if (text == nullptr) {
    ShowError(ed, XML_ERR_UNSUPPORTED_ENCODING, QStringLiteral("Cannot write the document"));
    return false;
  }
  const QByteArray out(reinterpret_cast<const char*>(text), size);
  xmlFree(text);
  // content.xml is replaced whole, never written through a link that leads out of the folder, and
  // a read-only one is left alone whoever runs the program.
  if (const FileError e = ReplaceDataFile(contentPath, ed.DataFolder, out); !e.ok()) {
    if (e.refusal != Refusal::None)
      Tell(ed, e.description + QLatin1Char('\r') + QStringLiteral("保存できません。"));
    else
      ShowError(ed, e.errnum, ShowPath(contentPath) + QStringLiteral(": ") + e.description);
    return false;
  }
  ed.history->SetContent(IdentifyBytes(contentPath, out));
  // The file holds the tables now: their journal ends at once, not when the report is closed (a
  // crash meanwhile would leave a journal of a file that is no more).
  MarkHistorySaved(ed);
  Tell(ed, QStringLiteral("保存しました。") + QLatin1Char('\r') + ShowPath(ed.DataFolder));
  return true;
}

}  // namespace kemo
