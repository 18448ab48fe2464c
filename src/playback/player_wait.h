#pragma once
// The waits for the player. A wait clears WaitTimedOut, starts WaitTm (5000 ms) and processes
// pending window events until the awaited condition holds or WaitTm has fired. A wait that reaches
// its condition stops WaitTm and restores the default pointer; one that times out leaves WaitTm
// running (its tick has already restored the pointer), so a later wait can end early.
#include <functional>

namespace kemo {

struct Editor;

// Returns true when the condition was reached, false on a time-out.
bool WaitForPlayer(Editor& ed, const std::function<bool()>& done);

// The tick of WaitTm: sets WaitTimedOut and restores the default pointer.
void OnWaitTimerTick(Editor& ed);

// Sleeps for ms while keeping the window alive.
void SleepProcessingEvents(int ms);

}  // namespace kemo
