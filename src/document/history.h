#pragma once
// The document history: undo and redo of every change of the registered tables (slides and points),
// the point at which they equal the file last loaded or saved, and the recovery journal.
//
// The history keeps a copy of the tables as last recorded. A command changes the tables and then
// calls RecordChange with the name of its change: the difference to the copy becomes one step
// (a splice that turns the tables back; see table_delta.h) and goes to the journal before the
// command returns. ContentChanged is derived from it: false exactly at the saved point.
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "document/journal.h"
#include "document/records.h"
#include "document/table_delta.h"

namespace kemo {

struct Editor;

class DocumentHistory {
 public:
  struct Step {
    QString label;
    bool marksOnly = false;  // changes only the shown marks, which content.xml does not hold
    TableSplice slides;  // turns the tables to the other side of the step
    TableSplice points;
    size_t Bytes() const { return sizeof(Step) + slides.Bytes() + points.Bytes(); }
  };

  // The history keeps at most this many bytes of steps; older steps go first.
  static constexpr size_t kMaxBytes = size_t(64) << 20;

  int StepCount() const { return static_cast<int>(steps_.size()); }
  int Index() const { return index_; }
  bool CanUndo() const { return index_ > 0; }
  bool CanRedo() const { return index_ < StepCount(); }
  QString UndoLabel() const { return CanUndo() ? steps_[index_ - 1].label : QString(); }
  QString RedoLabel() const { return CanRedo() ? steps_[index_].label : QString(); }
  // The tables equal the file: at the saved point, or apart from it only by steps of the marks.
  bool AtSavedPoint() const;
  size_t StepBytes() const { return bytes_; }
  // Whether the registered tables are as last recorded (no change is waiting for its step).
  bool TablesAsRecorded(const Editor& ed) const;

  // The content.xml the tables were last loaded from or saved to.
  const FileIdentity& Content() const { return content_; }
  void SetContent(const FileIdentity& id) { content_ = id; }
  // The journal whose restore the user already agreed to at start: opening its folder restores it
  // without asking again.
  const QString& AgreedJournal() const { return agreedJournal_; }
  void SetAgreedJournal(const QString& path) { agreedJournal_ = path; }
  Journal& journal() { return journal_; }
  // No journal could be written for the changes since the last save: a crash would lose them.
  bool Unprotected() const { return unprotected_; }

 private:
  friend struct HistoryAccess;
  std::vector<Step> steps_;
  int index_ = 0;
  int saved_ = 0;  // -1: no step equals the file
  size_t bytes_ = 0;
  // The tables as last recorded, and the recorded run as last journaled.
  SlideArray sld_{};
  PointArray cur_{};
  PointArray rec_{};
  int16_t sldCnt_ = 0, curCnt_ = 0, recCnt_ = 0;
  FileIdentity content_;
  QString folder_;  // the data folder of the journal
  QString agreedJournal_;
  Journal journal_;
  bool unprotected_ = false;
  bool toldUnprotected_ = false;  // the user was told; not again until a journal works
  QString brokenJournal_;          // a journal whose writing failed, kept until a new one works
};

// The editor's hold on its history. A copy of an editor (a test's "before" picture) starts with an
// empty history of its own.
// Made at its first use: its tables (a megabyte) are not written while the window first shows.
class HistoryHolder {
 public:
  HistoryHolder() = default;
  HistoryHolder(const HistoryHolder&) {}
  HistoryHolder& operator=(const HistoryHolder&) { return *this; }
  DocumentHistory* operator->() const { return get(); }
  DocumentHistory& operator*() const { return *get(); }

 private:
  DocumentHistory* get() const {
    if (!p_) p_ = std::make_unique<DocumentHistory>();
    return p_.get();
  }
  mutable std::unique_ptr<DocumentHistory> p_;
};

// Names of the changes (the captions of 元に戻す and やり直し).
namespace ChangeName {
inline const QString SlideRegister = QStringLiteral("スライド登録");
inline const QString SlideInsert = QStringLiteral("スライド挿入");
inline const QString SlideDelete = QStringLiteral("スライド削除");
inline const QString PointEdit = QStringLiteral("マウスポイント編集");
inline const QString PointInsert = QStringLiteral("マウスポイント挿入");
inline const QString PointDelete = QStringLiteral("マウスポイント削除");
inline const QString PointDeleteAll = QStringLiteral("マウスポイント全削除");
inline const QString PointShow = QStringLiteral("マウスポイント表示");
inline const QString PointHide = QStringLiteral("マウスポイント非表示");
inline const QString PointRegister = QStringLiteral("マウスポイント登録");
inline const QString PointMove = QStringLiteral("マウスポイント移動");
inline const QString Other = QStringLiteral("変更");
}  // namespace ChangeName

// Records the change the tables went through since the last record as one step named `label`
// (nothing when they are as they were) and writes it, with any change of the recorded run, to the
// journal.
void RecordChange(Editor& ed, const QString& label);
// Writes a change of the recorded run (a sample, an edit of the run) to the journal.
void NoteRecordedRun(Editor& ed);
// A step that switches only the shown marks (全てチェックON/OFF): undone and redone like the others,
// but the tables still equal content.xml, which holds no marks.
void RecordMarksChange(Editor& ed, const QString& label);
// The tables are a freshly loaded (saved true) or new (saved false) document: no steps, the journal
// of the previous one ended, the file of the data folder noted for the save guard.
void ResetHistory(Editor& ed, bool saved);
// The tables were just written to content.xml: the saved point is here and the journal ends.
void MarkHistorySaved(Editor& ed);
// content.xml no longer matches any state of the history (a save that failed after the old file was gone).
void LoseSavedPoint(Editor& ed);

// 元に戻す and やり直し: the tables, grids, stage, counts and selection show the other side of the step.
bool UndoChange(Editor& ed);
bool RedoChange(Editor& ed);
// The grids, counts, stage markers and selection after a command changed the tables under them and
// recorded its step: rows slideRow and pointRow selected; -1 leaves that table's views as they are.
void ShowChangedTables(Editor& ed, int slideRow, int pointRow);
// Whether the state allows them now (a folder is open and nothing plays).
bool UndoAllowed(const Editor& ed);
// The captions and enabled state of 元に戻す and やり直し.
void RefreshUndoMenu(Editor& ed);

// What the window's caption adds while no journal holds the unsaved changes; "" otherwise.
QString UnprotectedCaption(const Editor& ed);

// The journal ends with the program's normal end: its file is deleted.
void EndJournal(Editor& ed);
// An end that is not the user's (a signal to end): the journal's file is kept for the next start,
// and with it the work folder of new content.
void KeepJournalAtEnd(Editor& ed);
// After a data folder was opened: a journal left by an editor that did not end normally is offered
// for restoring (はい: the tables and the recorded run as they were, marked changed; いいえ: discarded).
void OfferRecovery(Editor& ed);
// At start, before any folder is open: each journal left by an editor that did not end normally,
// newest first, whose data folder is there, is offered naming its folder. はい returns that folder
// (its opening then restores the work without asking again); いいえ discards the journal and the
// next one is offered. Empty when none was taken.
QString OfferRecoveryAtStart(Editor& ed);

// Before a data folder is opened: true when no other running editor writes a journal of it, or the
// user agrees to open it all the same (this editor then keeps a journal of its own).
bool ConfirmOpenBesideRunningEditor(Editor& ed, const QString& folder);

// Before content.xml of the data folder is replaced: true when it is still the file last loaded or
// saved, or the user agrees to overwrite what another program changed.
bool ConfirmReplaceContent(Editor& ed);

}  // namespace kemo
