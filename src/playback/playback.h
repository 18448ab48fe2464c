#pragma once
// Driving and following the player: play-state and position events, the 100 ms tick, the seek
// buttons and the preparation of a never-started video for a seek.
#include "playback/playback_state.h"

namespace kemo {

struct Editor;
class MediaPlayer;

// The orders in which the three synchronisations run: a position event and a seek button do the
// point row first, the playback tick the slide row first.
enum class SyncOrder {
  PointFirst,  // point row, slide row, slide-edit row
  SlideFirst,  // slide row, slide-edit row, point row
};

// The one entry point to the synchronisation of the grids and the stage with a time.
void SyncAll(Editor& ed, float t, SyncOrder order);

// The step of the seek button `index` (0..5: -30, -5, -1, +1, +5, +30 seconds); 0 for any other.
double SeekStep(int index);

void OnPlayStateChange(Editor& ed, int newState);
void OnPositionChange(Editor& ed, double oldPosition, double newPosition);
void OnPlayTimerTick(Editor& ed);
void OnSeekButton(Editor& ed, int index);
// The player's own position control asked for `seconds`: a seek like the seek buttons'.
void OnPlayerSeekRequest(Editor& ed, double seconds);
// Plays and pauses a loaded but never started video; false when the wait was abandoned (another
// video was loaded, or the program is closing) and the seek must not go on.
bool PreparePlayerForSeek(Editor& ed);

// A position the media has: 0 .. its duration (only the lower bound while the duration is unknown).
double ClampToMedia(const MediaPlayer* player, double seconds);

// The player's part of the shutdown: from here on player events move nothing; a player with media is
// muted, played, stopped and waited for (at most 5 s); one without media counts as stopped at once.
void ShutDownPlayer(Editor& ed);

// Connects the player's events, playTimer and the seek buttons.
void WirePlayback(Editor& ed);

}  // namespace kemo
