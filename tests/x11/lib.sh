# Shared by the X11 tests: a private Xvfb display, a private runtime folder, and helpers.
# Usage: source lib.sh; start_x; ...; (cleanup runs on exit)
set -euo pipefail
EDITOR_BIN=$1
BUILD_DIR=$2
SHOTS=$BUILD_DIR/screenshots
mkdir -p "$SHOTS"
WORK=$(mktemp -d)
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The editor's work folders (under the user's cache) are the test's own.
export XDG_CACHE_HOME=$WORK/cache
# So are its settings (the recent folders, the timeline's place), whoever runs the test.
export XDG_CONFIG_HOME=$WORK/config
# So are its recovery journals: one left by another test's killed editor would be offered at start.
export XDG_STATE_HOME=$WORK/state
unset QT_QPA_PLATFORM
XVFB_PID=""
EDITOR_PID=""

cleanup() {
  [ -n "$EDITOR_PID" ] && kill "$EDITOR_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -s "$WORK/editor.log" ]; then
    echo "--- the editor's output:" >&2
    tail -n 60 "$WORK/editor.log" >&2
  fi
  exit 1
}

start_x() {
  # The server picks a free display itself and tells its number, so two servers never race for one.
  # $1: the screen's size (1280x1024 unless given).
  local fifo=$WORK/displayfd n="" size=${1:-1280x1024}
  rm -f "$fifo"
  mkfifo "$fifo"
  # -noreset: the server stays up between clients (a reset after xdpyinfo left, on a busy machine,
  # refused the editor that connected next).
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  read -r -t 60 n <"$fifo" || true
  [ -n "$n" ] || fail "no X display could be started: $(tail -3 "$WORK/xvfb.log")"
  export DISPLAY=":$n"
  # On a busy machine the server may take its time to answer its first client.
  for _ in $(seq 1 300); do
    if xdpyinfo >/dev/null 2>&1; then return 0; fi
    kill -0 "$XVFB_PID" 2>/dev/null || fail "the X server ended: $(tail -3 "$WORK/xvfb.log")"
    sleep 0.1
  done
  fail "the X display :$n does not answer"
}

stop_x() {
  [ -n "$EDITOR_PID" ] && kill "$EDITOR_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  EDITOR_PID=""
  XVFB_PID=""
}

# Waits up to $2 seconds for a visible window whose name matches $1; prints its id.
wait_window() {
  local pattern=$1 limit=${2:-20} id=""
  for _ in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

shot() { import -window root "$SHOTS/$1.png"; }

# Starts the editor ($@: its arguments) and waits for its window: sets EDITOR_PID, wid and the
# client area's place (locate_client), and gives the window the focus.
launch_editor() {
  "$EDITOR_BIN" "$@" >"$WORK/editor.log" 2>&1 &
  EDITOR_PID=$!
  wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear"
  sleep 0.5
  locate_client "$wid"
  xdotool windowfocus --sync "$wid"
}

# Types a path ($2) into the folder dialog titled $1 and confirms it.
pick_folder() {
  local dlg
  dlg=$(wait_window "$1" 10) || fail "no folder dialog '$1'"
  xdotool windowfocus --sync "$dlg"
  sleep 0.3
  xdotool type --delay 10 "$2"
  xdotool key Return
}

# フォルダ指定 (Ctrl+O) of the folder $1.
open_folder() {
  xdotool key ctrl+o
  pick_folder "KemoRecorderのデータフォルダを指定してください" "$1"
}

# The editor's geometry: the window, and its client area (below the menu bar) in pixels.
CLIENT_W=1005
CLIENT_H=685
locate_client() {
  local wid=$1
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  WIN_X=$X; WIN_Y=$Y; WIN_W=$WIDTH; WIN_H=$HEIGHT
  CLIENT_X=$WIN_X
  CLIENT_Y=$((WIN_Y + WIN_H - CLIENT_H))
}

# Clicks the point (twips) of the client area; $3 is the button (1 by default).
# "mousemove --sync" to the place the pointer already is waits some 19 s for a motion that never comes
# (the click lands that much later), so the pointer goes there without waiting when it is there.
click_twips() {
  local x=$((CLIENT_X + $1 / 15)) y=$((CLIENT_Y + $2 / 15))
  pointer_to "$x" "$y"
  xdotool click "${3:-1}"
}
pointer_to() {
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell)"
  if [ "$X" -eq "$1" ] && [ "$Y" -eq "$2" ]; then return 0; fi
  xdotool mousemove --sync "$1" "$2"
}

# Gives the editor a moment to draw and take focus (longer on a busy machine).
settle() { sleep "${1:-0.5}"; }

# Focuses a window and waits until the X server says it has the focus.
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowactivate --sync "$1" 2>/dev/null || true; }

# True while a message box of the editor is up.
box_up() { xdotool search --onlyvisible --name "^KemoEditor$" >/dev/null 2>&1; }

# Waits (up to $3 seconds, 60 by default) for a message box of the editor (titled KemoEditor),
# keeps a screenshot, answers with a key.
answer_box() {
  local name=$1 key=${2:-Return} limit=${3:-60} id=""
  id=$(wait_window "^KemoEditor$" "$limit") || fail "no message box at step $name"
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.3
  shot "$name"
  xdotool key "$key"
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | grep -qx "$id" || return 0
    sleep 0.1
  done
  # A key that got lost on a busy machine: once more.
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  xdotool key --window "$id" "$key" 2>/dev/null || xdotool key "$key"
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | grep -qx "$id" || return 0
    sleep 0.1
  done
  fail "the message box of step $name did not close"
}

title_of() { xdotool getwindowname "$1"; }

wait_title() {
  local wid=$1 pattern=$2 limit=${3:-60}
  for _ in $(seq 1 $((limit * 10))); do
    title_of "$wid" | grep -q -- "$pattern" && return 0
    sleep 0.1
  done
  fail "caption never matched '$pattern' (it reads '$(title_of "$wid")')"
}

# A small data folder at $1 as the recorder leaves it: a $2-second Video.flv, three slides at 0,
# $2/4 and $2/2 s with their pictures, one point; with $3 = avi also the Video.avi that the
# conversion makes.
make_folder() {
  local dir=$1 seconds=$2 i
  mkdir -p "$dir"
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=320x240:rate=15:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=$seconds" -c:v flv -c:a libmp3lame -ar 22050 \
    -f flv "$dir/Video.flv"
  if [ "${3:-}" = avi ]; then
    ffmpeg -hide_banner -loglevel error -nostdin -y -i "$dir/Video.flv" -acodec wmav2 -vcodec msmpeg4v2 \
      -ab 64k -b 512k -ac 2 -s 240x160 "$dir/Video.avi"
  fi
  for i in 0 1 2; do convert -size 320x240 "xc:rgb($((60 * i + 40)),80,120)" "$dir/00$i.jpg"; done
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>%s%s%s</slide>\n<cursor>%s</cursor>\n</content>\n' \
    '<scene pos="0" caption="a" image="000.jpg"/>' "<scene pos=\"$(awk -v s="$seconds" 'BEGIN { print s / 4 }')\" caption=\"b\" image=\"001.jpg\"/>" \
    "<scene pos=\"$(awk -v s="$seconds" 'BEGIN { print s / 2 }')\" caption=\"c\" image=\"002.jpg\"/>" \
    '<p t="0" x="0.5" y="0.5"/>' >"$dir/content.xml"
}
