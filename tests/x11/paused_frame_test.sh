#!/usr/bin/env bash
# The picture the real editor shows after a paused seek is the frame in force at the time of the
# label, not the key frame before it. The video shows its frame number in binary as eight upright
# stripes (white for a one) and is encoded as the conversion encodes (a key frame every 0.8 s);
# "+1" on the never played video, slide rows at 2.3 s, 1.5 s and 3.7 s and the seek buttons are
# clicked, and the stripes read from the screen.
source "$(dirname "$0")/lib.sh"
DATA="$WORK/frames"
mkdir -p "$DATA"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
  -i "nullsrc=s=240x160:r=15:d=5,geq=lum='if(mod(floor(N/pow(2\,floor(X/30)))\,2)\,235\,16)':cb=128:cr=128" \
  -f lavfi -i "sine=frequency=440:duration=5" \
  -acodec wmav2 -vcodec msmpeg4v2 -ab 64k -b 512k -ac 2 -s 240x160 "$DATA/Video.avi"
cp "$DATA/Video.avi" "$DATA/Video.flv"
convert -size 64x48 xc:gray "$DATA/a.jpg"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>%s%s%s%s</slide>\n<cursor><p t="0" x="0.5" y="0.5"/></cursor>\n</content>\n' \
  '<scene pos="0" caption="a" image="a.jpg"/>' '<scene pos="1.5" caption="b" image="a.jpg"/>' \
  '<scene pos="2.3" caption="c" image="a.jpg"/>' '<scene pos="3.7" caption="d" image="a.jpg"/>' >"$DATA/content.xml"
mapfile -t times < <(ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 "$DATA/Video.avi")
frame_at() { printf '%s\n' "${times[@]}" | awk -v t="$1" '$1 <= t + 0.000001 { n = NR - 1 } END { print n }'; }
start_x

launch_editor
open_folder "$DATA"
wait_title "$wid" "frames"
sleep 1

# The picture fills the player's width (3240 twips from 120) above its 26-pixel bar.
video_left=$((CLIENT_X + 120 / 15)); video_width=$((3240 / 15))
video_mid=$((CLIENT_Y + 360 / 15 + (3195 / 15 - 26) / 2))
shown_frame() {
  # One row of the screen through the picture, as grey values.
  import -window root -crop "${video_width}x1+${video_left}+${video_mid}" +repage -colorspace gray txt:- 2>/dev/null |
    awk -v w="$video_width" -F'[,:() ]+' '
      NR > 1 { grey[$1] = $4 }
      END {
        n = 0
        for (bit = 0; bit < 8; bit++) {
          x = int((bit * 30 + 15) * w / 240)
          if (grey[x] > 128) n += 2 ^ bit
        }
        print n
      }'
}

check_frame() {
  sleep 1
  local got want
  got=$(shown_frame)
  want=$(frame_at "$1")
  echo "$2 at $1 s: frame $got shown, $want in force"
  [ "$got" -eq "$want" ] || fail "after $2 to $1 s the picture shows frame $got, the frame in force is $want"
}
seek() { click_twips $((120 + 540 * $1 + 270)) $((3550 + 137)); }

# "+1" on the video that never played: played, paused, sought.
seek 3
check_frame 1.0 "+1"

# The slide grid's rows (ID 1 at 0 s, 2 at 1.5 s, 3 at 2.3 s, 4 at 3.7 s) stand 17 pixels (250 twips) apart.
for id in 3 2 4; do
  case $id in 2) t=1.5 ;; 3) t=2.3 ;; 4) t=3.7 ;; esac
  xdotool mousemove --sync $((CLIENT_X + (3840 + 120 + 2500) / 15)) $((CLIENT_Y + 568 + 17 * (id - 1))) click 1
  check_frame "$t" "the row"
done
# The seek buttons from there (3.7 s).
seek 2
check_frame 2.7 "-1"
seek 2
check_frame 1.7 "-1"
seek 3
check_frame 2.7 "+1"
echo "PASS paused frame: each paused seek shows the frame in force at its time"
