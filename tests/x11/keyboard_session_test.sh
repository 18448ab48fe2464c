#!/usr/bin/env bash
# A whole edit from the keyboard on the real editor: open a folder (Ctrl+O and typing), Tab to the
# point list with the focus frame visible on the screen at each stop, select the second point with
# the arrow keys, delete it (F8), save (Ctrl+S). The saved content.xml lacks exactly that point.
source "$(dirname "$0")/lib.sh"
DATA="$WORK/keys"
make_folder "$DATA" 6 avi
printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>%s</slide>\n<cursor>%s</cursor>\n</content>\n' \
  '<scene pos="0" caption="a" image="000.jpg"/>' \
  '<p t="0" x="0.1" y="0.1"/><p t="1.5" x="0.2" y="0.2"/><p t="3" x="0.3" y="0.3"/>' >"$DATA/content.xml"
start_x
launch_editor
open_folder "$DATA"
wait_title "$wid" "keys"
focus "$wid"
sleep 0.5

# The colour of the screen just left of the point list's left edge (the focus frame's place).
frame_pixel() {
  import -window root -crop "1x1+$((CLIENT_X + 135 / 15 - 1))+$((CLIENT_Y + (4440 + 2280) / 15))" +repage txt:- 2>/dev/null |
    awk 'NR == 2 { gsub(/[()]/, " "); split($2, c, ","); print c[1] + 0, c[2] + 0, c[3] + 0 }'
}
framed() { frame_pixel | awk '{ exit !($3 > 150 && $3 > $1 + 60) }'; }  # the highlight's blue
framed && fail "the point list shows the focus frame before it has the focus"
steps=0
until framed; do
  steps=$((steps + 1))
  [ "$steps" -le 40 ] || fail "40 Tabs never brought the focus to the point list"
  xdotool key Tab
  sleep 0.2
  [ "$steps" -le 3 ] && shot "keys-02-tab-$steps"
done
echo "the point list has the focus after $steps Tabs"
shot keys-03-point-list-focused
xdotool key Down
sleep 0.3
shot keys-04-second-point-selected
xdotool key F8
answer_box keys-05-delete-question
focus "$wid"
sleep 0.3
framed || fail "the focus frame left the point list after the delete"
xdotool key ctrl+s
answer_box keys-06-save-question
box_up_within() { for _ in $(seq 1 $(($1 * 10))); do box_up && return 0; sleep 0.1; done; return 1; }
if box_up_within 5; then answer_box keys-07-saved; fi
sleep 0.5
times=$(grep -o '<p [^>]*t="[^"]*"' "$DATA/content.xml" | sed 's/.*t="\([^"]*\)"/\1/' | tr '\n' ' ')
echo "points saved at: $times"
[ "$(echo "$times" | wc -w)" -eq 2 ] || fail "content.xml holds the points $times, expected two"
echo "$times" | grep -qw "1.5" && fail "the second point (1.5 s) was not the one deleted: $times"
echo "PASS keyboard session: opened, reached the point list by Tab with the frame shown, deleted the selected point, saved"
