#pragma once
// content.xml: the loader into the staging texts, the attribute reader and the writer.
#include <QString>

namespace kemo {

struct Editor;

// Reads DataFolder/content.xml into SldXml/CurXml and the counts. False only when the caller must
// stop (no parser, an error while reading); a parse error or a missing file shows the parser's
// reason, leaves the staging as it was and returns true.
bool LoadContentXml(Editor& ed);

// The value of attribute `name` on the element written out in `nodeText`, with references
// resolved; "" when the element has no such attribute.
QString GetXmlAttr(const QString& nodeText, const QString& name);

// Writes the registered slides and points to DataFolder/content.xml from the template, after a
// time-stamped backup of the file on disk. Shows its own success or error message.
bool SaveContentXml(Editor& ed);

// The backup file's path for a save that begins at `now`.
QString BackupPathFor(const Editor& ed, const class QDateTime& now);

}  // namespace kemo
