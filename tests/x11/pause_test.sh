#!/usr/bin/env bash
# A pause stays where the video was: on a 60 s folder the real editor plays, and after 3 s pauses with
# the player's own button, with Space and with the 再生 menu, ten times each. The video shows its frame
# number in binary as ten upright stripes (white for a one); the frame read from the screen after the
# pause is the one read just before it (within 0.2 s and the time the pause took to ask for), and a
# second later it still is.
source "$(dirname "$0")/lib.sh"
DATA="$WORK/pause"
mkdir -p "$DATA"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
  -i "nullsrc=s=240x160:r=15:d=60,geq=lum='if(mod(floor(N/pow(2\,floor(X/24)))\,2)\,235\,16)':cb=128:cr=128" \
  -f lavfi -i "sine=frequency=440:duration=60" \
  -acodec wmav2 -vcodec msmpeg4v2 -ab 64k -b 512k -ac 2 -s 240x160 "$DATA/Video.avi"
cp "$DATA/Video.avi" "$DATA/Video.flv"
convert -size 64x48 xc:gray "$DATA/a.jpg"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>%s</slide>\n<cursor><p t="0" x="0.5" y="0.5"/></cursor>\n</content>\n' \
  '<scene pos="0" caption="a" image="a.jpg"/>' >"$DATA/content.xml"
start_x
launch_editor
open_folder "$DATA"
wait_title "$wid" "pause"
sleep 1

video_left=$((CLIENT_X + 120 / 15)); video_width=$((3240 / 15))
video_mid=$((CLIENT_Y + 360 / 15 + (3195 / 15 - 26) / 2))
# The frame number the screen shows, in seconds.
shown_time() {
  import -window root -crop "${video_width}x1+${video_left}+${video_mid}" +repage -colorspace gray txt:- 2>/dev/null |
    awk -v w="$video_width" -F'[,:() ]+' '
      NR > 1 { grey[$1] = $4 }
      END {
        n = 0
        for (bit = 0; bit < 10; bit++) {
          x = int((bit * 24 + 12) * w / 240)
          if (grey[x] > 128) n += 2 ^ bit
        }
        printf "%.3f\n", n / 15
      }'
}
now() { date +%s.%N; }
play_x=$((120 + 210)); play_y=$((360 + 3195 - 165))

# The menu is opened before the position is read; the pause itself is its Return.
ready_to_pause() {
  if [ "$1" = menu ]; then
    xdotool key alt+p
    sleep 0.3
  fi
}
pause_by() {
  case $1 in
    mouse) click_twips $play_x $play_y ;;
    space) xdotool key space ;;
    menu) xdotool key Return ;;
  esac
}

for way in mouse space menu; do
  # Back to the start (two -30 on the paused video): ten rounds of 3.5 s fit in the minute.
  seek_back=$((120 + 270))
  click_twips $seek_back $((3550 + 137)); sleep 0.8
  click_twips $seek_back $((3550 + 137)); sleep 0.8
  for i in $(seq 1 10); do
    # Play from where the last pause left it (or from the start again when near the end).
    xdotool windowfocus --sync "$wid" 2>/dev/null || true
    [ "$way" = space ] && xdotool key space || click_twips $play_x $play_y
    wait_title "$wid" "動作モード\[再生\]" 10
    sleep 3
    ready_to_pause "$way"
    t0=$(now)
    before=$(shown_time)
    t1=$(now)
    pause_by "$way"
    t2=$(now)
    wait_title "$wid" "動作モード\[静止\]" 10
    sleep 0.5
    after=$(shown_time)
    sleep 1
    later=$(shown_time)
    echo "$way $i: $before before, $after after the pause, $later a second later (asked within $(awk -v a="$t0" -v b="$t2" 'BEGIN { printf "%.2f", b - a }') s)"
    # A pause that arrives late is a late pause, whatever the position it then keeps.
    awk -v a="$t1" -v b="$t2" 'BEGIN { exit !(b - a < 2) }' ||
      fail "the pause by $way took $(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.2f", b - a }') s to reach the editor"
    awk -v b="$before" -v a="$after" -v s="$t0" -v e="$t2" 'BEGIN { exit !(a >= b - 0.2 && a <= b + (e - s) + 0.2) }' ||
      { shot "pause-$way-$i"; fail "paused by $way at $before s, the picture shows $after s"; }
    awk -v a="$after" -v l="$later" 'BEGIN { exit !(l - a < 0.07 && a - l < 0.07) }' ||
      { shot "pause-$way-$i-later"; fail "paused by $way at $after s, a second later the picture shows $later s"; }
  done
done
shot pause-done
echo "PASS pause: thirty pauses by mouse, Space and menu each stayed where the video was"
