#!/usr/bin/env bash
# The times the real editor shows after the player's own stop button and after a seek past the
# end of the video are times the video has: a slide inserted at the time shown (F3) and saved lands
# at 0 after the stop, and at the video's end (not 25 s beyond it) after "+30" at 15 s of 20.
source "$(dirname "$0")/lib.sh"
SAMPLE="$WORK/positions sample"
make_folder "$SAMPLE" 20 avi
start_x

launch_editor
open_folder "$SAMPLE"
wait_title "$wid" "positions sample"
sleep 1

# Play with the transport bar, then its stop button (right of the play button).
play_x=$((120 + 210)); play_y=$((360 + 3195 - 165))
stop_x=$((120 + 600))
click_twips $play_x $play_y
wait_title "$wid" "動作モード\[再生\]" 10
sleep 2.5
click_twips $stop_x $play_y
wait_title "$wid" "動作モード\[静止\]" 10
sleep 0.8
shot positions-01-stopped
xdotool windowfocus --sync "$wid"
xdotool key F4
sleep 0.5
xdotool key F3
answer_box positions-02-insert-after-stop

# "+5" on the stopped video (played and paused first), twice more: 15 s; then "+30".
seek() { click_twips $((120 + 540 * $1 + 270)) $((3550 + 137)); sleep 0.8; }
for _ in 1 2 3; do seek 4; done
seek 5
sleep 0.5
shot positions-03-past-the-end
xdotool windowfocus --sync "$wid"
xdotool key F3
answer_box positions-04-insert-at-end

# Register the slide edit, close it, save (上書き保存).
click_twips $((3840 + 9350 + 360)) $((7695 + 420 + 157))
answer_box positions-05-register
if xdotool search --onlyvisible --name "^KemoEditor$" >/dev/null 2>&1; then answer_box positions-05b-registered; fi
xdotool windowfocus --sync "$wid"
xdotool key F4
sleep 0.5
if xdotool search --onlyvisible --name "^KemoEditor$" >/dev/null 2>&1; then answer_box positions-06-close-edit; fi
xdotool mousemove --sync $((CLIENT_X + 30)) $((WIN_Y + 10)) click 1
sleep 0.5
for _ in 1 2 3 4 5 6 7; do xdotool key Down; done  # 上書き保存, after the two exports
xdotool key Return
answer_box positions-07-save-question
answer_box positions-08-saved

# The folder's scenes stand at 0, 5 and 10 s; the two new ones at 0 and at the end.
positions=$(grep -o '<scene [^>]*pos="[^"]*"' "$SAMPLE/content.xml" | sed 's/.*pos="\([^"]*\)"/\1/' | sort -g | tr '\n' ' ')
echo "scene times: $positions"
count=$(echo "$positions" | wc -w)
[ "$count" -eq 5 ] || fail "content.xml holds $count scenes ($positions), expected 5"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$SAMPLE/Video.avi")
last=$(echo "$positions" | awk '{print $NF}')
awk -v l="$last" -v d="$duration" 'BEGIN { exit !(l <= d + 0.1 && l >= d - 0.5) }' ||
  fail "the slide inserted after +30 stands at $last s, the video lasts $duration s"
zeros=$(echo "$positions" | tr ' ' '\n' | awk '$1 == 0' | wc -l)
[ "$zeros" -eq 2 ] || fail "the slide inserted after the stop is not at 0 s ($positions)"
echo "PASS positions: after the stop the time shown was 0; after +30 at 50 s it was the end ($last of $duration s)"
