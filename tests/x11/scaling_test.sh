#!/usr/bin/env bash
# The real editor on screens of several sizes and scales: it starts at its design size where the
# screen holds it and smaller where not, always wholly on the screen; made as large as the screen
# (as maximised), the layout grows with it; made taller than the design's shape, the grids show
# more rows; a screen that cannot hold three quarters of the design (1280 x 720 at 150 % and
# 200 %) still holds the whole window at its smallest. A folder is open, so that the grids show
# their values. A screenshot of each case is kept.
source "$(dirname "$0")/lib.sh"
DATA=$WORK/lecture
make_folder "$DATA" 4 avi

# Starts the editor on a new screen of size $1 with QT_SCALE_FACTOR $2; sets wid and the geometry.
run_on() {
  stop_x
  start_x "$1"
  QT_SCALE_FACTOR=$2 "$EDITOR_BIN" "$DATA" >"$WORK/editor.log" 2>&1 &
  EDITOR_PID=$!
  wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear on $1 at $2"
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  SCREEN_W=${1%x*}; SCREEN_H=${1#*x}
  echo "screen $1 scale $2: window ${WIDTH}x${HEIGHT} at $X,$Y"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$SCREEN_W" ] && [ $((Y + HEIGHT)) -le "$SCREEN_H" ] ||
    fail "the window ${WIDTH}x${HEIGHT} at $X,$Y is not wholly on the $1 screen at scale $2"
  # Nor may the window manager make it smaller than what fits on the screen: its minimum fits too.
  local min
  min=$(xprop -id "$wid" WM_NORMAL_HINTS | sed -n 's/.*program specified minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')
  [ -n "$min" ] && [ "${min% *}" -le "$SCREEN_W" ] && [ "${min#* }" -le "$SCREEN_H" ] ||
    fail "the window's minimum size ($min) is larger than the $1 screen at scale $2"
}

# The design size on a screen that holds it: the client area is 1005 x 685.
run_on 1280x1024 1
[ "$WIDTH" -eq 1005 ] || fail "the window is $WIDTH wide at the design size, not 1005"
shot scale-design
# Made as large as a 1920 x 1080 screen, as maximised: the stage grows.
stop_x
start_x 1920x1080
"$EDITOR_BIN" >"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear on 1920x1080"
xdotool windowmove --sync "$wid" 0 0
xdotool windowsize --sync "$wid" 1920 1080
sleep 1
shot scale-maximised-1920x1080
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$HEIGHT" -ge 1000 ] || fail "the window did not grow: ${WIDTH}x${HEIGHT}"
# Taller than the design's shape at the design's width: the grids take the height.
xdotool windowsize --sync "$wid" 1005 1060
sleep 1
shot scale-tall-1005x1060
# 150 % on 1920 x 1080 and 200 % on 2560 x 1600: smaller than the design, wholly on the screen.
run_on 1920x1080 1.5
shot scale-150-1920x1080
run_on 2560x1600 2
shot scale-200-2560x1600
# Laptops: 1366 x 768 at 125 % and 1280 x 720 at 125 %; the layout scale stays at 0.75 or more.
run_on 1366x768 1.25
shot scale-125-1366x768
run_on 1280x720 1.25
shot scale-125-1280x720
# The window asks the window manager never to make it smaller than three quarters of the design
# (754 x 514 client pixels at 100 %, 943 x 643 at 125 %).
min=$(xprop -id "$wid" WM_NORMAL_HINTS | sed -n 's/.*program specified minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')
echo "minimum size at 125 %: $min"
[ -n "$min" ] && [ "${min% *}" -ge $((754 * 5 / 4 - 2)) ] && [ "${min#* }" -ge $((514 * 5 / 4 - 2)) ] ||
  fail "the window's minimum size ($min) is below three quarters of the design"
# 1280 x 720 at 150 % and 200 %: three quarters of the design do not fit; the window and its minimum
# are what the screen holds.
run_on 1280x720 1.5
shot scale-150-1280x720
run_on 1280x720 2
shot scale-200-1280x720
# A 4K screen at 100 %, the window as large as the screen: the player's bar grows with the rest.
stop_x
start_x 3840x2160
"$EDITOR_BIN" "$DATA" >"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear on 3840x2160"
xdotool windowmove --sync "$wid" 0 0
xdotool windowsize --sync "$wid" 3840 2160
sleep 1.5
shot scale-4k-3840x2160
echo "PASS scaling: design size where it fits, whole window and its minimum on the screen at 125 %, 150 % and 200 %"
