// Placeholder until playback lands.
#include "playback/playback.h"

#include "document/editor.h"

namespace kemo {
void OnPlayStateChange(Editor&, int) {}
void OnPositionChange(Editor&, double, double) {}
void OnPlayTimerTick(Editor&) {}
void OnSeekButton(Editor&, int) {}
void PreparePlayerForSeek(Editor&) {}
void WirePlayback(Editor&) {}
}  // namespace kemo
