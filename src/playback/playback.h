#pragma once
// Driving and following the player: play-state and position events, the 100 ms tick, the seek
// buttons and the preparation of a never-started video for a seek.
namespace kemo {

struct Editor;

void OnPlayStateChange(Editor& ed, int newState);
void OnPositionChange(Editor& ed, double oldPosition, double newPosition);
void OnPlayTimerTick(Editor& ed);
void OnSeekButton(Editor& ed, int index);
void PreparePlayerForSeek(Editor& ed);

// Connects the player's events, playTimer, WaitTm and the seek buttons.
void WirePlayback(Editor& ed);

}  // namespace kemo
