#!/usr/bin/env bash
# The real editor under a real X server: a folder opened, 編集 → 時間調整 (Ctrl+T) and every slide
# shifted by +2.5 s through the dialog by keyboard alone, saved (Ctrl+S), and the new content.xml read.
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/講義 第3回"
mkdir -p "$FOLDER"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=320x240:rate=10:duration=10" \
  -c:v mjpeg -f avi "$FOLDER/Video.avi"
printf 'flv' >"$FOLDER/Video.flv"
for i in 1 2 3; do convert -size 320x240 "xc:rgb($((60 * i)),80,120)" "$FOLDER/00$i.jpg"; done
cat >"$FOLDER/content.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<content>
<slide><scene pos="0" caption="はじめに" image="001.jpg"/><scene pos="2" caption="本題" image="002.jpg"/><scene pos="4.25" caption="まとめ" image="003.jpg"/></slide>
<cursor><p t="0.5" x="0.5" y="0.5"/><p t="1.5" x="0.25" y="0.75"/></cursor>
</content>
XML
start_x
launch_editor "$FOLDER"
wait_title "$wid" "動作モード\[静止\]" 30
settle

xdotool key ctrl+t
dlg=$(wait_window "^KemoEditor$" 20) || fail "the timing dialog did not open"
focus "$dlg"
settle
# The offset field has the focus with its text selected; the target is スライド, every row.
xdotool type --delay 20 "+00:02.500"
settle 1
shot timing-01-shift-preview
xdotool key alt+a
settle 1
shot timing-02-applied
xdotool key Escape
for _ in $(seq 1 50); do box_up || break; sleep 0.1; done
box_up && fail "the timing dialog did not close"
focus "$wid"
xdotool key ctrl+s
answer_box timing-03-saved Return

grep -q '<scene pos="2.5" caption="はじめに" image="001.jpg"/>' "$FOLDER/content.xml" || fail "slide 1 was not shifted: $(cat "$FOLDER/content.xml")"
grep -q '<scene pos="4.5" caption="本題"' "$FOLDER/content.xml" || fail "slide 2 was not shifted"
grep -q '<scene pos="6.75" caption="まとめ"' "$FOLDER/content.xml" || fail "slide 3 was not shifted"
grep -q '<p t="0.5" x="0.5" y="0.5"/>' "$FOLDER/content.xml" || fail "a point moved"
echo "PASS timing_shift: every slide shifted by +2.5 s through the dialog, saved"
