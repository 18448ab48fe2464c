#!/usr/bin/env bash
# The real executable under a real X server, driven through its menus and keys: a data folder whose
# content.xml does not parse is opened and every save route is tried (上書き保存, the save question of
# フォルダ指定 and of 新規作成, 名前を付けて保存 into the same folder); after each, the file's original
# bytes are still on disk. Then, in a good folder, three saves within one minute keep the original
# bytes in a backup.
source "$(dirname "$0")/lib.sh"

BROKEN="$WORK/broken"
GOOD="$WORK/good"
mkdir -p "$BROKEN" "$GOOD"
# An unescaped "&": the parser refuses the file.
printf '<?xml version="1.0" encoding="UTF-8"?>\n<content><slide><scene pos="0" caption="Q&A" image="000.jpg"/></slide><cursor><p t="1" x="0.5" y="0.5"/></cursor></content>\n' >"$BROKEN/content.xml"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide><scene pos="0" caption="first" image="000.jpg"/><scene pos="12.5" caption="second" image="001.jpg"/></slide>\n<cursor><p t="0.5" x="0.50" y="0.25"/></cursor>\n</content>\n' >"$GOOD/content.xml"
for d in "$BROKEN" "$GOOD"; do
  printf 'FLV\001\005\000\000\000\011' >"$d/Video.flv"
  printf 'RIFF\004\000\000\000AVI ' >"$d/Video.avi"
done
cp "$BROKEN/content.xml" "$WORK/broken.orig"
cp "$GOOD/content.xml" "$WORK/good.orig"

broken_kept() {
  cmp -s "$BROKEN/content.xml" "$WORK/broken.orig" || fail "$1: content.xml of the unread folder was replaced"
  if ls "$BROKEN"/content-backup-* >/dev/null 2>&1; then fail "$1: a backup was written although nothing was saved"; fi
}

# No window whose name matches $1 shows up within a second.
no_window() {
  sleep 1
  if xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then
    shot "unexpected-window"
    fail "a window '$1' came up: $2"
  fi
}

# Opens the File menu and picks the n-th item (disabled items count, the separator does not).
file_menu() {
  xdotool windowfocus --sync "$wid"
  xdotool mousemove --sync $((CLIENT_X + 30)) $((WIN_Y + 10)) click 1
  sleep 0.5
  for _ in $(seq 1 "$1"); do xdotool key Down; done
  xdotool key Return
}

# answer_box without the screenshot, for the saves that must fit into one minute.
answer_quick() {
  local id
  id=$(wait_window "^KemoEditor$" 30) || fail "no message box at step $1"
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  xdotool key "${2:-Return}"
  for _ in $(seq 1 50); do
    xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | grep -qx "$id" || return 0
    sleep 0.1
  done
  fail "the message box of step $1 did not close"
}

start_x
launch_editor

# Open the folder: the parser's reason.
open_folder "$BROKEN"
answer_box u01-parse-error
wait_title "$wid" "broken"
broken_kept "open"

# 上書き保存: はい, then いいえ to replacing the file that was not read.
file_menu 7
answer_box u02-save-question Return
answer_box u03-unread-question Escape
broken_kept "上書き保存 declined"

# A change (a slide inserted at the time shown), so that New and Open offer to save it.
xdotool windowfocus --sync "$wid"
xdotool key F3
answer_box u04-insert-question Return

# フォルダ指定: はい to saving, いいえ to replacing: the command stops, no folder is asked for.
xdotool windowfocus --sync "$wid"
xdotool key ctrl+o
answer_box u05-open-save-question Return
answer_box u06-open-unread-question Escape
no_window "KemoRecorderのデータフォルダを指定してください" "フォルダ指定 went on after a save that did not happen"
broken_kept "フォルダ指定 declined"

# 新規作成: はい, the same folder as the place to save, いいえ to replacing: stops before the video dialog.
xdotool windowfocus --sync "$wid"
xdotool key ctrl+n
answer_box u07-new-save-question Return
pick_folder "保存するフォルダを指定してください" "$BROKEN"
answer_box u08-new-unread-question Escape
no_window "FLVファイルを指定してください" "新規作成 went on after a save that did not happen"
broken_kept "新規作成 declined"
wait_title "$wid" "broken"

# 名前を付けて保存 into the same folder: いいえ to replacing.
file_menu 4
pick_folder "保存するフォルダを指定してください" "$BROKEN"
answer_box u09-saveas-unread-question Escape
broken_kept "名前を付けて保存 declined"

# 上書き保存 with はい to replacing: saved, and the original bytes are in the backup.
file_menu 7
answer_box u10-save-question Return
answer_box u11-unread-question Return
answer_box u12-saved Return
cmp -s "$BROKEN/content.xml" "$WORK/broken.orig" && fail "the agreed save did not write content.xml"
grep -q '<scene ' "$BROKEN/content.xml" || fail "the saved content.xml holds no slide"
kept=""
for b in "$BROKEN"/content-backup-*.xml; do cmp -s "$b" "$WORK/broken.orig" && kept=$b; done
[ -n "$kept" ] || fail "no backup holds the original bytes of the unread file"

# The good folder: three saves within one minute.
xdotool windowfocus --sync "$wid"
open_folder "$GOOD"
wait_title "$wid" "good"
sleep 0.5
# Three saves take a few seconds: with 20 left in the minute they share it.
sec=$((10#$(date +%S)))
if [ "$sec" -gt 40 ]; then sleep $((61 - sec)); fi
minute=$(date +%y%m%d-%H%M)
for i in 1 2 3; do
  file_menu 7
  answer_quick "good-save-question-$i"
  answer_quick "good-saved-$i"
done
shot u13-good-saved
[ "$(date +%y%m%d-%H%M)" = "$minute" ] || echo "note: the saves crossed into the next minute"
count=$(ls "$GOOD"/content-backup-*.xml 2>/dev/null | wc -l)
[ "$count" -eq 3 ] || fail "$count backups after three saves: $(ls "$GOOD")"
ls "$GOOD/content-backup--$minute.xml" "$GOOD/content-backup--$minute-2.xml" >/dev/null 2>&1 ||
  [ "$(date +%y%m%d-%H%M)" != "$minute" ] || fail "the backups of one minute are not named with a counter: $(ls "$GOOD")"
kept=""
for b in "$GOOD"/content-backup-*.xml; do cmp -s "$b" "$WORK/good.orig" && kept=$b; done
[ -n "$kept" ] || fail "no backup holds the original bytes after three saves"

# Exit (Ctrl+X).
xdotool windowfocus --sync "$wid"
xdotool key ctrl+x
answer_box u15-exit-question
for _ in $(seq 1 100); do
  kill -0 "$EDITOR_PID" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$EDITOR_PID" 2>/dev/null && fail "the editor did not end after the exit question"
EDITOR_PID=""
echo "PASS unread content: every save route kept broken/content.xml; after three saves in $minute the original is in $(basename "$kept")"
