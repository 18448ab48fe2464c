#include "document/history.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <algorithm>
#include <type_traits>

#include "document/editor.h"
#include "document/file_copy.h"
#include "document/folder_commands.h"
#include "document/state_machine.h"
#include "document/tables.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/services.h"
#include "platform/work_folder.h"

namespace kemo {

namespace {

QString TimeText(qint64 ms) {
  return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

qint64 NowMs(const Editor& ed) {
  return ed.svc.clock ? ed.svc.clock->Now().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}

bool IsEditing(const Editor& ed) {
  return ed.EditorState == State::EditPaused || ed.EditorState == State::EditPlaying;
}

// With KEMO_HISTORY_TRACE naming a file, every state the journal reaches is written there as a
// digest: "pending" just before its record is written, "done" once it is, "restored" for the
// tables a restore brought back. The crash test compares them.
void TraceLine(const char* what, const QByteArray& digest, int recorded) {
  static const QByteArray path = qgetenv("KEMO_HISTORY_TRACE");
  if (path.isEmpty()) return;
  QFile f(QString::fromLocal8Bit(path));
  if (!f.open(QIODevice::Append | QIODevice::Unbuffered)) return;
  f.write(QByteArray(what) + ' ' + digest.toHex() + " rec=" + QByteArray::number(recorded) + '\n');
}

bool Tracing() { return !qEnvironmentVariableIsEmpty("KEMO_HISTORY_TRACE"); }

template <class Rec>
void HashTable(QCryptographicHash& h, const SlotTable<Rec>& t, int count) {
  h.addData(QByteArrayView(reinterpret_cast<const char*>(&count), sizeof count));
  const int used = UsedSlots(t);
  for (int i = 0; i < used; ++i) {
    const Rec& r = t[i];
    h.addData(QByteArrayView(reinterpret_cast<const char*>(&r.id), sizeof r.id));
    if constexpr (std::is_same_v<Rec, PointRecord>) {
      h.addData(QByteArrayView(reinterpret_cast<const char*>(&r.t), sizeof r.t));
      for (const QString* s : {&r.timeText, &r.x, &r.y, &r.mark}) h.addData((*s + QChar(1)).toUtf8());
    } else {
      h.addData(QByteArrayView(reinterpret_cast<const char*>(&r.pos), sizeof r.pos));
      for (const QString* s : {&r.timeText, &r.caption, &r.image}) h.addData((*s + QChar(1)).toUtf8());
    }
  }
}

QByteArray Digest(const SlideArray& sld, int sldCnt, const PointArray& cur, int curCnt, const PointArray& rec,
                  int recCnt) {
  QCryptographicHash h(QCryptographicHash::Sha1);
  HashTable(h, sld, sldCnt);
  HashTable(h, cur, curCnt);
  HashTable(h, rec, recCnt);
  return h.result();
}

// The identity of the content.xml at `path`: the one taken from the bytes just read or written
// while it still describes the file there (name, size and time), else the file's own. Saves
// reading and hashing the whole file a second time after every open and save.
FileIdentity CurrentIdentity(const FileIdentity& known, const QString& path) {
  if (known.Exists() && known.path == path) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() == known.size && info.lastModified().toMSecsSinceEpoch() == known.modifiedMs)
      return known;
  }
  return IdentifyFile(path);
}

}  // namespace

// Everything that reads or changes the history's inner state.
struct HistoryAccess {
  using Step = DocumentHistory::Step;

  static DocumentHistory& H(Editor& ed) { return *ed.history; }

  static void CopyTables(DocumentHistory& h, const Editor& ed) {
    h.sld_ = ed.Sld;
    h.cur_ = ed.Cur;
    h.sldCnt_ = ed.SldCnt;
    h.curCnt_ = ed.CurCnt;
  }

  static void Derive(Editor& ed) {
    DocumentHistory& h = H(ed);
    ed.ContentChanged = !h.AtSavedPoint();
    // Back at the saved file with no recorded run: nothing a crash could lose. The next change
    // begins a journal again.
    if (!ed.ContentChanged && h.recCnt_ == 0 && (h.journal_.IsOpen() || h.unprotected_)) {
      JournalNotNeeded(ed, h);
      TraceLine("saved", QByteArray(), 0);
    }
    RefreshUndoMenu(ed);
  }

  static void DropSteps(DocumentHistory& h, int savedAt) {
    h.steps_.clear();
    h.index_ = 0;
    h.saved_ = savedAt;
    h.bytes_ = 0;
  }

  // The journal of the data folder, begun with the tables as last recorded when it is not yet.
  static bool EnsureJournal(Editor& ed, DocumentHistory& h) {
    if (h.journal_.IsOpen() && h.folder_ == ed.DataFolder) return true;
    h.journal_.Discard();
    if (ed.DataFolder.isEmpty()) return false;
    JournalHeader header;
    header.folder = ed.DataFolder;
    header.content = h.content_;
    header.beganMs = NowMs(ed);
    h.folder_ = ed.DataFolder;
    Trace(h, "pending");
    QString reason;
    if (!h.journal_.Begin(header, h.sld_, h.sldCnt_, h.cur_, h.curCnt_, h.rec_, h.recCnt_, &reason)) {
      Unprotect(ed, h, reason);
      return false;
    }
    Trace(h, "done");
    Protected(ed, h);
    return true;
  }

  // No journal holds the changes: the user is told once (the folder and the reason), and the
  // caption says so until a save or a journal that works again.
  static void Unprotect(Editor& ed, DocumentHistory& h, const QString& reason) {
    if (h.journal_.IsOpen()) {
      // What it holds is whole up to the failed record: kept for a crash until a new journal works.
      if (h.brokenJournal_.isEmpty()) h.brokenJournal_ = h.journal_.Path();
      h.journal_.Close();
    }
    const bool was = h.unprotected_;
    h.unprotected_ = true;
    if (!h.toldUnprotected_) {
      h.toldUnprotected_ = true;
      Tell(ed,
           ShowPath(RecoveryFolder()) + QStringLiteral("に復元用の記録を書き込めません（") + reason +
               QStringLiteral("）。") + QLatin1Char('\r') +
               QStringLiteral("保存するまで、正常に終了しなかった時に作業を復元することはできません。"),
           MsgIcon::Critical);
    }
    if (!was) RefreshModeDisplay(ed);
  }

  static void Protected(Editor& ed, DocumentHistory& h) {
    // New content lives in the work folder, which is kept while a journal holds it.
    if (!ed.WorkFolder().isEmpty() && SamePath(ed.DataFolder, ed.NewWorkFolder())) {
      QFile mark(JoinPath(ed.WorkFolder(), EditorWorkFolder::JournalMarkName()));
      if (mark.open(QIODevice::WriteOnly | QIODevice::Truncate)) mark.write(h.journal_.Path().toUtf8());
    }
    if (!h.brokenJournal_.isEmpty()) QFile::remove(h.brokenJournal_);
    h.brokenJournal_.clear();
    h.toldUnprotected_ = false;
    if (h.unprotected_) {
      h.unprotected_ = false;
      RefreshModeDisplay(ed);
    }
  }

  static void Trace(const DocumentHistory& h, const char* what) {
    if (Tracing()) TraceLine(what, Digest(h.sld_, h.sldCnt_, h.cur_, h.curCnt_, h.rec_, h.recCnt_), h.recCnt_);
  }

  // The journal's record of a change the copy has just taken.
  static void WriteDocument(Editor& ed, DocumentHistory& h, const TableSplice& s, const TableSplice& p) {
    if (!h.journal_.IsOpen()) return;
    Trace(h, "pending");
    QString reason;
    if (!h.journal_.AppendDocument(s, p, &reason)) return Unprotect(ed, h, reason);
    Trace(h, "done");
  }

  static void Push(DocumentHistory& h, Step&& step) {
    while (h.StepCount() > h.index_) {
      h.bytes_ -= h.steps_.back().Bytes();
      h.steps_.pop_back();
    }
    if (h.saved_ > h.index_) h.saved_ = -1;
    h.bytes_ += step.Bytes();
    h.steps_.push_back(std::move(step));
    ++h.index_;
    // The oldest steps go when the history grows past its budget.
    int drop = 0;
    size_t bytes = h.bytes_;
    while (bytes > DocumentHistory::kMaxBytes && drop + 1 < h.StepCount()) bytes -= h.steps_[drop++].Bytes();
    if (drop > 0) {
      h.steps_.erase(h.steps_.begin(), h.steps_.begin() + drop);
      h.bytes_ = bytes;
      h.index_ -= drop;
      h.saved_ = h.saved_ >= drop ? h.saved_ - drop : -1;
    }
  }

  // Takes the tables' difference to the copy into the copy and the journal; the splices that turn
  // it back go to `back` (null: none are kept). False when the tables were already the copy.
  static bool Take(Editor& ed, DocumentHistory& h, Step* back) {
    const TableSplice s = DiffTables(h.sld_, h.sldCnt_, ed.Sld, ed.SldCnt);
    const TableSplice p = DiffTables(h.cur_, h.curCnt_, ed.Cur, ed.CurCnt);
    if (s.Empty() && p.Empty()) return false;
    EnsureJournal(ed, h);
    const bool ok = (s.Empty() || ApplySplice(h.sld_, h.sldCnt_, s, back ? &back->slides : nullptr)) &&
                    (p.Empty() || ApplySplice(h.cur_, h.curCnt_, p, back ? &back->points : nullptr));
    if (!ok) {
      // The copy no longer fits its own difference: start again from the tables as they are.
      CopyTables(h, ed);
      DropSteps(h, -1);
      h.journal_.Discard();
      return false;
    }
    WriteDocument(ed, h, s, p);
    return true;
  }

  static void Record(Editor& ed, const QString& label, bool marksOnly = false) {
    DocumentHistory& h = H(ed);
    Step step;
    step.label = label;
    step.marksOnly = marksOnly;
    if (Take(ed, h, &step)) Push(h, std::move(step));
    NoteRun(ed);
    Derive(ed);
  }

  static void Lose(Editor& ed) {
    H(ed).saved_ = -1;
    Derive(ed);
  }

  static void NoteRun(Editor& ed) {
    DocumentHistory& h = H(ed);
    const TableSplice r = DiffTables(h.rec_, h.recCnt_, ed.recCur, ed.recCurCnt);
    if (r.Empty()) return;
    EnsureJournal(ed, h);
    if (!ApplySplice(h.rec_, h.recCnt_, r, nullptr)) {
      h.rec_ = ed.recCur;
      h.recCnt_ = ed.recCurCnt;
      h.journal_.Discard();
      return;
    }
    if (!h.journal_.IsOpen()) return;
    Trace(h, "pending");
    QString reason;
    if (!h.journal_.AppendRecorded(r, &reason)) return Unprotect(ed, h, reason);
    Trace(h, "done");
  }

  // The tables equal a file (or start anew): nothing is left unprotected.
  static void JournalNotNeeded(Editor& ed, DocumentHistory& h) {
    h.journal_.Discard();
    if (!h.brokenJournal_.isEmpty()) QFile::remove(h.brokenJournal_);
    h.brokenJournal_.clear();
    if (h.unprotected_) {
      h.unprotected_ = false;
      RefreshModeDisplay(ed);
    }
  }

  static void Reset(Editor& ed, bool saved) {
    DocumentHistory& h = H(ed);
    JournalNotNeeded(ed, h);
    CopyTables(h, ed);
    h.rec_ = ed.recCur;
    h.recCnt_ = ed.recCurCnt;
    DropSteps(h, saved ? 0 : -1);
    h.content_ = ed.DataFolder.isEmpty() ? FileIdentity{} : CurrentIdentity(h.content_, ed.ContentPath());
    h.folder_ = ed.DataFolder;
    Derive(ed);
  }

  static void Saved(Editor& ed) {
    DocumentHistory& h = H(ed);
    // A save of tables that were changed without a step (no command recorded them) still makes
    // them the saved state: they become the copy.
    Take(ed, h, nullptr);
    h.saved_ = h.index_;
    h.content_ = CurrentIdentity(h.content_, ed.ContentPath());
    JournalNotNeeded(ed, h);
    h.folder_ = ed.DataFolder;
    // A recorded run is not in content.xml: its journal starts again at once.
    if (ed.recCurCnt > 0) {
      h.rec_.ClearRange(0, kSlots);
      h.recCnt_ = 0;
      NoteRun(ed);
    }
    Derive(ed);
  }

  // Applies one side of a step to the tables and to the copy; the step then holds the other side.
  static bool Apply(Editor& ed, DocumentHistory& h, Step& step, int* slideRow, int* pointRow) {
    EnsureJournal(ed, h);
    Step back;
    back.label = step.label;
    back.marksOnly = step.marksOnly;
    bool ok = true;
    if (!step.slides.Empty()) {
      const int used = UsedSlots(ed.Sld);
      const TableSplice& s = step.slides;
      ok = ApplySplice(ed.Sld, ed.SldCnt, s, &back.slides);
      if (ok) {
        h.sld_.CopyRange(ed.Sld, s.first, std::max(used, used + s.inserted - s.removed));
        h.sldCnt_ = ed.SldCnt;
        *slideRow = s.first;
      }
    }
    if (ok && !step.points.Empty()) {
      const int used = UsedSlots(ed.Cur);
      const TableSplice& p = step.points;
      ok = ApplySplice(ed.Cur, ed.CurCnt, p, &back.points);
      if (ok) {
        h.cur_.CopyRange(ed.Cur, p.first, std::max(used, used + p.inserted - p.removed));
        h.curCnt_ = ed.CurCnt;
        *pointRow = p.first;
      }
    }
    if (!ok) return false;
    WriteDocument(ed, h, step.slides, step.points);
    h.bytes_ = h.bytes_ - step.Bytes() + back.Bytes();
    step = std::move(back);
    return true;
  }

  static bool Move(Editor& ed, bool undo) {
    DocumentHistory& h = H(ed);
    if (undo ? !h.CanUndo() : !h.CanRedo()) return false;
    Step& step = h.steps_[undo ? h.index_ - 1 : h.index_];
    int slideRow = -1, pointRow = -1;
    if (!Apply(ed, h, step, &slideRow, &pointRow)) {
      CopyTables(h, ed);
      DropSteps(h, -1);
      Derive(ed);
      return false;
    }
    h.index_ += undo ? -1 : 1;
    ShowTables(ed, slideRow, pointRow);
    // The grids' rebuild may complete a table (an empty one gets its one row): that is the copy too.
    Take(ed, h, nullptr);
    Derive(ed);
    return true;
  }

  // The grids, counts, stage markers and selection after the tables changed under them.
  static void ShowTables(Editor& ed, int slideRow, int pointRow) {
    if (slideRow >= 0) {
      BuildSlideTable(ed);
      if (!IsEditing(ed)) BuildSlideEditTable(ed, true);
      if (RecordSet* rs = ed.RS_SLD; rs && rs->RecordCount() > 0)
        rs->MoveTo(std::clamp(slideRow, 0, rs->RecordCount() - 1));
    }
    if (pointRow >= 0) {
      BuildPointTable(ed);
      int row = 0;
      if (RecordSet* rs = ed.RS_CUR; rs && rs->RecordCount() > 0) {
        row = std::clamp(pointRow, 0, rs->RecordCount() - 1);
        rs->MoveTo(row);
      }
      if (ed.views.PointsChanged) ed.views.PointsChanged(ed, row);
    }
    const bool points = ed.RS_CUR && ed.RS_CUR->RecordCount() > 0;
    if (ed.ui.ppCurDelete) ed.ui.ppCurDelete->setEnabled(points && UndoAllowed(ed));
    if (ed.ui.ppCurDisp) ed.ui.ppCurDisp->setEnabled(points && UndoAllowed(ed));
  }

  static void Restore(Editor& ed, const QString& path, const RecoveredWork& work) {
    DocumentHistory& h = H(ed);
    if (Tracing())
      TraceLine("restored", Digest(work.sld, work.sldCnt, work.cur, work.curCnt, work.rec, work.recCnt), work.recCnt);
    ed.Sld = work.sld;
    ed.Cur = work.cur;
    ed.recCur = work.rec;
    ed.SldCnt = work.sldCnt;
    ed.CurCnt = work.curCnt;
    ed.recCurCnt = work.recCnt;
    BuildSlideTable(ed);
    BuildSlideEditTable(ed, true);
    BuildPointTable(ed);
    if (ed.views.PointsChanged) ed.views.PointsChanged(ed, 0);
    if (ed.views.RecordedRunReplaced) ed.views.RecordedRunReplaced(ed);
    // The journal starts again from the restored tables, under the header of the one restored. One
    // with records that could not be read is kept as it was, never rewritten without them.
    QString keptAt;
    if (work.damaged) {
      const QString damaged = RecoveryFolder() + QStringLiteral("/damaged");
      QDir().mkpath(damaged);
      keptAt = damaged + QLatin1Char('/') + QFileInfo(path).completeBaseName() + QLatin1Char('-') +
               QString::number(QDateTime::currentMSecsSinceEpoch()) + QStringLiteral(".journal");
      if (!QFile::rename(path, keptAt)) keptAt.clear();
    }
    if (keptAt.isEmpty()) QFile::remove(path);
    h.journal_.Discard();
    CopyTables(h, ed);
    h.rec_ = ed.recCur;
    h.recCnt_ = ed.recCurCnt;
    DropSteps(h, -1);
    h.content_ = work.header.content;
    h.folder_ = ed.DataFolder;
    JournalHeader header = work.header;
    header.folder = ed.DataFolder;
    QString reason;
    if (h.journal_.Begin(header, h.sld_, h.sldCnt_, h.cur_, h.curCnt_, h.rec_, h.recCnt_, &reason)) {
      Trace(h, "done");
      Protected(ed, h);
    } else {
      Unprotect(ed, h, reason);
    }
    Derive(ed);
    if (work.damaged)
      Tell(ed,
           QStringLiteral("保存されていない作業の記録のうち") + QString::number(work.unreadable) +
               QStringLiteral("件は読めなかったため、復元していません。") +
               (keptAt.isEmpty() ? QString()
                                 : QLatin1Char('\r') + QStringLiteral("元の記録は") + ShowPath(keptAt) +
                                       QStringLiteral("に残しています。")),
           MsgIcon::Critical);
  }
};

bool DocumentHistory::AtSavedPoint() const {
  if (saved_ < 0) return false;
  for (int i = std::min(saved_, index_); i < std::max(saved_, index_); ++i)
    if (!steps_[i].marksOnly) return false;
  return true;
}

bool DocumentHistory::TablesAsRecorded(const Editor& ed) const {
  return DiffTables(sld_, sldCnt_, ed.Sld, ed.SldCnt).Empty() && DiffTables(cur_, curCnt_, ed.Cur, ed.CurCnt).Empty();
}

void RecordChange(Editor& ed, const QString& label) { HistoryAccess::Record(ed, label); }
void NoteRecordedRun(Editor& ed) { HistoryAccess::NoteRun(ed); }
void RecordMarksChange(Editor& ed, const QString& label) { HistoryAccess::Record(ed, label, true); }
void ResetHistory(Editor& ed, bool saved) { HistoryAccess::Reset(ed, saved); }
void MarkHistorySaved(Editor& ed) { HistoryAccess::Saved(ed); }

void LoseSavedPoint(Editor& ed) { HistoryAccess::Lose(ed); }

bool UndoChange(Editor& ed) { return UndoAllowed(ed) && HistoryAccess::Move(ed, true); }
bool RedoChange(Editor& ed) { return UndoAllowed(ed) && HistoryAccess::Move(ed, false); }

void ShowChangedTables(Editor& ed, int slideRow, int pointRow) { HistoryAccess::ShowTables(ed, slideRow, pointRow); }

bool UndoAllowed(const Editor& ed) {
  // Where the editing commands are: idle, or paused while recording or editing slides.
  return ed.EditorState == State::Idle || ed.EditorState == State::RecordPaused ||
         ed.EditorState == State::EditPaused;
}

void RefreshUndoMenu(Editor& ed) {
  const DocumentHistory& h = *ed.history;
  const bool allowed = UndoAllowed(ed);
  if (QAction* a = ed.ui.mnuEditUndo) {
    a->setText(h.CanUndo() ? QStringLiteral("元に戻す：") + h.UndoLabel() : QStringLiteral("元に戻す"));
    a->setEnabled(allowed && h.CanUndo());
  }
  if (QAction* a = ed.ui.mnuEditRedo) {
    a->setText(h.CanRedo() ? QStringLiteral("やり直し：") + h.RedoLabel() : QStringLiteral("やり直し"));
    a->setEnabled(allowed && h.CanRedo());
  }
}

QString UnprotectedCaption(const Editor& ed) {
  return ed.history->Unprotected() ? QStringLiteral(" ［復元用の記録なし：保存するまで作業は保護されません］") : QString();
}

void EndJournal(Editor& ed) { ed.history->journal().Discard(); }

void KeepJournalAtEnd(Editor& ed) { ed.history->journal().Close(); }

void OfferRecovery(Editor& ed) {
  if (ed.DataFolder.isEmpty()) return;
  DocumentHistory& h = *ed.history;
  const QString agreed = h.AgreedJournal();
  h.SetAgreedJournal(QString());
  QStringList journals = JournalsFor(ed.DataFolder);
  // Agreed at start for this folder although named for another place (new content of an editor
  // that ended, a folder that moved).
  if (!agreed.isEmpty() && !journals.contains(agreed) && QFileInfo::exists(agreed)) journals.prepend(agreed);
  bool restored = false;
  for (const QString& path : journals) {
    // This editor's own journal, or one another running editor writes: not crash work.
    if ((h.journal().IsOpen() && h.journal().Path() == path) || JournalInUse(path)) continue;
    auto work = std::make_unique<RecoveredWork>();
    if (!ReadJournal(path, nullptr, work.get())) {
      // Not a journal this program can read: nothing in it can be restored.
      QFile::remove(path);
      continue;
    }
    const FileIdentity now = IdentifyFile(ed.ContentPath());
    const QString began = TimeText(work->header.beganMs);
    if (!now.SameContent(work->header.content)) {
      const QString changed = now.Exists() ? TimeText(now.modifiedMs) : QStringLiteral("不明");
      if (Ask(ed,
              ShowPath(ed.ContentPath()) + QStringLiteral("は、保存されていない作業（") + began +
                  QStringLiteral("から）の後に変更されています（") + changed + QStringLiteral("）。") +
                  QLatin1Char('\r') + QStringLiteral("この作業は復元できません。破棄しますか？"),
              MsgButtons::YesNo, MsgIcon::None) == MsgResult::Yes)
        QFile::remove(path);
      continue;
    }
    // One restore: an older journal of the same file stays for a later start.
    if (restored) continue;
    if (agreed != path && Ask(ed,
                              ShowPath(ed.DataFolder) +
                                  QStringLiteral("には、正常に終了しなかった時の保存されていない作業（") + began +
                                  QStringLiteral("から）があります。") + QLatin1Char('\r') +
                                  QStringLiteral("復元しますか？"),
                              MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes) {
      QFile::remove(path);
      continue;
    }
    HistoryAccess::Restore(ed, path, *work);
    restored = true;
  }
}

namespace {

// The new content (新規作成) of another editor's work folder: "<work base>/run-XXXXXX/new".
bool IsNewWorkOfEndedEditor(const Editor& ed, const QString& folder) {
  const QFileInfo f(folder);
  return !ed.UserWorkBase.isEmpty() && f.fileName() == QStringLiteral("new") &&
         SamePath(QFileInfo(f.path()).path(), ed.UserWorkBase) && !SamePath(folder, ed.NewWorkFolder());
}

// New content left by an editor that ended without saving it: はい moves it into this editor's work
// folder (video, converted video, content) and returns that folder, whose opening restores the
// tables; いいえ discards it. The ended editor's work folder goes either way.
QString OfferNewWork(Editor& ed, const QString& journal, const JournalHeader& header) {
  const QString run = QFileInfo(header.folder).path();
  const auto removeRun = [&] {
    QDir(run).removeRecursively();
    QFile::remove(run + QStringLiteral(".lock"));
  };
  if (Ask(ed,
          QStringLiteral("新規作成で作成中の保存されていない作業（") + TimeText(header.beganMs) +
              QStringLiteral("から）があります。") + QLatin1Char('\r') + QStringLiteral("この作業を復元しますか？"),
          MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes) {
    QFile::remove(journal);
    removeRun();
    return {};
  }
  const QString mine = ed.NewWorkFolder();
  if (!mine.isEmpty()) {
    QDir(mine).removeRecursively();
    QDir().mkpath(ed.WorkFolder());
  }
  if (mine.isEmpty() || !QDir().rename(header.folder, mine)) {
    Tell(ed, ShowPath(header.folder) + QStringLiteral("を作業フォルダに移せません。"), MsgIcon::Critical);
    return {};
  }
  removeRun();
  ed.history->SetAgreedJournal(journal);
  return mine;
}

// The work of a folder that is not where it was (renamed, moved, a stick not plugged in): はい
// asks for its new place, which must hold the content.xml the journal began on, and returns it;
// いいえ discards the work; キャンセル keeps it for a later start.
QString OfferMovedFolder(Editor& ed, const QString& journal, const JournalHeader& header) {
  const MsgResult answer =
      Ask(ed,
          ShowPath(header.folder) + QStringLiteral("には、正常に終了しなかった時の保存されていない作業（") +
              TimeText(header.beganMs) + QStringLiteral("から）がありますが、このフォルダが見つかりません。") +
              QLatin1Char('\r') + QStringLiteral("フォルダの新しい場所を指定しますか？") + QLatin1Char('\r') +
              QStringLiteral("（いいえ：この作業を破棄します　キャンセル：次の起動時にまた確認します）"),
          MsgButtons::YesNoCancel, MsgIcon::None);
  if (answer == MsgResult::No) QFile::remove(journal);
  if (answer != MsgResult::Yes) return {};
  const QString parent = QFileInfo(header.folder).path();
  const QString chosen = BrowseForFolder(ed, QFileInfo(parent).isDir() ? parent : QDir::homePath(),
                                         QStringLiteral("移動したフォルダを指定してください"));
  if (chosen.isEmpty()) return {};
  const QString content = JoinPath(chosen, QStringLiteral("content.xml"));
  if (!IdentifyFile(content).SameContent(header.content)) {
    Tell(ed,
         ShowPath(content) + QStringLiteral("は、この作業を始めた時の") + ShowPath(JoinPath(header.folder, QStringLiteral("content.xml"))) +
             QStringLiteral("ではありません。") + QLatin1Char('\r') + QStringLiteral("作業は次の起動時にまた確認します。"),
         MsgIcon::Critical);
    return {};
  }
  ed.history->SetAgreedJournal(journal);
  return chosen;
}

}  // namespace

QString OfferRecoveryAtStart(Editor& ed) {
  const QFileInfoList journals =
      QDir(RecoveryFolder()).entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Time);
  // Files no editor can use (not a journal this program can read) are listed once, not kept silently.
  QStringList unusable;
  for (const QFileInfo& file : journals)
    if (!ReadJournal(file.filePath(), nullptr, nullptr) && !JournalInUse(file.filePath())) unusable << file.filePath();
  if (!unusable.isEmpty()) {
    QStringList shown;
    for (const QString& path : unusable) shown << ShowPath(path);
    if (Ask(ed,
            QStringLiteral("次の復元用の記録は読めないため、使えません。") + QLatin1Char('\r') +
                shown.join(QLatin1Char('\r')) + QLatin1Char('\r') + QStringLiteral("削除しますか？"),
            MsgButtons::YesNo, MsgIcon::None) == MsgResult::Yes)
      for (const QString& path : unusable) QFile::remove(path);
  }
  for (const QFileInfo& file : journals) {
    const QString path = file.filePath();
    JournalHeader header;
    // Only a journal this program wrote, that no running editor writes.
    if (!QFileInfo::exists(path) || !ReadJournal(path, &header, nullptr) || header.folder.isEmpty() ||
        JournalInUse(path))
      continue;
    if (!QFileInfo(header.folder).isDir()) {
      const QString folder = OfferMovedFolder(ed, path, header);
      if (!folder.isEmpty()) return folder;
      continue;
    }
    if (!JournalNamedFor(path, header.folder)) continue;
    if (IsNewWorkOfEndedEditor(ed, header.folder)) {
      const QString folder = OfferNewWork(ed, path, header);
      if (!folder.isEmpty()) return folder;
      continue;
    }
    if (Ask(ed,
            ShowPath(header.folder) + QStringLiteral("には、正常に終了しなかった時の保存されていない作業（") +
                TimeText(header.beganMs) + QStringLiteral("から）があります。") + QLatin1Char('\r') +
                QStringLiteral("このフォルダを開いて復元しますか？"),
            MsgButtons::YesNo, MsgIcon::None) == MsgResult::Yes) {
      ed.history->SetAgreedJournal(path);
      return header.folder;
    }
    // A question closed because the editor is ending (a termination signal) was not answered.
    if (ed.ExitConfirmed) return {};
    QFile::remove(path);
  }
  return {};
}

bool ConfirmOpenBesideRunningEditor(Editor& ed, const QString& folder) {
  const Journal& own = ed.history->journal();
  for (const QString& path : JournalsFor(folder)) {
    if ((own.IsOpen() && own.Path() == path) || !JournalInUse(path)) continue;
    return Ask(ed,
               ShowPath(folder) + QStringLiteral("は、実行中の別のKemo.Editorで開かれています（保存されていない変更があります）。") +
                   QLatin1Char('\r') + QStringLiteral("このフォルダを開きますか？"),
               MsgButtons::YesNo) == MsgResult::Yes;
  }
  return true;
}

bool ConfirmReplaceContent(Editor& ed) {
  DocumentHistory& h = *ed.history;
  const QString path = ed.ContentPath();
  if (!h.Content().Exists()) return true;
  const FileIdentity now = IdentifyFile(path);
  if (!now.Exists() || now.SameContent(h.Content())) return true;
  if (Ask(ed,
          ShowPath(path) + QStringLiteral("は、読み込んだ後（") + TimeText(h.Content().modifiedMs) +
              QStringLiteral("）に他のプログラムで変更されています（") + TimeText(now.modifiedMs) + QStringLiteral("）。") +
              QLatin1Char('\r') + QStringLiteral("上書きしますか？"),
          MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
    return false;
  // The user chose to overwrite that file: it is the one the save now replaces.
  h.SetContent(now);
  return true;
}

}  // namespace kemo
