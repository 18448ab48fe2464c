#pragma once
// The operating-state machine. ChangeState applies the transition table and never refreshes the
// controls; RefreshModeDisplay applies the state to every control. The refresh belongs to the main
// window, which installs it as Editor::RefreshHook so that the procedures below it can call it.
#include <cstdint>

namespace kemo {

struct Editor;

// The state that `event` leads to from `state` (the same state when the table has no entry).
uint8_t NextState(uint8_t state, int event);
void ChangeState(Editor& ed, int event);

void RefreshModeDisplay(Editor& ed);

}  // namespace kemo
