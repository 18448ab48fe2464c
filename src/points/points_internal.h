#pragma once
// Helpers shared by the mouse-point procedures.
#include <QString>

#include "document/records.h"

namespace kemo {

struct Editor;
class RecordSet;
class MessageBoxes;
enum class MsgButtons;
enum class MsgIcon;
enum class MsgResult;

namespace points_detail {

inline const QString kIdColumn = QStringLiteral("ID");
inline const QString kRecNoColumn = QStringLiteral("記録No.");
inline const QString kTimeColumn = QStringLiteral("時間");
inline const QString kXColumn = QStringLiteral("X");
inline const QString kYColumn = QStringLiteral("Y");
inline const QString kMarkColumn = QStringLiteral("表示");

// The id column of the current row of a point record set; 0 without a current row.
int CurrentId(const RecordSet* rs, const QString& idColumn);
// Writes every column of the current row from a record.
void WritePointRow(RecordSet& rs, const QString& idColumn, const PointRecord& p);
// A message box through the editor's seam; the fallback answer when there is none.
// Clears a point slot (id 0, time 0, texts empty).
void ClearPoint(PointRecord& p);
bool IsRecordingState(const Editor& ed);

}  // namespace points_detail
}  // namespace kemo
