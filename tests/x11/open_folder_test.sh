#!/usr/bin/env bash
# The real editor under a real X server, opened with a folder on its command line: the folder opens
# as フォルダ指定 opens it. A second start with another folder while the first one's content has
# unsaved changes hands the folder over: the running window asks about the changes first (Cancel
# keeps everything), and after "No" it opens the new folder. No second window appears.
source "$(dirname "$0")/lib.sh"

# Two small data folders with a playable Video.avi, so that the window is in its idle state.
make_folder() {
  local dir=$1 title=$2
  mkdir -p "$dir"
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=320x240:rate=10:duration=3" \
    -c:v mjpeg -f avi "$dir/Video.avi"
  printf 'flv' >"$dir/Video.flv"
  cat >"$dir/content.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<content>
<slide><scene pos="0" caption="$title" image="000.jpg"/></slide>
<cursor><p t="0.5" x="0.5" y="0.5"/><p t="1.5" x="0.25" y="0.75"/></cursor>
</content>
XML
}
FIRST="$WORK/first lecture"
SECOND="$WORK/second"
make_folder "$FIRST" "第1回"
make_folder "$SECOND" "第2回"
start_x

# A relative path, from the folder that holds it.
(cd "$WORK" && exec "$EDITOR_BIN" "first lecture") >"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear"
wait_title "$wid" "［$FIRST\] *動作モード\[静止\]" 20
sleep 0.5
shot open-01-from-command-line

# A change: delete the current mouse point (F8) and confirm.
xdotool windowfocus --sync "$wid"
xdotool key F8
answer_box open-02-delete-question Return
sleep 0.3

# A second start with the other folder ends by itself; the running window asks first.
timeout 20 "$EDITOR_BIN" "$SECOND" >"$WORK/second.log" 2>&1 || fail "the second start did not end cleanly"
answer_box open-03-save-question Escape
sleep 0.5
title_of "$wid" | grep -q -- "［$FIRST\]" || fail "Cancel did not keep the first folder: $(title_of "$wid")"

timeout 20 "$EDITOR_BIN" "$SECOND" >>"$WORK/second.log" 2>&1 || fail "the third start did not end cleanly"
answer_box open-04-save-question-again n
wait_title "$wid" "［$SECOND\]" 20
sleep 0.5
shot open-05-second-folder
count=$(xdotool search --onlyvisible --name "Kemo.Editor" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || fail "$count editor windows after the later starts"
# "No" saved nothing: the first folder's content.xml still has both points.
[ "$(grep -o '<p ' "$FIRST/content.xml" | wc -l)" -eq 2 ] || fail "the first folder's content.xml was changed"
echo "PASS open_folder: command-line folder opened, later starts hand theirs over after the question"
