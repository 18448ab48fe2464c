#include "document/state_machine.h"

#include "document/editor.h"

namespace kemo {

uint8_t NextState(uint8_t state, int event) {
  switch (state) {
    case State::Idle:
      if (event == ModeEvent::Started) return State::Playing;
      if (event == ModeEvent::RecOn) return State::RecordPlaying;
      if (event == ModeEvent::EditOpened) return State::EditPaused;
      break;
    case State::Playing:
      if (event == ModeEvent::Stopped) return State::Idle;
      if (event == ModeEvent::RecOn) return State::RecordPlaying;
      break;
    case State::RecordPaused:
      if (event == ModeEvent::Started) return State::RecordPlaying;
      if (event == ModeEvent::RecOff) return State::Idle;
      break;
    case State::RecordPlaying:
      if (event == ModeEvent::Stopped) return State::RecordPaused;
      if (event == ModeEvent::RecOff) return State::Idle;
      break;
    case State::EditPaused:
      if (event == ModeEvent::Started) return State::EditPlaying;
      if (event == ModeEvent::EditClosed) return State::Idle;
      break;
    case State::EditPlaying:
      if (event == ModeEvent::Stopped) return State::EditPaused;
      if (event == ModeEvent::EditClosed) return State::Playing;
      break;
    default: break;
  }
  return state;
}

void ChangeState(Editor& ed, int event) { ed.EditorState = NextState(ed.EditorState, event); }

void RefreshModeDisplay(Editor& ed) {
  if (ed.RefreshHook) ed.RefreshHook(ed);
}

}  // namespace kemo
