#include "document/editor.h"

#include "platform/paths.h"

namespace kemo {

QString Editor::TemplatePath() const { return JoinPath(JoinPath(ProgramFolder, QStringLiteral("temp")), QStringLiteral("_content.xml")); }
QString Editor::WorkFolder() const { return UserWorkFolder; }
QString Editor::NewWorkFolder() const {
  return UserWorkFolder.isEmpty() ? QString() : JoinPath(UserWorkFolder, QStringLiteral("new"));
}
QString Editor::DefaultPicture() const { return JoinPath(ProgramFolder, QStringLiteral("000.jpg")); }
QString Editor::ContentPath() const { return JoinPath(DataFolder, QStringLiteral("content.xml")); }

void SetContentChanged(Editor& ed, bool changed) {
  DocumentHistory& h = *ed.history;
  const bool asRecorded = h.TablesAsRecorded(ed);
  if (changed) {
    if (asRecorded)
      LoseSavedPoint(ed);
    else
      RecordChange(ed, ChangeName::Other);
  } else if (asRecorded) {
    MarkHistorySaved(ed);
  } else {
    ResetHistory(ed, true);
  }
}

MsgResult Ask(Editor& ed, const QString& text, MsgButtons buttons, MsgIcon icon) {
  if (!ed.svc.messages) {
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    return buttons == MsgButtons::YesNoCancel ? MsgResult::Cancel : MsgResult::No;
  }
  return ed.svc.messages->Show(text, buttons, icon);
}

void Tell(Editor& ed, const QString& text, MsgIcon icon) {
  if (ed.svc.messages) ed.svc.messages->Show(text, MsgButtons::Ok, icon);
}

}  // namespace kemo
