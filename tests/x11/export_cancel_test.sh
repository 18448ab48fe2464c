#!/usr/bin/env bash
# The real editor under a real X server exports a lecture of 3600 slides through the menu: the
# progress dialog keeps redrawing (the window answers while the frames are prepared), キャンセル
# after 3 s ends the export within moments, and nothing is left: no output, no temporary file,
# nothing in the work folder, which stays small all along.
source "$(dirname "$0")/lib.sh"

DATA="$WORK/講義 3600"
OUT="$WORK/out"  # ASCII: xdotool types Japanese through a remapped key, which it may drop
mkdir -p "$DATA" "$OUT"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=320x240:rate=15:duration=360" \
  -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=360" -c:v flv -c:a libmp3lame -ar 22050 \
  -f flv "$DATA/Video.flv"
for i in $(seq 0 19); do convert -size 640x480 "xc:rgb($((10 * i + 40)),80,120)" "$DATA/p$i.jpg"; done
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>'
  for i in $(seq 0 3599); do
    printf '<scene pos="%s" caption="第%d節" image="p%d.jpg"/>' "$(awk -v i="$i" 'BEGIN { print i / 10 }')" "$i" $((i % 20))
  done
  printf '</slide>\n<cursor><p t="0" x="0.5" y="0.5"/></cursor>\n</content>\n'
} >"$DATA/content.xml"
start_x
launch_editor "$DATA"
answer_box export-cancel-00-convert-hint Return 120  # only Video.flv: the editor offers the conversion
wait_title "$wid" "講義 3600" 60
settle 1

# ファイル → 動画に書き出し, into the output folder.
xdotool windowfocus --sync "$wid"
xdotool mousemove --sync $((CLIENT_X + 30)) $((WIN_Y + 10)) click 1
sleep 0.5
shot export-cancel-00-file-menu
xdotool key e  # 動画に書き出し(&E)
dlg=$(wait_window "動画に書き出し" 20) || fail "no save dialog"
xdotool windowfocus --sync "$dlg"
sleep 0.5
xdotool key ctrl+a
# (An ASCII name: xdotool types Japanese through a remapped key, which a busy server may drop.)
xdotool type --delay 10 "$OUT/lecture.mp4"
xdotool key Return
# The quality: the proposal (標準 the first time) taken as it is.
answer_box export-cancel-00-quality Return 30
progress=$(wait_window "^KemoEditor$" 30) || fail "no progress dialog"

# Three seconds of the export: the dialog is redrawn (its time goes on) and the work folder stays small.
largest=0
first=$WORK/first.png
import -window "$progress" "$first"
for _ in $(seq 1 15); do
  size=$(du -sk "$XDG_CACHE_HOME" 2>/dev/null | cut -f1)
  [ "${size:-0}" -gt "$largest" ] && largest=$size
  sleep 0.2
done
shot export-cancel-01-progress
second=$WORK/second.png
import -window "$progress" "$second"
cmp -s "$first" "$second" && fail "the progress dialog was not redrawn in 3 s"

# キャンセル: the dialog goes and the message says so, promptly.
focus "$progress"
started=$(date +%s%N)
xdotool key Escape
box=""
for _ in $(seq 1 300); do
  for id in $(xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null); do
    [ "$id" != "$progress" ] && box=$id
  done
  [ -n "$box" ] && break
  sleep 0.05
done
[ -n "$box" ] || fail "no message after the cancel"
ended=$(date +%s%N)
shot export-cancel-02-message
echo "cancelled in $(((ended - started) / 1000000)) ms; work folders peaked at ${largest} kB"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
sleep 0.5

leftover=$(find "$OUT" -mindepth 1 | head -5)
[ -z "$leftover" ] || fail "left in the output folder: $leftover"
work=$(find "$XDG_CACHE_HOME" -path '*export-*' | head -5)
[ -z "$work" ] || fail "left in the work folder: $work"
[ "$largest" -lt 300000 ] || fail "the work folder reached ${largest} kB"
kill -0 "$EDITOR_PID" || fail "the editor ended"
echo "PASS export_cancel: 3600 slides, the dialog redrawn, cancelled, nothing left"
