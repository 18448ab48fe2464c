#pragma once
// A slide edge dropped on the timeline: the registered slide's new time, through the registered
// time change of the timing tools (one undo step).
namespace kemo {

struct Editor;

// Where the timeline may change slide times: a folder is open, nothing plays, no points are
// recorded and no slides are edited.
bool TimelineEditsAllowed(const Editor& ed);

// Gives registered slide `index` (0-based) the time `seconds`, rounded to whole milliseconds and
// kept between its neighbours: the grids, the stage and the history follow (one undo step). False
// (and nothing changed) when edits are not allowed now, the index is not a slide, or the time is
// the one it has.
bool DropSlideTime(Editor& ed, int index, double seconds);

}  // namespace kemo
