#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) end the editor as 終了 does, without
# a question: it ends by itself with status 0, its work folder and its single-instance lock go, and
# the unsaved work stays in the recovery journal, so that the next start offers it, naming the folder
# (and a signal while that offer is open does not throw the work away).
source "$(dirname "$0")/lib.sh"
FOLDER="$WORK/講義 第2回"
make_folder "$FOLDER" 4 avi
sed -i 's|</cursor>|<p t="1" x="0.25" y="0.75"/></cursor>|' "$FOLDER/content.xml"
export XDG_CONFIG_HOME=$WORK/config
JOURNALS=$XDG_STATE_HOME/kemo-editor/recovery
start_x
# Job control: the editor started in the background does not inherit SIGINT ignored, as it would from
# a script without it (a signal ignored at the start stays ignored, as after nohup).
set -m

for sig in TERM INT HUP; do
  rm -rf "$JOURNALS"
  launch_editor "$FOLDER"
  wait_title "$wid" "［$FOLDER\] *動作モード\[静止\]" 30
  # Unsaved work: the current mouse point deleted (F8, confirmed).
  focus "$wid"
  xdotool key F8
  answer_box "signal-$sig-01-delete"
  ls "$JOURNALS"/*.journal >/dev/null 2>&1 || fail "SIG$sig: the change left no recovery journal"
  kill -s "$sig" "$EDITOR_PID"
  status=""
  for _ in $(seq 1 150); do
    if ! kill -0 "$EDITOR_PID" 2>/dev/null; then wait "$EDITOR_PID" && status=0 || status=$?; break; fi
    sleep 0.1
  done
  [ -n "$status" ] || { shot "signal-$sig-02-still-running"; fail "SIG$sig: the editor did not end"; }
  EDITOR_PID=""
  [ "$status" = 0 ] || fail "SIG$sig: the editor ended with status $status, not as a normal end"
  ls "$JOURNALS"/*.journal >/dev/null 2>&1 || fail "SIG$sig: the recovery journal went with the editor"
  left=$(ls -A "$XDG_CACHE_HOME/kemo-editor" 2>/dev/null || true)
  [ -z "$left" ] || fail "SIG$sig: the work folder stayed: $left"

  # The next start (no folder named) offers the work, naming the folder. A signal while the offer is
  # open ends the editor without taking it for an answer: the journal stays for the start after.
  launch_editor
  if [ "$sig" = TERM ]; then
    wait_window "^KemoEditor$" 30 >/dev/null || fail "SIG$sig: no restore offer at the next start"
    kill -s "$sig" "$EDITOR_PID"
    wait "$EDITOR_PID" || fail "SIG$sig: the editor ended with status $? during the offer"
    ls "$JOURNALS"/*.journal >/dev/null 2>&1 || fail "SIG$sig: a signal during the offer threw the work away"
    launch_editor
  fi
  id=$(wait_window "^KemoEditor$" 30) || fail "SIG$sig: no restore offer at the next start"
  answer_box "signal-$sig-03-offer"
  wait_title "$wid" "［$FOLDER\] *動作モード\[静止\]" 30
  [ "$(grep -o '<p ' "$FOLDER/content.xml" | wc -l)" = 2 ] || fail "SIG$sig: content.xml was changed without a save"
  # The restored editor ends the same way (the next round starts without a journal).
  kill -s "$sig" "$EDITOR_PID"
  wait "$EDITOR_PID" || fail "SIG$sig: the restored editor ended with status $?"
  EDITOR_PID=""
  echo "SIG$sig: ended with status 0, journal kept, work folder removed, restore offered at the next start"
done
echo "PASS termination signals: SIGTERM, SIGINT and SIGHUP end the editor keeping the unsaved work"
