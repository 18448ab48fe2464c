#pragma once
// content.xml: the loader into the staging texts, the attribute reader and the writer.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <initializer_list>

class QDateTime;

namespace kemo {

struct Editor;

// How a reading of content.xml ended. Loaded: the staging holds the file. NotRead: a parse error, a
// missing or unreadable file; the reason was shown and the staging is as it was. Stopped: no parser
// or an error while reading (shown); what was staged up to the error stays.
enum class LoadResult { Loaded, NotRead, Stopped };

// Reads DataFolder/content.xml into SldXml/CurXml and the counts.
LoadResult ReadContentXml(Editor& ed);

// ReadContentXml as a Boolean: false only when the caller must stop (Stopped); a file that was not
// read (its reason shown, the staging as it was) gives true.
bool LoadContentXml(Editor& ed);

// The loader on a document already in memory; `shownName` names it in the parser's reason text.
// LoadContentXml reads the file and hands its bytes here.
bool LoadContentXmlData(Editor& ed, const QByteArray& bytes, const QString& shownName);

// The value of attribute `name` on the element written out in `nodeText`, with references
// resolved; "" when the element has no such attribute.
QString GetXmlAttr(const QString& nodeText, const QString& name);

// GetXmlAttr for several names in one pass over the text: values[k] receives the value of the
// k-th name ("" when absent). At most 32 names.
void GetXmlAttrs(const QString& nodeText, std::initializer_list<QStringView> names, QString* values);

// Writes the registered slides and points to DataFolder/content.xml from the template, after a
// time-stamped backup of the file on disk. Shows its own success or error message.
bool SaveContentXml(Editor& ed);

// The backup file's path for a save that begins at `now`.
QString BackupPathFor(const Editor& ed, const QDateTime& now);

// `wanted` when no file or folder has that name, else the first free name beside it with a counter
// before ".xml" ("...-0930-2.xml", "...-0930-3.xml", ...): a backup never replaces an earlier one.
// "" when none of the counters up to 9999 is free.
QString FreeBackupPath(const QString& wanted);

// A time as content.xml holds it: the shortest plain decimal (no exponent) with at most 15
// significant digits that reads back as the value ("12.5", "3", "0").
QString FormatXmlNumber(double value);

// Sets up libxml2 once for the whole process (encoding aliases, the refusing entity loader).
// The loader and writer call it themselves; benchmarks and fuzz targets may call it first.
void InitXmlLibrary();

}  // namespace kemo
