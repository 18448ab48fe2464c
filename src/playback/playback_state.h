#pragma once
// State of the playback procedures.

namespace kemo {

struct PlaybackState {
  // Nesting depth of the waits for the player (handlers may be entered during a wait).
  int WaitDepth = 0;
  // The time the grids and the stage were last synchronised to, and how often that happened
  // (SyncAll), so that a seek can be checked against what it synchronised.
  float LastSyncTime = 0.0f;
  int SyncRuns = 0;
  // Set when the shutdown begins: player events no longer move the editor, and waits begun
  // before it are abandoned.
  bool Closing = false;
};

}  // namespace kemo
