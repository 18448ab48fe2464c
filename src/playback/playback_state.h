#pragma once
// State of the playback procedures.

namespace kemo {

struct PlaybackState {
  // Nesting depth of the waits for the player (handlers may be entered during a wait).
  int WaitDepth = 0;
};

}  // namespace kemo
