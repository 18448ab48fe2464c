#include "document/folder_commands.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>

#include "document/content_xml.h"
#include "document/data_files.h"
#include "document/editor.h"
#include "document/file_copy.h"
#include "document/history.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/file_dialogs.h"
#include "platform/media_player.h"
#include "platform/folder_check.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/record_set.h"

namespace kemo {

namespace {

const QString kContentXml = QStringLiteral("content.xml");
const QString kVideoFlv = QStringLiteral("Video.flv");
const QString kVideoAvi = QStringLiteral("Video.avi");
const QString kConvertHint = QStringLiteral("ファイルメニューより、FSL⇒AVI変換を実行してください。");
const QString kSaveFolderTitle = QStringLiteral("保存するフォルダを指定してください");

bool IsFile(const QString& path) { return QFileInfo(path).isFile(); }

QString PickerStart(const Editor& ed) { return FolderPickerStart(ed); }

// The question new and open ask while the tables hold unsaved changes.
MsgResult AskSaveChanges(Editor& ed) {
  return Ask(ed, ShowPath(ed.ContentPath()) + QStringLiteral("は変更されています。保存しますか？"),
             MsgButtons::YesNoCancel);
}

// True when content.xml may be written: always, but over a file that could not be read (the
// tables are not that file) only when the user says so.
bool MayReplaceContent(Editor& ed) {
  const QString unread = ed.document.UnreadContentFolder;
  if (unread.isEmpty() || !SamePath(unread, ed.DataFolder) || !IsFile(ed.ContentPath())) return true;
  return Ask(ed,
             ShowPath(ed.ContentPath()) + QStringLiteral("は読み込めなかったファイルです。") + QLatin1Char('\r') +
                 QStringLiteral("上書きしてもよろしいですか？"),
             MsgButtons::YesNo) == MsgResult::Yes;
}

enum class SaveOutcome { Saved, NotSaved, Failed };

// Writes content.xml and keeps ContentChanged true to its meaning: only a save that went through
// makes the tables equal to the file; after a failed one they still differ from what is on disk
// (or there is no file at all), so the changes must not be reported as saved.
SaveOutcome SaveAndMark(Editor& ed) {
  if (!MayReplaceContent(ed)) return SaveOutcome::NotSaved;
  const bool saved = SaveContentXml(ed);
  if (saved) {
    SetContentChanged(ed, false);
    ed.document.UnreadContentFolder.clear();
  } else if (!IsFile(ed.ContentPath())) {
    SetContentChanged(ed, true);
  }
  return saved ? SaveOutcome::Saved : SaveOutcome::Failed;
}

// Save into a folder the user picks: the data folder's files are copied there, it becomes the data
// folder, and content.xml is written. Anything short of a complete save (picker cancelled, a program
// folder, the user declining to empty the chosen folder or to replace an unread file, a copy or the
// writer failing) leaves the content in the folder it lived in.
SaveOutcome SaveIntoChosenFolder(Editor& ed) {
  const QString chosen = BrowseForFolder(ed, PickerStart(ed), kSaveFolderTitle);
  if (chosen.isEmpty()) return SaveOutcome::NotSaved;
  if (IsProgramFolder(ed, chosen)) {
    // The program empties or rewrites these folders by itself (new content, conversion), so a data
    // folder saved there would be lost without a question.
    Tell(ed, ShowPath(chosen) + QStringLiteral("はプログラムのフォルダのため、保存先に指定できません。"),
         MsgIcon::Critical);
    return SaveOutcome::NotSaved;
  }
  // The copy carries content.xml along: it must still be the file the tables came from.
  if (!ConfirmReplaceContent(ed)) return SaveOutcome::Failed;
  const QString previous = ed.DataFolder;
  switch (CopyDataFolder(ed, previous, chosen)) {
    case CopyResult::Declined: return SaveOutcome::NotSaved;
    case CopyResult::Failed: return SaveOutcome::Failed;
    case CopyResult::Copied: break;
  }
  ed.DataFolder = chosen;
  const SaveOutcome outcome = SaveAndMark(ed);
  if (outcome != SaveOutcome::Saved) ed.DataFolder = previous;
  return outcome;
}

// New and Open drop the recorded run and the slide edits: they ask first; true when there is
// nothing to drop or the user agrees.
bool MayDropUnregisteredWork(Editor& ed) {
  const QString work = UnregisteredWorkText(ed);
  return work.isEmpty() ||
         Ask(ed, work + QStringLiteral("登録していないデータは削除されます。よろしいですか？"), MsgButtons::YesNo) ==
             MsgResult::Yes;
}

bool IsNewWorkFolder(const Editor& ed, const QString& folder) {
  return !folder.isEmpty() && SamePath(folder, ed.NewWorkFolder());
}

// The open-file dialog for the FLV video; its start folder is fixed on first use.
QString PickFlvFile(Editor& ed) {
  if (ed.document.LastFlvFolder.isEmpty()) ed.document.LastFlvFolder = DriveRootOf(ed.ProgramFolder);
  return OpenFileDialog(ed, QStringLiteral("*.flv (*.flv)"), ed.document.LastFlvFolder,
                        QStringLiteral("FLVファイルを指定してください"));
}

// Copies the chosen FLV file as DataFolder/Video.flv; its name, or "" when the user declines to
// overwrite or the copy fails (reported).
QString PlaceFlvFile(Editor& ed, const QString& path) {
  const QString name = FileNameOfPath(path);
  const QString target = JoinPath(ed.DataFolder, kVideoFlv);
  if (QFileInfo::exists(target) &&
      Ask(ed, QStringLiteral("同名のファイルが存在します。上書きしてもよろしいですか？"), MsgButtons::YesNo) !=
          MsgResult::Yes)
    return {};
  const FileError e = CopyOneFile(path, target, true);
  if (e.ok()) return name;
  if (e.refusal != Refusal::None) {
    Tell(ed, e.description, MsgIcon::Critical);
    return {};
  }
  QString text = e.description + QLatin1Char('\r');
  if (e.number == FileErr::Denied)
    text += QStringLiteral("　ファイルが開いているか、同じファイルをコピーしようとしています。");
  else if (e.number == FileErr::PathAccess)
    text += QStringLiteral("　ファイルが読み取り専用になっています。");
  else
    text += QStringLiteral("　エラーコード：") + QString::number(e.number);
  Tell(ed, text);
  return {};
}

// The image names of the slide table, in row order.
QStringList SlideImageNames(const Editor& ed) {
  QStringList names;
  const RecordSet* rs = ed.RS_SLD;
  const int column = rs ? rs->ColumnIndex(SlideColumn::Image) : -1;
  if (rs && rs->IsOpen() && column >= 0) {
    for (int row = 0; row < rs->RecordCount(); ++row) names << rs->FieldAt(row, column).toString();
  } else {
    for (int i = 0; i < ed.SldCnt && i < MaxRecords; ++i) names << ed.Sld[i].image;
  }
  return names;
}

QString WithoutTrailingSeparators(QString path) {
  while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))) &&
         !(path.size() == 3 && path.at(1) == QLatin1Char(':')))
    path.chop(1);
  return path;
}

QString UpToNul(const QString& text) {
  const qsizetype nul = text.indexOf(QChar(0));
  return nul < 0 ? text : text.left(nul);
}

}  // namespace

QString UnregisteredWorkText(const Editor& ed) {
  QString w;
  if (ed.recCurCnt > 0) w += QStringLiteral("未登録のマウスポイント記録データがあります。\r");
  if (ed.views.HasUnregisteredSlideEdit && ed.views.HasUnregisteredSlideEdit(ed)) w += QStringLiteral("未登録のスライド編集データがあります。\r");
  return w;
}

void RebuildAfterLoad(Editor& ed) {
  BuildRecords(ed);
  BuildSlideTable(ed);
  BuildPointTable(ed);
  if (ed.views.AfterLoad) ed.views.AfterLoad(ed);
}

bool IsProgramFolder(const Editor& ed, const QString& folder) {
  if (folder.isEmpty()) return false;
  for (const QString& own : {ed.ProgramFolder, ed.WorkFolder(), ed.NewWorkFolder(), ed.UserWorkBase}) {
    if (!own.isEmpty() && SamePath(folder, own)) return true;
  }
  // Every editor's work folder lies under the work base and is removed when its editor ends.
  if (!ed.UserWorkBase.isEmpty()) {
    const QString base = QFileInfo(ed.UserWorkBase).canonicalFilePath();
    const QString inside = QFileInfo(folder).canonicalFilePath();
    if (!base.isEmpty() && inside.startsWith(base + QLatin1Char('/'))) return true;
  }
  return false;
}

void OnFileNew(Editor& ed) {
  if (!MayDropUnregisteredWork(ed)) return;
  if (ed.ContentChanged) {
    switch (AskSaveChanges(ed)) {
      case MsgResult::Yes:
        // The user asked to keep the changes: a save that did not happen, for whatever reason,
        // stops the command as Cancel does.
        if (SaveIntoChosenFolder(ed) != SaveOutcome::Saved) return;
        break;
      case MsgResult::No: break;
      default: return;
    }
  }
  const QString previous = ed.DataFolder;
  const QString work = ed.NewWorkFolder();
  if (work.isEmpty() || !QDir().mkpath(work)) {
    // Without its working folder New has nowhere to put the video and the content.
    Tell(ed, (work.isEmpty() ? QStringLiteral("作業フォルダ") : ShowPath(work)) + QStringLiteral("を作成できません。"),
         MsgIcon::Critical);
    return;
  }

  // The video is chosen before the working folder is emptied: a cancelled choice must not take
  // away the files of the content that is still open (which may live in the working folder).
  const QString flv = PickFlvFile(ed);
  if (flv.isEmpty()) {
    ed.DataFolder = previous;
    RefreshModeDisplay(ed);
    return;
  }
  // A FIFO would block the copy for ever, a device would never end: refused before the working
  // folder is emptied, so that nothing is lost for it.
  if (const Refusal refusal = CheckDataFile(flv); refusal != Refusal::None) {
    Tell(ed, RefusalText(flv, refusal), MsgIcon::Critical);
    ed.DataFolder = previous;
    RefreshModeDisplay(ed);
    return;
  }
  ed.DataFolder = work;
  DeleteFilesIn(work, flv);  // a video chosen from the working folder itself is kept for the copy
  if (PlaceFlvFile(ed, flv).isEmpty()) {
    ed.DataFolder = previous;
    RefreshModeDisplay(ed);
    return;
  }
  CopyOneFile(ed.TemplatePath(), ed.ContentPath(), true);  // a failure leaves no content.xml; the rebuild still runs
  Tell(ed, kConvertHint, MsgIcon::Information);
  ClearAllTables(ed);
  RebuildAfterLoad(ed);
  if (ed.views.DiscardRecordedRun) ed.views.DiscardRecordedRun(ed);
  ed.document.UnreadContentFolder.clear();
  // New content is unsaved until it is saved into a folder of its own.
  ResetHistory(ed, false);
  ed.EditorState = State::NoVideo;
  RefreshModeDisplay(ed);
}

namespace {

// フォルダ指定 with the folder chosen in the picker, or the given one when `given` is set.
bool OpenDataFolder(Editor& ed, const QString* given) {
  if (!MayDropUnregisteredWork(ed)) return false;
  if (ed.ContentChanged) {
    switch (AskSaveChanges(ed)) {
      case MsgResult::Yes:
        // New content has no folder of its own yet: saving it into the working folder would keep
        // it only until the next New empties that folder, so it is saved where the user says. A
        // save that did not happen stops the command as Cancel does.
        if ((IsNewWorkFolder(ed, ed.DataFolder) ? SaveIntoChosenFolder(ed) : SaveAndMark(ed)) != SaveOutcome::Saved)
          return false;
        break;
      case MsgResult::No: break;
      default: return false;
    }
  }

  const QString chosen =
      given ? WithoutTrailingSeparators(*given)
            : BrowseForFolder(ed, PickerStart(ed), QStringLiteral("KemoRecorderのデータフォルダを指定してください"));
  // Another running editor has unsaved changes of this folder: opened only when the user says so.
  if (!chosen.isEmpty() && !ConfirmOpenBesideRunningEditor(ed, chosen)) return false;
  QString missing;
  // A program folder is no data folder: the program writes and deletes its files by itself.
  // New content restored at start comes back in this editor's work folder.
  const bool restoringNew = IsNewWorkFolder(ed, chosen) && !ed.history->AgreedJournal().isEmpty();
  const bool programFolder = IsProgramFolder(ed, chosen) && !restoringNew;
  if (chosen.isEmpty() || programFolder) {
    ed.EditorState = State::NoFolder;
    if (programFolder) ed.DataFolder.clear();
  } else {
    if (!IsFile(JoinPath(chosen, kContentXml))) missing += QStringLiteral("content.xml ");
    if (!IsFile(JoinPath(chosen, kVideoFlv))) missing += QStringLiteral("Video.flv ");
    if (!missing.isEmpty()) {
      ed.EditorState = State::NoFolder;
      ed.DataFolder.clear();
    } else {
      ed.DataFolder = chosen;
      const QString avi = JoinPath(ed.DataFolder, kVideoAvi);
      // Only an AVI file reaches the player: a playlist named Video.avi would have it fetch the
      // addresses it names as soon as the folder opens.
      const bool present = IsFile(avi) || QFileInfo(avi).isSymLink() || QFileInfo::exists(avi);
      const QString notVideo = present ? VideoRefusal(avi, ed.DataFolder, VideoKind::Avi) : QString();
      if (!notVideo.isEmpty()) Tell(ed, notVideo, MsgIcon::Critical);
      if (present && notVideo.isEmpty()) {
        if (ed.svc.player) ed.svc.player->SetURL(avi);
        if (ed.ui.mnuFileConv) ed.ui.mnuFileConv->setEnabled(false);
        ed.EditorState = State::Idle;
        if (ed.views.VideoOpened) ed.views.VideoOpened(ed);
      } else {
        if (ed.ui.WMPVstate) ed.ui.WMPVstate->setText(QStringLiteral("再生データ未設定"));
        if (ed.ui.mnuFileConv) ed.ui.mnuFileConv->setEnabled(true);
        Tell(ed, kConvertHint, MsgIcon::Information);
        if (ed.svc.player) ed.svc.player->SetURL(QString());
        ed.EditorState = State::NoVideo;
      }
    }
  }

  ClearAllTables(ed);
  ed.document.UnreadContentFolder.clear();
  if (ed.EditorState == State::NoFolder) {
    const QString ask = QStringLiteral("Kemo.Recorderのデータフォルダを指定してください。");
    if (programFolder)
      Tell(ed,
           ShowPath(chosen) + QStringLiteral("はプログラムのフォルダのため、データフォルダとして開くことはできません。") +
               QLatin1Char('\r') + ask,
           MsgIcon::Critical);
    else if (missing.isEmpty())
      Tell(ed, ask, MsgIcon::Critical);
    else
      Tell(ed, QStringLiteral("指定したフォルダには、") + missing + QStringLiteral("が存在しません") + QLatin1Char('\r') + ask,
           MsgIcon::Critical);
  } else if (ReadContentXml(ed) != LoadResult::Loaded) {
    // The tables are not the file: saving over it asks first.
    ed.document.UnreadContentFolder = ed.DataFolder;
  }
  RebuildAfterLoad(ed);
  if (ed.views.DiscardRecordedRun) ed.views.DiscardRecordedRun(ed);
  RefreshModeDisplay(ed);
  ResetHistory(ed, true);
  const bool opened = ed.EditorState != State::NoFolder && !ed.DataFolder.isEmpty();
  if (opened && !IsNewWorkFolder(ed, ed.DataFolder)) ed.document.LastDataFolder = ed.DataFolder;
  // Work left unsaved in this folder by an editor that did not end normally.
  if (ed.EditorState != State::NoFolder) OfferRecovery(ed);
  return opened;
}

}  // namespace

bool OnFileOpen(Editor& ed) { return OpenDataFolder(ed, nullptr); }

bool OpenGivenFolder(Editor& ed, const QString& folder) {
  // A folder given from outside is taken as an absolute path, as the picker would give it.
  const QString absolute = folder.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(folder));
  return OpenDataFolder(ed, &absolute);
}

QString FolderPickerStart(const Editor& ed) {
  const QString last = ed.document.LastDataFolder;
  if (!last.isEmpty()) {
    // The last folder may lie on a share that no longer answers: the window waits for it half a
    // second at most, and the picker then starts at home.
    const QString parent = QDir::cleanPath(QFileInfo(last).absolutePath());
    if (IsFolderWithin(parent, 500)) return parent;
  }
  return QDir::homePath();
}

void OnFileSave(Editor& ed) {
  if (ed.DataFolder.isEmpty()) return;
  if (Ask(ed, QStringLiteral("上書き保存します。") + QLatin1Char('\r') + QStringLiteral("よろしいですか？"),
          MsgButtons::YesNo) != MsgResult::Yes)
    return;
  CopyDataFolder(ed, ed.DataFolder, ed.DataFolder);  // one folder: nothing to copy
  SaveAndMark(ed);
}

void OnFileSaveAs(Editor& ed) {
  const QString before = ed.DataFolder;
  SaveIntoChosenFolder(ed);
  // The caption and 上書き保存 follow the folder the content now lives in.
  if (ed.DataFolder != before) RefreshModeDisplay(ed);
}

void OnFileReset(Editor& ed) {
  // The question names the work that is not registered yet, as the exit question does.
  if (Ask(ed,
          UnregisteredWorkText(ed) + QStringLiteral("登録していないマウスポイント記録やスライド編集はすべて削除されます。") +
              QLatin1Char('\r') + QStringLiteral("よろしいですか？"),
          MsgButtons::YesNo) != MsgResult::Yes)
    return;
  // A file that was not read (or only in part) leaves the tables exactly as they were: the
  // staging still holds an earlier file, which is not what the tables show.
  const int16_t sldCnt = ed.SldCnt, curCnt = ed.CurCnt;
  if (ReadContentXml(ed) != LoadResult::Loaded) {
    ed.SldCnt = sldCnt;  // a reading stopped half-way has counted what it staged
    ed.CurCnt = curCnt;
    ed.document.UnreadContentFolder = ed.DataFolder;
    return;
  }
  ed.document.UnreadContentFolder.clear();
  // The reloaded tables are the file's: records past the loaded counts, left from the longer
  // tables before, are blanked rather than kept beyond the end.
  ed.Sld.ClearRange(std::max<int>(ed.SldCnt, 0), MaxRecords);
  ed.Cur.ClearRange(std::max<int>(ed.CurCnt, 0), MaxRecords);
  RebuildAfterLoad(ed);
  // The question promised that unregistered recordings and slide edits go: the recorded run is
  // emptied and the slide-edit working copy starts again from the reloaded slides.
  if (ed.views.DiscardRecordedRun) ed.views.DiscardRecordedRun(ed);
  ed.SldEdtCnt = ed.SldCnt;
  BuildSlideEditTable(ed, true);
  // The tables are the file's again; their history starts anew.
  ResetHistory(ed, true);
}

CopyResult CopyDataFolder(Editor& ed, const QString& source, const QString& destination) {
  if (source.isEmpty() || destination.isEmpty()) return CopyResult::Copied;
  // One folder under two spellings (a trailing separator, a link, "..", a bind mount, a
  // case-insensitive stick typed in another case) is decided by device and inode: emptying the
  // destination would delete the very files about to be copied.
  if (source == destination || SameFile(source, destination) || SamePath(source, destination))
    return CopyResult::Copied;

  const QStringList present = FilesIn(destination);
  if (!present.isEmpty()) {
    const QString question = ShowPath(destination) + QStringLiteral("内の") + QString::number(present.size()) +
                             QStringLiteral("個のファイルを削除します。よろしいですか？");
    if (Ask(ed, question, MsgButtons::YesNo) != MsgResult::Yes) return CopyResult::Declined;
  }
  RemoveLeftovers(destination);

  // content.xml goes last: a folder holding it is a data folder, so it only comes once the video and
  // the pictures are all there.
  QStringList names = {kVideoFlv, kVideoAvi};
  for (const QString& image : SlideImageNames(ed)) {
    // Only plain names stand for files of the data folder; anything else could reach outside it.
    if (IsPlainFileName(image) && !names.contains(image) && image != kContentXml) names << image;
  }
  names << kContentXml;

  // Copied first, deleted after: each copy replaces a file of the same name by a rename, so what
  // the destination held is removed only once every copy is in place, and a file that is one of
  // the source's (a hard link, an alias the checks above did not see) is never deleted.
  QStringList copied;
  QStringList refused;
  QList<FileId> sourceIds;
  for (const QString& name : names) {
    const QString from = JoinPath(source, name);
    const QString to = JoinPath(destination, name);
    FileId id;
    if (IdOf(from, &id)) sourceIds << id;
    const FileError e = CopyDataFile(from, source, to, true);
    if (e.ok()) {
      copied << to;
      continue;
    }
    if (e.number == FileErr::NotFound) continue;  // a file the folder does not have is skipped
    if (e.refusal != Refusal::None) {
      // A FIFO, a device or a link out of the folder is not carried into the new folder.
      refused << e.description;
      continue;
    }
    for (const QString& path : copied) {
      FileId copiedId;
      if (!(IdOf(path, &copiedId) && sourceIds.contains(copiedId))) DeleteDataFile(path);
    }
    Tell(ed, ShowPath(from) + QStringLiteral("をコピーできませんでした。") + QLatin1Char('\r') + e.description,
         MsgIcon::Critical);
    return CopyResult::Failed;
  }
  QStringList copiedNames;
  for (const QString& path : copied) copiedNames << QFileInfo(path).fileName();
  for (const QString& path : present) {
    if (copiedNames.contains(QFileInfo(path).fileName())) continue;
    FileId id;
    if (IdOf(path, &id) && sourceIds.contains(id)) continue;
    DeleteDataFile(path);
  }

  if (!refused.isEmpty()) {
    constexpr int kListed = 10;
    QString text = refused.mid(0, kListed).join(QLatin1Char('\r'));
    if (refused.size() > kListed)
      text += QLatin1Char('\r') + QStringLiteral("ほか%1個のファイル").arg(refused.size() - kListed);
    Tell(ed, text + QLatin1Char('\r') + QStringLiteral("これらのファイルはコピーしませんでした。"));
  }
  return CopyResult::Copied;
}

QString ImportFlvFile(Editor& ed) {
  const QString path = PickFlvFile(ed);
  if (path.isEmpty()) return {};
  return PlaceFlvFile(ed, path);
}

QString BrowseForFolder(Editor& ed, const QString& start, const QString& title) {
  if (!ed.svc.dialogs) return {};
  return WithoutTrailingSeparators(UpToNul(ed.svc.dialogs->BrowseForFolder(start, title)));
}

QString OpenFileDialog(Editor& ed, const QString& filter, const QString& start, const QString& title) {
  if (!ed.svc.dialogs) return {};
  return UpToNul(ed.svc.dialogs->OpenFile(filter, start, title));
}

bool CopyFileChecked(Editor& ed, const QString& source, const QString& destination, bool overwrite) {
  const FileError e = CopyOneFile(source, destination, overwrite);
  if (e.ok()) return true;
  if (e.number == FileErr::Denied)
    Tell(ed, e.description + QLatin1Char('\r') + QStringLiteral("読み取り専用になっています。"));
  else if (e.number != FileErr::NotFound)
    Tell(ed, e.description + QLatin1Char('\r') + QStringLiteral("　エラーコード：") + QString::number(e.number));
  return false;
}

}  // namespace kemo
