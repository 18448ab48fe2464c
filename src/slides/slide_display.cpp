#include "slides/slide_display.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>

#include "document/data_files.h"
#include "document/editor.h"
#include "platform/data_grid.h"
#include "platform/media_player.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "platform/services.h"
#include "platform/stage.h"
#include "playback/player_wait.h"
#include "playback/sync.h"
#include "slides/slides_state.h"

namespace kemo {

namespace {

constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;

// False when `path` cannot name a slide picture: no file name, a trailing separator, or a name in
// the data folder that is not a plain file name ("..", "sub/x.jpg"), which must never reach
// outside the folder.
bool NamesSlidePicture(const Editor& ed, const QString& path) {
  if (FileNameOfPath(path).isEmpty()) return false;
  const QString trimmed = path.trimmed();
  if (trimmed.endsWith(QLatin1Char('/')) || trimmed.endsWith(QLatin1Char('\\'))) return false;
  if (path == ed.DefaultPicture()) return true;
  if (!ed.DataFolder.isEmpty()) {
    const QString prefix = JoinPath(ed.DataFolder, QString());
    if (path.startsWith(prefix) && !IsPlainFileName(path.mid(prefix.size()))) return false;
  }
  return true;
}

enum class FileCheck { Always, OnChange, Never };

void DrawSlidePicture(Editor& ed, const QString& requested, FileCheck check) {
  Stage* img = ed.ui.img;
  if (img == nullptr) return;
  const QString fallback = ed.DefaultPicture();
  QString path = NamesSlidePicture(ed, requested) ? requested : fallback;
  // A picture of the data folder is read only when it is a regular file that stays in the folder
  // (a FIFO would block the window, a link could show any picture of the user's). Checked with the
  // files; a tick that keeps the slide keeps what was checked.
  if (check != FileCheck::Never && path != fallback && !ed.DataFolder.isEmpty() &&
      CheckDataFile(path, ed.DataFolder) != Refusal::None)
    path = fallback;
  // Someone may have replaced the picture on disk since it was drawn: check the files again.
  if (check == FileCheck::Always ||
      (check == FileCheck::OnChange && (path != img->PictureSource() || !img->Files().IsChecked(path))))
    img->Files().Revalidate();
  // The default picture stands in for a slide image, so it always carries the marker.
  bool notFound = path == fallback;
  // Decoded at the stage's own size: the picture is stretched over the stage anyway. The one before
  // is kept too while both slide lists draw on every tick; otherwise going back decodes it again.
  const QSize size = img->size();
  img->Files().SetKeptPictures(HasSlideEditRows(ed) ? 2 : 1);
  QImage picture = img->Files().Load(path, size);
  if (picture.isNull() && path != fallback) {
    path = fallback;
    notFound = true;
    picture = img->Files().Load(path, size);
  }
  img->SetFileNotFoundVisible(notFound);
  img->SetPicture(picture, path);
}

// The seek of the key and click handlers: the point grid, the stage, the player and the time label
// follow slide `r`.
void ShowSlideAndSeek(Editor& ed, const SlideRecord& r, bool pauseFirst) {
  SyncPointRow(ed, static_cast<float>(r.pos));
  // A wait that outlived its folder (or the window) leaves the new one alone.
  if (pauseFirst && !PausePlayerBeforeSeek(ed)) return;
  ShowSlideImage(ed, SlideImagePath(ed, r.image));
  if (ed.svc.player) ed.svc.player->SetCurrentPosition(r.pos);
  if (ed.ui.dispTime) ed.ui.dispTime->setText(r.timeText);
}

int CurrentSlideId(const Editor& ed) {
  if (ed.RS_SLD == nullptr || !ed.RS_SLD->HasCurrent()) return 0;
  return ed.RS_SLD->Field(QStringLiteral("ID")).toInt();
}

}  // namespace

bool HasSlideEditRows(const Editor& ed) {
  const RecordSet* rs = ed.RS_SLDEDT;
  return ed.SldEdtCnt >= 1 && rs != nullptr && rs->IsOpen() && rs->RecordCount() > 0;
}

QString SlideImagePath(const Editor& ed, const QString& image) {
  return JoinPath(ed.DataFolder, IsPlainFileName(image) ? image : QString());
}

void ShowSlideImage(Editor& ed, const QString& path) { DrawSlidePicture(ed, path, FileCheck::Always); }

void ShowSyncedSlideImage(Editor& ed, const QString& path, bool slideChanged) {
  DrawSlidePicture(ed, path, slideChanged ? FileCheck::OnChange : FileCheck::Never);
}

void OnSlideGridKeyDown(Editor& ed, int keyCode, int /*shift*/) {
  const uint8_t s = ed.EditorState;
  if (s != State::Idle && s != State::RecordPaused && s != State::EditPaused) return;
  // The grid moves its row after this handler; seek to the row it is about to make current.
  const int id = CurrentSlideId(ed);
  int k = 0;
  if (keyCode == kKeyDown)
    k = id == ed.SldCnt ? id - 1 : id;
  else if (keyCode == kKeyUp)
    k = id == 1 ? 0 : id - 2;
  if (k < 0 || k >= kSlots) return;
  const SlideRecord r = ed.Sld[k];
  ShowSlideAndSeek(ed, r, false);
}

void OnSlideGridMouseUp(Editor& ed, int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {
  const int k = CurrentSlideId(ed) - 1;
  if (k < 0 || k >= kSlots) return;
  // A copy: the wait for the player runs other handlers, which may rebuild the slide table.
  const SlideRecord r = ed.Sld[k];
  ShowSlideAndSeek(ed, r, true);
}

void OnSlideGridMouseMove(Editor& ed, int button, int /*shift*/, double /*x*/, double /*y*/) {
  if (button == 2) PopupSlideMenu(ed);
}

bool PausePlayerBeforeSeek(Editor& ed) {
  MediaPlayer* player = ed.svc.player;
  if (player == nullptr) return true;
  const int ps = player->PlayState();
  if (ps == PlayState::Playing || ps == PlayState::Paused) {
    player->Pause();
    return true;
  }
  // Without a video there is nothing to start; waiting for it would only hold the user 5 s.
  if (player->URL().isEmpty()) return true;
  // Never started (or stopped): a position written now would be lost, so play and pause first.
  if (ed.svc.pointer) ed.svc.pointer->SetWait(true);
  player->Play();
  return WaitForPlayerEnd(ed, [player] {
           if (player->PlayState() != PlayState::Playing) return false;
           player->Pause();
           return true;
         }) != WaitEnd::Abandoned;
}

void PopupSlideMenu(Editor& ed) {
  QMenu* menu = ed.ui.ppSld;
  if (menu == nullptr) return;
  if (ed.slides->PopupHook) {
    ed.slides->PopupHook(menu, QCursor::pos());
    return;
  }
  // Every movement with the right button held asks again; one open menu is enough.
  if (!menu->isVisible()) menu->popup(QCursor::pos());
}

void WireSlideDisplay(Editor& ed) {
  DataGrid* grid = ed.ui.dgSlide;
  if (grid == nullptr) return;
  grid->onKeyDown = [&ed](int keyCode, int shift) {
    OnSlideGridKeyDown(ed, keyCode, shift);
    return false;  // the grid still moves its row
  };
  grid->onMouseUp = [&ed](int button, int shift, double x, double y) { OnSlideGridMouseUp(ed, button, shift, x, y); };
  grid->onMouseMove = [&ed](int button, int shift, double x, double y) {
    OnSlideGridMouseMove(ed, button, shift, x, y);
  };
  // A right click that does not move (or the menu key) asks for a context menu: the same menu.
  grid->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(grid, &QWidget::customContextMenuRequested, grid, [&ed](const QPoint&) { PopupSlideMenu(ed); });
}

}  // namespace kemo
