#!/usr/bin/env bash
# The timeline on the real editor under a real X server: F12 shows the strip below the window's
# design area (the window grows by it and the layout above keeps its size); a click on the ruler
# seeks; slide 3's edge, dragged with the mouse, snaps onto the playhead; 上書き保存 writes that
# time into content.xml. F12 again hides the strip and gives the window its height back, and the
# strip is shown again at the next start.
source "$(dirname "$0")/lib.sh"
# Whether the strip is shown is remembered in the user's settings: the test's own.
export XDG_CONFIG_HOME=$WORK/config

DATA="$WORK/講義 タイムライン"
mkdir -p "$DATA"
# 30 s: speech-like tones with pauses, so that the waveform has something to show.
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=320x240:rate=10:duration=30" \
  -f lavfi -i "sine=frequency=330:sample_rate=22050:duration=30,volume=enable='gt(mod(t,6),4)':volume=0" \
  -c:v flv -c:a libmp3lame -ar 22050 -f flv "$DATA/Video.flv"
ffmpeg -hide_banner -loglevel error -nostdin -y -i "$DATA/Video.flv" -acodec wmav2 -vcodec msmpeg4v2 \
  -ab 64k -b 512k -ac 2 -s 240x160 "$DATA/Video.avi"
for i in 0 1 2 3 4; do convert -size 320x240 "xc:rgb($((40 * i + 40)),90,140)" "$DATA/00$i.jpg"; done
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>'
  for i in 0 1 2 3 4; do printf '<scene pos="%d" caption="第%d章" image="00%d.jpg"/>' $((i * 5)) $((i + 1)) $i; done
  printf '</slide>\n<cursor>'
  for t in $(seq 0 2 28); do printf '<p t="%d" x="0.5" y="0.5"/>' "$t"; done
  printf '</cursor>\n</content>\n'
} >"$DATA/content.xml"

start_x
launch_editor "$DATA"
wait_title "$wid" "動作モード\[静止\]" 30
settle 1
locate_client "$wid"
H0=$WIN_H
shot timeline-01-hidden

# F12: the strip; the window grows by it.
# (A key lost on a busy machine is sent again.)
for _ in 1 2 3; do
  focus "$wid"
  xdotool key F12
  settle 1.5
  locate_client "$wid"
  [ "$WIN_H" -gt $((H0 + 100)) ] && break
done
shot timeline-02-f12
kill -0 "$EDITOR_PID" 2>/dev/null || fail "the editor ended at F12"
[ "$WIN_H" -gt $((H0 + 100)) ] || fail "the window did not grow by the strip ($H0 -> $WIN_H)"
TOP=$((WIN_Y + WIN_H - 150))
# The waveform arrives from ffmpeg: give it a moment.
settle 3
shot timeline-02-shown
# The whole lecture across the strip: the slide edges (dark blue lines in the slide row) of 5 s and
# 20 s (that of 0 s stands on the strip's border) give the x of any time.
EDGES=$(convert "$SHOTS/timeline-02-shown.png" -crop "${WIN_W}x1+${WIN_X}+$((TOP + 122))" txt:- |
  awk -F'[,: ]+' '/#283C8C/ { printf "%d ", $1 }')
read -r E5S E10S E15S E20S _ <<<"$EDGES"
echo "slide edges at x: $EDGES"
[ -n "$E20S" ] || fail "the slide edges are not in the strip (found: $EDGES)"
x_of() { awk -v t="$1" -v a="$E5S" -v b="$E20S" -v x0="$WIN_X" 'BEGIN { printf "%d", x0 + a + (t - 5) * (b - a) / 15 + 0.5 }'; }

# A click on the ruler at 12.3 s seeks there.
xdotool mousemove --sync "$(x_of 12.3)" $((TOP + 9)) click 1
settle 1.5
shot timeline-03-seeked

# The playhead: the column of its red line in the pointer row.
PLAYHEAD_X=$(convert "$SHOTS/timeline-03-seeked.png" -crop "${WIN_W}x1+${WIN_X}+$((TOP + 140))" txt:- |
  awk -F'[,: ]+' '/#DC0000/ && !done { print $1 + 0; done = 1 }')
[ -n "$PLAYHEAD_X" ] || fail "no playhead in the strip"
PLAYHEAD_X=$((WIN_X + PLAYHEAD_X))
RELEASE_X=$((PLAYHEAD_X + 4))

# Slide 3 (at 10 s) dragged from its edge to 4 pixels beside the playhead: it snaps onto it.
EDGE=$(x_of 10)
xdotool mousemove --sync "$EDGE" $((TOP + 100))
settle 0.3
xdotool mousedown 1
for dx in 5 10 20 30 40; do xdotool mousemove --sync $((EDGE + dx)) $((TOP + 100)); sleep 0.05; done
xdotool mousemove --sync "$RELEASE_X" $((TOP + 100))
settle 0.5
shot timeline-04-dragging
xdotool mouseup 1
settle 0.5
shot timeline-05-dropped

# 上書き保存 (Ctrl+S): question, then the report.
focus "$wid"
xdotool key ctrl+s
answer_box timeline-06-save-question
answer_box timeline-07-saved

pos=$(grep -o '<scene [^>]*>' "$DATA/content.xml" | sed -n 3p | sed 's/.*pos="\([^"]*\)".*/\1/')
echo "slide 3 saved at $pos s"
# The slide stands on the playhead, not where the mouse let go.
POS_X=$(x_of "$pos")
echo "playhead at x $PLAYHEAD_X, released at x $RELEASE_X, slide 3 saved at x $POS_X"
[ $((POS_X - PLAYHEAD_X)) -le 1 ] && [ $((PLAYHEAD_X - POS_X)) -le 1 ] ||
  fail "slide 3 was saved at $pos s (x $POS_X), not on the playhead (x $PLAYHEAD_X)"

[ "$(grep -o '<scene ' "$DATA/content.xml" | wc -l)" -eq 5 ] || fail "the saved content.xml lost slides"

# F12 again: the window as it was.
focus "$wid"
xdotool key F12
settle 1
locate_client "$wid"
[ "$WIN_H" -eq "$H0" ] || fail "hiding the strip left the window at $WIN_H instead of $H0"
xdotool key F12
settle 0.5

# The choice is remembered: the next start shows the strip again.
focus "$wid"
xdotool key ctrl+x
answer_box timeline-08-exit
for _ in $(seq 1 100); do kill -0 "$EDITOR_PID" 2>/dev/null || break; sleep 0.1; done
launch_editor "$DATA"
wait_title "$wid" "動作モード\[静止\]" 30
settle 2
locate_client "$wid"
[ "$WIN_H" -gt $((H0 + 100)) ] || fail "the strip was not shown again at the next start ($WIN_H)"
# The second opening takes the waveform from the cache.
ls "$XDG_CACHE_HOME"/kemo-editor/waveform/*.peaks >/dev/null 2>&1 || fail "no waveform cache was written"
shot timeline-09-next-start
echo "PASS timeline: strip shown and hidden, seek, slide 3 dropped onto the playhead and saved at $pos s"
