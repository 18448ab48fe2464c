// Reading content.xml on libxml2. The loader parses the whole file once, keeps the outer XML of every
// scene and p element, and lets go of the document; attributes are read later from those short texts.
// The writer is content_xml_write.cpp, the backups content_backup.cpp.
#include "document/content_xml.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <string>

#include "document/data_files.h"
#include "document/editor.h"
#include "document/content_xml_internal.h"
#include "document/history.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/services.h"

namespace kemo {

using namespace xmlio;

namespace {


// What no recorder writes, refused before the parser sees it. The format's elements carry three
// attributes; 3600 slides and 3600 points with long captions fit many times over in the size, and
// any number of records up to it is read (those past the tables' room load with a message).
// Beyond these, libxml2 would spend minutes (its duplicate-attribute check is quadratic in the
// attributes of one element) or gigabytes on a file made to hurt.
constexpr qint64 kMaxContentBytes = 16 * 1024 * 1024;
constexpr int kMaxAttributes = 16;
// Elements as many as a file of the smallest records (about 20 bytes each) up to the size holds:
// no file of records meets it, while empty elements by the million would cost a tree of gigabytes.
constexpr int kMaxElements = static_cast<int>(kMaxContentBytes / 16);

// Marks the parser contexts of this file, so that the entity loader refuses their external
// entities while other users of libxml2 in the process keep the default loader.
int gOwnContextMark = 0;
xmlExternalEntityLoader gDefaultLoader = nullptr;

xmlParserInputPtr RefusingEntityLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  if (ctxt != nullptr && ctxt->_private == &gOwnContextMark) return nullptr;
  return gDefaultLoader != nullptr ? gDefaultLoader(url, id, ctxt) : nullptr;
}






// What a parser error means, in the loader's words.
QString ParseErrorText(int code) {
  switch (code) {
    case XML_ERR_ENTITY_LOOP:
      return QStringLiteral("実体参照が循環しているか、展開すると大きくなりすぎるため、読み込めません。");
    case XML_ERR_UNDECLARED_ENTITY:
    case XML_WAR_UNDECLARED_ENTITY:
    case XML_ERR_ENTITY_IS_EXTERNAL:
    case XML_ERR_ENTITY_IS_PARAMETER:
    case XML_ERR_EXT_ENTITY_STANDALONE:
    case XML_ERR_ENTITY_PROCESSING:
    case XML_IO_LOAD_ERROR:
    case XML_IO_NETWORK_ATTEMPT:
      return QStringLiteral("外部の実体や定義されていない実体を参照しているため、読み込めません。");
    case XML_ERR_DOCUMENT_EMPTY: return QStringLiteral("ファイルが空です。");
    default: return QStringLiteral("XMLの形式が正しくないため、読み込めません。");
  }
}

// The loader's words for a file larger than it reads.
QString TooLargeText(const QString& shownName) {
  return shownName + QStringLiteral(": ファイルが大きすぎるため、読み込めません（%1MBまで）。").arg(kMaxContentBytes >> 20);
}


// Scans the markup of a document for what no recorder writes, before the parser sees it: an
// element with more attributes than kMaxAttributes, more elements than kMaxElements. Works on the
// bytes of any ASCII-compatible encoding (UTF-8, Shift_JIS, whose second bytes are never markup
// characters) and on UTF-16/32 by reading each code unit's low byte. "" when the document may be
// parsed, else the reason as "line: message".
class MarkupGuard {
 public:
  explicit MarkupGuard(const QByteArray& bytes) : d_(reinterpret_cast<const unsigned char*>(bytes.constData())) {
    n_ = bytes.size();
    DetectUnits();
    units_ = (n_ - offset_) / width_;
  }

  QString Check() {
    qsizetype i = 0;
    int elements = 0;
    while (i < units_) {
      i = Find('<', i);
      if (i >= units_) break;
      const qsizetype tag = i;
      const int c = At(i + 1);
      if (c == '!') {
        if (Matches(i + 2, "--"))
          i = FindText("-->", i + 4);
        else if (Matches(i + 2, "[CDATA["))
          i = FindText("]]>", i + 9);
        else
          i = SkipDeclaration(i + 2);
        continue;
      }
      if (c == '?') {
        i = FindText("?>", i + 2);
        continue;
      }
      if (c == '/') {
        i = Find('>', i + 2);
        continue;
      }
      if (++elements > kMaxElements)
        return Reason(tag, QStringLiteral("要素が多すぎます（%1個まで読み込めます）。").arg(kMaxElements));
      int attributes = 0;
      i = SkipStartTag(i + 1, &attributes);
      if (attributes > kMaxAttributes)
        return Reason(tag, QStringLiteral("要素%1の属性が多すぎます（%2個。%3個まで読み込めます）。")
                               .arg(NameAt(tag + 1), QString::number(attributes), QString::number(kMaxAttributes)));
    }
    return {};
  }

 private:
  void DetectUnits() {
    const auto b = [&](qsizetype k) { return k < n_ ? d_[k] : -1; };
    // Byte-order marks, then the "<?" of a declaration without one.
    if (b(0) == 0x00 && b(1) == 0x00 && b(2) == 0xFE && b(3) == 0xFF) { width_ = 4; low_ = 3; offset_ = 4; }
    else if (b(0) == 0xFF && b(1) == 0xFE && b(2) == 0x00 && b(3) == 0x00) { width_ = 4; low_ = 0; offset_ = 4; }
    else if (b(0) == 0xFE && b(1) == 0xFF) { width_ = 2; low_ = 1; offset_ = 2; }
    else if (b(0) == 0xFF && b(1) == 0xFE) { width_ = 2; low_ = 0; offset_ = 2; }
    else if (b(0) == 0x00 && b(1) == 0x00 && b(2) == 0x00 && b(3) == '<') { width_ = 4; low_ = 3; }
    else if (b(0) == '<' && b(1) == 0x00 && b(2) == 0x00 && b(3) == 0x00) { width_ = 4; low_ = 0; }
    else if (b(0) == 0x00 && b(1) == '<') { width_ = 2; low_ = 1; }
    else if (b(0) == '<' && b(1) == 0x00) { width_ = 2; low_ = 0; }
  }

  // The character of code unit k when it is ASCII, else -1 (also past the end).
  int At(qsizetype k) const {
    if (k < 0 || k >= units_) return -1;
    const qsizetype p = offset_ + k * width_;
    if (width_ == 1) return d_[p] < 0x80 ? d_[p] : -1;
    for (int j = 0; j < width_; ++j)
      if (j != low_ && d_[p + j] != 0) return -1;
    return d_[p + low_] < 0x80 ? d_[p + low_] : -1;
  }

  qsizetype Find(char c, qsizetype from) const {
    if (from >= units_) return units_;
    if (width_ == 1) {
      const void* hit = std::memchr(d_ + from, c, static_cast<size_t>(units_ - from));
      return hit ? static_cast<const unsigned char*>(hit) - d_ : units_;
    }
    for (qsizetype k = from; k < units_; ++k)
      if (At(k) == c) return k;
    return units_;
  }

  bool Matches(qsizetype at, const char* text) const {
    for (qsizetype k = 0; text[k] != 0; ++k)
      if (At(at + k) != text[k]) return false;
    return true;
  }

  // The unit after the end of `text` found from `from`, or the end.
  qsizetype FindText(const char* text, qsizetype from) const {
    for (qsizetype k = Find(text[0], from); k < units_; k = Find(text[0], k + 1))
      if (Matches(k, text)) return k + static_cast<qsizetype>(std::strlen(text));
    return units_;
  }

  // A <!DOCTYPE ...> or other declaration, with its internal subset and quoted texts.
  qsizetype SkipDeclaration(qsizetype k) const {
    int depth = 0;
    for (; k < units_; ++k) {
      const int c = At(k);
      if (c == '"' || c == '\'') {
        k = Find(static_cast<char>(c), k + 1);
      } else if (c == '<' && Matches(k, "<!--")) {
        k = FindText("-->", k + 4) - 1;
      } else if (c == '[' || c == '<') {
        ++depth;
      } else if (c == ']' || (c == '>' && depth > 0)) {
        --depth;
      } else if (c == '>') {
        return k + 1;
      }
    }
    return units_;
  }

  // The unit after a start tag's '>', counting its attributes (the '=' outside quoted values).
  qsizetype SkipStartTag(qsizetype k, int* attributes) const {
    for (; k < units_; ++k) {
      const int c = At(k);
      if (c == '>') return k + 1;
      if (c == '<') return k;  // malformed: the parser will say so
      if (c == '=') {
        ++*attributes;
      } else if (c == '"' || c == '\'') {
        k = Find(static_cast<char>(c), k + 1);
      }
    }
    return units_;
  }

  QString NameAt(qsizetype k) const {
    QString name;
    for (; k < units_ && name.size() < 40; ++k) {
      const int c = At(k);
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>') break;
      name += c >= 0 ? QChar(c) : QChar(u'?');
    }
    return name;
  }

  QString Reason(qsizetype unit, const QString& message) const {
    int line = 1;
    if (width_ == 1) {
      for (const unsigned char* p = d_; (p = static_cast<const unsigned char*>(std::memchr(p, '\n', d_ + unit - p)));
           ++p)
        ++line;
    } else {
      for (qsizetype k = 0; k < unit; ++k)
        if (At(k) == '\n') ++line;
    }
    return QString::number(line) + QStringLiteral(": ") + message;
  }

  const unsigned char* d_;
  qsizetype n_ = 0;
  qsizetype units_ = 0;
  int width_ = 1;
  int low_ = 0;
  qsizetype offset_ = 0;
};





// The outer XML of an element without children, namespaces or entity references, as xmlNodeDump
// writes it as far as reading its attributes back is concerned: name="value" with the five markup
// characters and the three white-space controls as references. False for any other node, which
// goes through xmlNodeDump. A full folder has 7200 such nodes; this is several times faster.
bool PlainElementText(xmlNodePtr node, std::string& out, QString* text) {
  if (node->type != XML_ELEMENT_NODE || node->children != nullptr || node->ns != nullptr || node->nsDef != nullptr)
    return false;
  out.clear();
  out += '<';
  out += reinterpret_cast<const char*>(node->name);
  for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
    if (a->ns != nullptr) return false;
    const xmlNodePtr value = a->children;
    if (value != nullptr && (value->type != XML_TEXT_NODE || value->next != nullptr)) return false;
    out += ' ';
    out += reinterpret_cast<const char*>(a->name);
    out += "=\"";
    const char* run = value != nullptr && value->content != nullptr ? reinterpret_cast<const char*>(value->content) : "";
    for (const char* c = run;; ++c) {
      const char* ref = nullptr;
      switch (*c) {
        case '<': ref = "&lt;"; break;
        case '>': ref = "&gt;"; break;
        case '&': ref = "&amp;"; break;
        case '"': ref = "&quot;"; break;
        case '\n': ref = "&#10;"; break;
        case '\r': ref = "&#13;"; break;
        case '\t': ref = "&#9;"; break;
        case '\0': break;
        default: continue;
      }
      out.append(run, c);
      if (ref == nullptr) break;
      out += ref;
      run = c + 1;
    }
    out += '"';
  }
  out += "/>";
  *text = QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
  return true;
}

// Stages the outer XML of each node the expression selects; false (with the message shown) when
// the selection or the writing out of a node fails.
bool StageNodes(Editor& ed, xmlDocPtr doc, xmlXPathContextPtr xpath, const char* expression, NodeTextArray& staging,
                int16_t& count, const QString& tooManyA, const QString& tooManyB) {
  xmlXPathObjectPtr found = xmlXPathEvalExpression(BAD_CAST expression, xpath);
  if (found == nullptr) {
    const xmlError* e = xmlGetLastError();
    ShowError(ed, e ? e->code : 0, e && e->message ? QString::fromUtf8(e->message).trimmed() : QStringLiteral("XPath"));
    return false;
  }
  const xmlNodeSetPtr nodes = found->nodesetval;
  const int n = nodes != nullptr ? nodes->nodeNr : 0;
  if (n > MaxRecords) {
    Tell(ed, QString::number(n) + tooManyA + QString::number(MaxRecords + 1) + tooManyB);
  }
  count = static_cast<int16_t>(std::min(n, MaxRecords));
  xmlBufferPtr buffer = xmlBufferCreate();
  bool ok = buffer != nullptr;
  const int staged = std::min(n, kSlots);
  std::string plain;
  plain.reserve(256);
  for (int i = 0; ok && i < staged; ++i) {
    if (PlainElementText(nodes->nodeTab[i], plain, &staging[i])) continue;
    xmlBufferEmpty(buffer);
    if (xmlNodeDump(buffer, doc, nodes->nodeTab[i], 0, 0) < 0) {
      ok = false;
      // Only what was written out counts.
      count = static_cast<int16_t>(std::min(i, MaxRecords));
      break;
    }
    staging[i] = QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
  }
  if (!ok) ShowError(ed, XML_ERR_NO_MEMORY, QStringLiteral("Out of memory while writing out a node"));
  if (buffer != nullptr) xmlBufferFree(buffer);
  xmlXPathFreeObject(found);
  return ok;
}





void AppendChar(QString& out, char32_t code) {
  if (code > 0xFFFF) {
    out += QChar::highSurrogate(code);
    out += QChar::lowSurrogate(code);
  } else {
    out += QChar(static_cast<char16_t>(code));
  }
}

int DigitValue(QChar d, int base) {
  const char16_t u = d.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (base == 16 && u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (base == 16 && u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// Resolves the predefined entities and character references; anything else stays as written.
QString ResolveReferences(QStringView v) {
  if (!v.contains(QLatin1Char('&'))) return v.toString();
  QString out;
  out.reserve(v.size());
  for (qsizetype i = 0; i < v.size(); ++i) {
    const QChar c = v[i];
    if (c != QLatin1Char('&')) {
      out += c;
      continue;
    }
    const qsizetype semi = v.indexOf(QLatin1Char(';'), i + 1);
    if (semi < 0 || semi - i > 40) {
      out += c;
      continue;
    }
    const QStringView ref = v.mid(i + 1, semi - i - 1);
    bool resolved = true;
    if (ref == u"amp") {
      out += QLatin1Char('&');
    } else if (ref == u"lt") {
      out += QLatin1Char('<');
    } else if (ref == u"gt") {
      out += QLatin1Char('>');
    } else if (ref == u"quot") {
      out += QLatin1Char('"');
    } else if (ref == u"apos") {
      out += QLatin1Char('\'');
    } else if (ref.size() >= 2 && ref[0] == QLatin1Char('#')) {
      const bool hex = ref[1] == QLatin1Char('x') || ref[1] == QLatin1Char('X');
      const QStringView digits = ref.mid(hex ? 2 : 1);
      bool ok = !digits.isEmpty();
      char32_t code = 0;
      for (QChar d : digits) {
        const int value = DigitValue(d, hex ? 16 : 10);
        if (value < 0 || code > 0x10FFFF) {
          ok = false;
          break;
        }
        code = code * (hex ? 16 : 10) + static_cast<char32_t>(value);
      }
      if (ok && IsXmlChar(code)) {
        AppendChar(out, code);
      } else {
        resolved = false;
      }
    } else {
      resolved = false;
    }
    if (resolved) {
      i = semi;
    } else {
      out += c;
    }
  }
  return out;
}

bool IsSpace(QChar c) {
  return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// The loader on a document in memory.
LoadResult LoadContentBytes(Editor& ed, const QByteArray& bytes, const QString& shownName) {
  if (bytes.size() > kMaxContentBytes) {
    Tell(ed, TooLargeText(shownName));
    return LoadResult::NotRead;
  }
  if (const QString refused = MarkupGuard(bytes).Check(); !refused.isEmpty()) {
    Tell(ed, shownName + QLatin1Char(':') + refused);
    return LoadResult::NotRead;
  }
  Parsed parsed = ParseBytes(bytes, shownName);
  if (parsed.noParser) {
    Tell(ed, QStringLiteral("XMLファイル読み込みエラー"));
    return LoadResult::Stopped;
  }
  if (!parsed.doc) {
    Tell(ed, parsed.reason);
    return LoadResult::NotRead;
  }
  xmlXPathContextPtr xpath = xmlXPathNewContext(parsed.doc.get());
  if (xpath == nullptr) {
    ShowError(ed, XML_ERR_NO_MEMORY, QStringLiteral("XPath context"));
    return LoadResult::Stopped;
  }
  ParseErrors errors;  // XPath errors would otherwise go to stderr
  ErrorScope scope(&errors);
  bool ok = StageNodes(ed, parsed.doc.get(), xpath, "//content/slide/scene", ed.SldXml, ed.SldCnt,
                       QStringLiteral("枚のスライドが登録されています。"),
                       QStringLiteral("枚目以降のスライドは読み込むことができません。"));
  if (ok) {
    ok = StageNodes(ed, parsed.doc.get(), xpath, "//content/cursor/p", ed.CurXml, ed.CurCnt,
                    QStringLiteral("個のマウスポイントが登録されています。"),
                    QStringLiteral("個目以降のマウスポイントは読み込むことができません。"));
  }
  xmlXPathFreeContext(xpath);
  return ok ? LoadResult::Loaded : LoadResult::Stopped;
}

}  // namespace

namespace xmlio {

// The message that reports every unexpected failure of the reader and the writer.
const QString kReadErrorText = QStringLiteral("content.xml の読み込み時にエラーが発生しました。");

void CollectError(void* data, xmlErrorPtr error) {
  auto* errors = static_cast<ParseErrors*>(data);
  if (error == nullptr || errors->any || error->level < XML_ERR_ERROR) return;
  errors->any = true;
  errors->code = error->code;
  errors->line = error->line;
  errors->message = QString::fromUtf8(error->message ? error->message : "").trimmed();
}

// Parses a document from memory: no network, no external entities or DTD, no entity substitution
// (libxml2 then refuses entity expansion beyond its default limits as a parse error). The declared
// encoding is honoured.
Parsed ParseBytes(const QByteArray& bytes, const QString& shownName) {
  InitXmlLibrary();
  Parsed result;
  if (bytes.size() > INT_MAX) {
    result.reason = TooLargeText(shownName);
    return result;
  }
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (ctxt == nullptr) {
    result.noParser = true;
    return result;
  }
  ctxt->_private = &gOwnContextMark;
  ParseErrors errors;
  {
    ErrorScope scope(&errors);
    result.doc.reset(xmlCtxtReadMemory(ctxt, bytes.constData(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_COMPACT));
  }
  if (result.doc && (!ctxt->wellFormed || xmlDocGetRootElement(result.doc.get()) == nullptr)) result.doc.reset();
  if (!result.doc) {
    if (errors.any) {
      // One arg() call, so that a "%1" in a folder's name is not taken for a place holder.
      result.reason = QStringLiteral("%1:%2: %3（%4）")
                          .arg(shownName, QString::number(errors.line), ParseErrorText(errors.code), errors.message);
    } else {
      result.reason = shownName + QStringLiteral(": ") + ParseErrorText(XML_ERR_DOCUMENT_END);
    }
  }
  xmlFreeParserCtxt(ctxt);
  return result;
}

bool ParserAvailable() {
  InitXmlLibrary();
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (ctxt == nullptr) return false;
  xmlFreeParserCtxt(ctxt);
  return true;
}

void ShowError(Editor& ed, int number, const QString& description) {
  Tell(ed, kReadErrorText + QString::number(number) + QLatin1Char(':') + description);
}

// Reads a whole file; on failure gives the platform's reason with the file's shown path.
bool ReadWholeFile(const QString& path, QByteArray* bytes, int* code, QString* reason) {
  QFile f(path);
  if (QFileInfo(path).isDir()) {
    *code = QFileDevice::OpenError;
    *reason = ShowPath(path) + QStringLiteral(": Is a directory");
    return false;
  }
  if (!f.open(QIODevice::ReadOnly)) {
    *code = f.error();
    *reason = ShowPath(path) + QStringLiteral(": ") + f.errorString();
    return false;
  }
  if (f.size() > INT_MAX) {  // more than the parser takes in one piece
    *code = QFileDevice::ReadError;
    *reason = ShowPath(path) + QStringLiteral(": File too large");
    return false;
  }
  *bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) {
    *code = f.error();
    *reason = ShowPath(path) + QStringLiteral(": ") + f.errorString();
    return false;
  }
  return true;
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace xmlio

void InitXmlLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    // Files declared Shift_JIS written on Japanese Windows hold CP932 characters (circled digits,
    // the full-width tilde, (株)); iconv's CP932 reads them, and maps 0x5C to the backslash the
    // writer meant.
    for (const char* alias : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "X-SJIS", "MS_KANJI", "CSSHIFTJIS"}) {
      xmlAddEncodingAlias("CP932", alias);
    }
    gDefaultLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(RefusingEntityLoader);
  });
}

LoadResult ReadContentXml(Editor& ed) {
  if (!ParserAvailable()) {
    Tell(ed, QStringLiteral("XMLファイル読み込みエラー"));
    return LoadResult::Stopped;
  }
  const QString path = ed.ContentPath();
  QByteArray bytes;
  if (ed.DataFolder.isEmpty()) {
    Tell(ed, ShowPath(path) + QStringLiteral(": No such file or directory"));
    return LoadResult::NotRead;
  }
  // A file that cannot be read is the parser's failure to load it: the reason, nothing changed. A
  // FIFO, a device or a link out of the folder is not read at all; a file far larger than any
  // recorder writes is not read into memory.
  const FileError e = ReadDataFile(path, ed.DataFolder, &bytes, kMaxContentBytes);
  if (!e.ok()) {
    if (e.errnum == EFBIG)
      Tell(ed, TooLargeText(ShowPath(path)));
    else
      Tell(ed, e.refusal != Refusal::None ? e.description : ShowPath(path) + QStringLiteral(": ") + e.description);
    return LoadResult::NotRead;
  }
  // What a later save checks the file against: another program may change it meanwhile.
  ed.history->SetContent(IdentifyBytes(path, bytes));
  return LoadContentBytes(ed, bytes, ShowPath(path));
}

bool LoadContentXml(Editor& ed) { return ReadContentXml(ed) != LoadResult::Stopped; }

bool LoadContentXmlData(Editor& ed, const QByteArray& bytes, const QString& shownName) {
  return LoadContentBytes(ed, bytes, shownName) != LoadResult::Stopped;
}

namespace {

// Visits the attributes of the element written out in the text, in order, with each raw value
// (references not yet resolved); the visitor returns true to stop. A plain scan over the
// characters with no allocation: it runs for every attribute of every record when a folder opens.
template <typename Visitor>
void ScanAttributes(const QString& nodeText, Visitor&& visit) {
  const QChar* t = nodeText.constData();
  const qsizetype n = nodeText.size();
  qsizetype i = 0;
  while (i < n && IsSpace(t[i])) ++i;
  if (i >= n || t[i] != QLatin1Char('<')) return;
  ++i;
  // The element's name.
  while (i < n && !IsSpace(t[i]) && t[i] != QLatin1Char('/') && t[i] != QLatin1Char('>')) ++i;
  while (i < n) {
    while (i < n && IsSpace(t[i])) ++i;
    if (i >= n || t[i] == QLatin1Char('/') || t[i] == QLatin1Char('>')) return;
    const qsizetype nameStart = i;
    while (i < n && !IsSpace(t[i]) && t[i] != QLatin1Char('=') && t[i] != QLatin1Char('/') &&
           t[i] != QLatin1Char('>'))
      ++i;
    const qsizetype nameSize = i - nameStart;
    while (i < n && IsSpace(t[i])) ++i;
    if (i >= n || t[i] != QLatin1Char('=')) {
      // A name without a value is not XML; step over it.
      if (i == nameStart) ++i;
      continue;
    }
    ++i;
    while (i < n && IsSpace(t[i])) ++i;
    if (i >= n || (t[i] != QLatin1Char('"') && t[i] != QLatin1Char('\''))) return;
    const QChar quote = t[i];
    const qsizetype valueStart = ++i;
    qsizetype valueEnd = valueStart;
    while (valueEnd < n && t[valueEnd] != quote) ++valueEnd;
    if (valueEnd >= n) return;
    if (visit(QStringView(t + nameStart, nameSize), QStringView(t + valueStart, valueEnd - valueStart))) return;
    i = valueEnd + 1;
  }
}

bool SameName(QStringView a, QStringView b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

QString GetXmlAttr(const QString& nodeText, const QString& name) {
  QString value;
  ScanAttributes(nodeText, [&](QStringView attrName, QStringView raw) {
    if (!SameName(attrName, name)) return false;
    value = ResolveReferences(raw);
    return true;
  });
  return value;
}

void GetXmlAttrs(const QString& nodeText, std::initializer_list<QStringView> names, QString* values) {
  const int count = std::min<int>(static_cast<int>(names.size()), 32);
  for (int k = 0; k < count; ++k) values[k].clear();
  const uint32_t all = count == 32 ? ~uint32_t{0} : (uint32_t{1} << count) - 1;
  uint32_t found = 0;
  ScanAttributes(nodeText, [&](QStringView attrName, QStringView raw) {
    int k = 0;
    for (QStringView wanted : names) {
      if (k >= count) break;
      // The first attribute of a name counts, as for GetXmlAttr.
      if (!(found & (uint32_t{1} << k)) && SameName(attrName, wanted)) {
        values[k] = ResolveReferences(raw);
        found |= uint32_t{1} << k;
        break;
      }
      ++k;
    }
    return found == all;
  });
}





}  // namespace kemo
