#pragma once
// What the reader, the writer and the backups of content.xml share: libxml2's errors caught per call,
// the parse of a document in memory, whole-file reads and the reader's error message.
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QByteArray>
#include <QString>
#include <memory>

#include "document/data_files.h"

namespace kemo {

struct Editor;

namespace xmlio {

// The first error the parser raises (warnings do not count): the reason text shown to the user.
struct ParseErrors {
  bool any = false;
  int code = 0;
  int line = 0;
  QString message;
};

void CollectError(void* data, xmlErrorPtr error);

// Routes libxml2's errors into a ParseErrors for the lifetime of the scope (and keeps them off
// stderr), then restores whatever handler was there.
class ErrorScope {
 public:
  explicit ErrorScope(ParseErrors* errors) : prevFn_(xmlStructuredError), prevCtx_(xmlStructuredErrorContext) {
    xmlSetStructuredErrorFunc(errors, CollectError);
  }
  ~ErrorScope() { xmlSetStructuredErrorFunc(prevCtx_, prevFn_); }
  ErrorScope(const ErrorScope&) = delete;
  ErrorScope& operator=(const ErrorScope&) = delete;

 private:
  xmlStructuredErrorFunc prevFn_;
  void* prevCtx_;
};

struct DocDeleter {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

struct Parsed {
  DocPtr doc;
  bool noParser = false;
  QString reason;  // set when doc is null and a parser was there
};

// Parses a document from memory: no network, no external entities or DTD, no entity substitution. The
// declared encoding is honoured; a refusal's reason names the file as shownName.
Parsed ParseBytes(const QByteArray& bytes, const QString& shownName);
// False when libxml2 cannot make a parser at all.
bool ParserAvailable();
// The reader's and the writer's message for an unexpected failure, with its number and description.
void ShowError(Editor& ed, int number, const QString& description);
// Reads a whole file; on failure gives the platform's reason with the file's shown path.
bool ReadWholeFile(const QString& path, QByteArray* bytes, int* code, QString* reason);
// A character XML 1.0 can carry.
bool IsXmlChar(char32_t c);
// Keeps a byte copy of content.xml under the first free backup name from `wanted` on (a new file,
// never written through a planted link or over an earlier backup).
FileError WriteBackup(const QString& contentPath, const QString& folder, const QString& wanted);

}  // namespace xmlio
}  // namespace kemo
