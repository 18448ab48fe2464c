#pragma once
// The waits for the player. A wait clears WaitTimedOut, starts WaitTm (5000 ms) and processes
// pending window events until the awaited condition holds or WaitTm has fired. A wait that reaches
// its condition stops WaitTm and restores the default pointer; one that times out leaves WaitTm
// running (its tick has already restored the pointer), so a later wait can end early.
//
// Handlers run inside a wait, and one of them may start a wait of its own, stop WaitTm or clear
// WaitTimedOut. So every wait also keeps its own count: whatever runs inside it, it ends within
// its 5 s. A wait is abandoned, and ends at once, when the player loads or unloads a media (another
// folder was opened) or the program shuts down; the procedure that waited must then leave what it
// was doing, which concerned a video or a window that is gone.
#include <functional>
#include "playback/playback_state.h"

namespace kemo {

struct Editor;

enum class WaitEnd {
  Reached,    // the condition held
  TimedOut,   // 5 s passed (or WaitTm fired)
  Abandoned,  // another media was loaded, or the program is shutting down
};

WaitEnd WaitForPlayerEnd(Editor& ed, const std::function<bool()>& done);

// Returns true when the condition was reached, false on a time-out or when abandoned.
bool WaitForPlayer(Editor& ed, const std::function<bool()>& done);

// The tick of WaitTm: sets WaitTimedOut and restores the default pointer.
void OnWaitTimerTick(Editor& ed);

// Sleeps for ms while keeping the window alive.
void SleepProcessingEvents(int ms);
// Keeps the window alive until done() holds, ms at most; false when the time ran out.
bool WaitAtMost(int ms, const std::function<bool()>& done);

}  // namespace kemo
