#!/usr/bin/env bash
# A whole editing pass on the real executable under a real X server, driven as a user drives it:
# open the sample folder, convert its FLV with the real ffmpeg, play and pause, "+5", open the
# recording panel, record a run by dragging over the slide while the video plays, register it,
# insert a slide in slide editing and register it, save, exit. Afterwards content.xml on disk holds
# the new slide and the recorded points, and a backup exists. A screenshot of each step is kept.
source "$(dirname "$0")/lib.sh"
here=$(cd "$(dirname "$0")/../.." && pwd)
# xdotool types only ASCII reliably; the Japanese-path case is the conversion test's.
SAMPLE="$WORK/lecture sample"
"$here/scripts/make-sample" "$SAMPLE" >/dev/null
scenes_before=$(grep -o '<scene ' "$SAMPLE/content.xml" | wc -l)
points_before=$(grep -o '<p ' "$SAMPLE/content.xml" | wc -l)
start_x

launch_editor

# Open the sample folder with フォルダ指定 (Ctrl+O): the folder dialog takes the typed path.
xdotool key ctrl+o
dlg=$(wait_window "KemoRecorderのデータフォルダを指定してください" 10) || fail "no folder dialog"
xdotool windowfocus --sync "$dlg"
sleep 0.3
xdotool type --delay 10 "$SAMPLE"
shot 01-folder-dialog
xdotool key Return
answer_box 02-convert-hint
wait_title "$wid" "動作モード"
shot 03-opened

# Convert the FLV (Ctrl+Q): question, progress, completion.
xdotool windowfocus --sync "$wid"
xdotool key ctrl+q
answer_box 04-convert-question
# The progress dialog runs while ffmpeg works; the report follows the finished file.
for _ in $(seq 1 600); do [ -f "$SAMPLE/Video.avi" ] && break; sleep 0.1; done
[ -f "$SAMPLE/Video.avi" ] || fail "no Video.avi after the conversion"
sleep 1
answer_box 05-converted
# Nothing of the video stays in this editor's work folder.
left=$(find "$XDG_CACHE_HOME/kemo-editor" -type f -name 'Video.*' 2>/dev/null)
[ -z "$left" ] || fail "the conversion left in the work folder: $left"
sleep 1
shot 06-after-conversion

# The grid overlay on and off again (グリッドを表示).
click_twips $((3840 + 690)) $((120 + 137))
sleep 0.4
shot 06b-grid-shown
click_twips $((3840 + 690)) $((120 + 137))

# Play and pause with the player's own transport bar (the play button at its left end).
play_x=$((120 + 210)); play_y=$((360 + 3195 - 165))
click_twips $play_x $play_y
wait_title "$wid" "動作モード\[再生\]" 10
sleep 1.5
shot 07-playing
click_twips $play_x $play_y
wait_title "$wid" "動作モード\[静止\]" 10

# "+5".
click_twips $((2280 + 270)) $((3550 + 137))
sleep 0.8
shot 08-plus5

# The recording panel (F6), recording on (F5: the video plays), a drag over the slide, recording off.
xdotool windowfocus --sync "$wid"
xdotool key F6
sleep 0.5
shot 09-record-panel
xdotool key F5
wait_title "$wid" "記録モード\[ON\]" 10
sleep 0.5
sx=$((CLIENT_X + (3840 + 2000) / 15)); sy=$((CLIENT_Y + (480 + 2000) / 15))
xdotool mousemove --sync "$sx" "$sy" mousedown 1
for i in $(seq 1 25); do
  xdotool mousemove --sync $((sx + i * 8)) $((sy + i * 4))
  sleep 0.06
done
shot 10-recording
xdotool mouseup 1
sleep 0.3
xdotool key F5
wait_title "$wid" "記録モード\[OFF\]" 10
sleep 0.7
shot 11-recorded

# Register the run (登録 on the recording panel): one question, then the report.
click_twips $((11400 + 1865 + 250)) $((120 + 240 + 157))
answer_box 12-register-question
answer_box 13-registered

# Move the recording panel by dragging its title strip (the screenshot shows where it landed).
px=$((CLIENT_X + (11400 + 1000) / 15)); py=$((CLIENT_Y + (120 + 100) / 15))
xdotool mousemove --sync "$px" "$py" mousedown 1
for i in $(seq 1 10); do xdotool mousemove --sync $((px - i * 20)) $((py + i * 15)); sleep 0.03; done
xdotool mouseup 1
sleep 0.4
shot 13b-panel-moved

# Slide editing (F4), insert a slide at the time shown (F3), register (登録), close (F4).
xdotool windowfocus --sync "$wid"
xdotool key F4
sleep 0.5
shot 14-slide-edit
xdotool key F3
answer_box 15-insert-question
click_twips $((3840 + 9350 + 360)) $((7695 + 420 + 157))
answer_box 16-register-slides
if xdotool search --onlyvisible --name "^KemoEditor$" >/dev/null 2>&1; then answer_box 16b-registered; fi
xdotool windowfocus --sync "$wid"
xdotool key F4
sleep 0.5
if xdotool search --onlyvisible --name "^KemoEditor$" >/dev/null 2>&1; then answer_box 17-close-edit; fi
shot 17-edit-closed

# 上書き保存 from the File menu: question, then the report.
xdotool mousemove --sync $((CLIENT_X + 30)) $((WIN_Y + 10)) click 1
sleep 0.5
shot 18-file-menu
for _ in 1 2 3 4 5 6 7; do xdotool key Down; done  # 上書き保存, after the two exports
xdotool key Return
answer_box 19-save-question
answer_box 20-saved

# Exit (Ctrl+X).
xdotool windowfocus --sync "$wid"
xdotool key ctrl+x
answer_box 21-exit-question
for _ in $(seq 1 100); do
  kill -0 "$EDITOR_PID" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$EDITOR_PID" 2>/dev/null && fail "the editor did not end after the exit question"
EDITOR_PID=""
remaining=$(ls -A "$XDG_CACHE_HOME/kemo-editor" 2>/dev/null || true)
[ -z "$remaining" ] || fail "the work folder stayed after the editor ended: $remaining"

# What is on disk.
scenes_after=$(grep -o '<scene ' "$SAMPLE/content.xml" | wc -l)
[ "$scenes_after" -eq $((scenes_before + 1)) ] || fail "content.xml holds $scenes_after scenes, expected $((scenes_before + 1))"
ls "$SAMPLE"/content-backup--*.xml >/dev/null 2>&1 || fail "no backup of content.xml"
# The recorded run, sampled every 50 ms, replaced the sample's points of its span (one each 0.2 s).
points_after=$(grep -o '<p ' "$SAMPLE/content.xml" | wc -l)
[ "$points_after" -gt "$points_before" ] || fail "content.xml holds $points_after points, the sample $points_before"
cmp -s "$SAMPLE/content.xml" "$(ls "$SAMPLE"/content-backup--*.xml | head -1)" && fail "content.xml equals its backup"
echo "PASS end-to-end: $scenes_after scenes, backup $(basename "$(ls "$SAMPLE"/content-backup--*.xml | head -1)")"
