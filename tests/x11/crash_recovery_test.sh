#!/usr/bin/env bash
# The real editor killed (kill -9) at 20 different moments of an editing session of 20 changes of
# every kind (point delete, insert, show, slide insert and delete, undo, redo, a recorded run
# registered, a recorded run left unregistered). Each time the editor is started again, the folder
# opened and the restore question answered with はい: the tables and the recorded run must be as the
# last change that had returned left them (or as the one in progress, if its record was written).
# With KEMO_HISTORY_TRACE the editor writes a digest of each state just before ("pending") and after
# ("done") its journal record, and of the state it restored.
source "$(dirname "$0")/lib.sh"
here=$(cd "$(dirname "$0")/../.." && pwd)
PRISTINE="$WORK/pristine"
FOLDER="$WORK/lecture"
"$here/scripts/make-sample" "$PRISTINE" >/dev/null
( cd "$PRISTINE" && ffmpeg -y -loglevel error -nostdin -i Video.flv -acodec wmav2 -vcodec msmpeg4v2 -ab 64k \
    -b:v 512k -ac 2 -s 240x160 Video.avi )
export XDG_STATE_HOME=$WORK/state
JOURNALS=$XDG_STATE_HOME/kemo-editor/recovery
start_x

alive() { kill -0 "$EDITOR_PID" 2>/dev/null; }

# Answers the next message box with Return (はい / OK); false when none came or the editor is gone.
answer() {
  local id="" limit=${1:-8}
  for _ in $(seq 1 $((limit * 20))); do
    alive || return 1
    id=$(xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.05
  done
  [ -n "$id" ] || return 1
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  xdotool key Return 2>/dev/null || true
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | grep -qx "$id" || return 0
    sleep 0.05
  done
  return 1
}

start_editor() {
  KEMO_HISTORY_TRACE=$1 "$EDITOR_BIN" >>"$WORK/editor.log" 2>&1 &
  EDITOR_PID=$!
  wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear"
  sleep 0.3
  locate_client "$wid"
  xdotool windowfocus --sync "$wid"
  xdotool key ctrl+o
  local dlg
  dlg=$(wait_window "KemoRecorderのデータフォルダを指定してください" 10) || fail "no folder dialog"
  xdotool windowfocus --sync "$dlg"
  sleep 0.2
  xdotool type --delay 5 "$FOLDER"
  xdotool key Return
}

key() { alive || exit 0; xdotool windowfocus "$wid" 2>/dev/null || true; xdotool key "$@" 2>/dev/null || true; sleep 0.08; }
asked() { key "$@"; answer || { alive || exit 0; }; }

# A recorded run: recording on (the video plays), a drag over the slide, recording off.
record_run() {
  key F5
  sleep 0.4
  alive || exit 0
  local sx=$((CLIENT_X + (3840 + 1500 + RANDOM % 3000) / 15)) sy=$((CLIENT_Y + (480 + 1500 + RANDOM % 2000) / 15))
  xdotool mousemove --sync "$sx" "$sy" mousedown 1 2>/dev/null || exit 0
  for i in $(seq 1 8); do
    xdotool mousemove --sync $((sx + i * 9)) $((sy + i * 5)) 2>/dev/null || exit 0
    sleep 0.05
  done
  xdotool mouseup 1 2>/dev/null || exit 0
  key F5
  sleep 0.3
}

# The 20 changes.
session() {
  asked F8          # 1 point delete
  key F9            # 2 point shown
  asked F7          # 3 point insert
  key ctrl+z        # 4 undo
  key ctrl+y        # 5 redo
  asked F3          # 6 slide insert
  asked F2          # 7 slide delete
  record_run        # 8 a recorded run...
  alive || exit 0   # 9 ...registered (登録 on the recording panel: question, report)
  xdotool mousemove --sync $((CLIENT_X + (11400 + 1865 + 250) / 15)) $((CLIENT_Y + (120 + 240 + 157) / 15)) click 1 2>/dev/null || exit 0
  answer || { alive || exit 0; }
  answer || { alive || exit 0; }
  key F9            # 10 point hidden
  asked F8          # 11 point delete
  key ctrl+z        # 12 undo
  asked F7          # 13 point insert
  key F9            # 14 point shown
  asked F3          # 15 slide insert
  key ctrl+z        # 16 undo
  record_run        # 17 a recorded run left unregistered
  asked F8          # 18 point delete
  key ctrl+z        # 19 undo
  key ctrl+y        # 20 redo
}

# Checks the restored digest against the trace of the killed session.
check_restore() {
  local trace=$1 restored=$2 rep=$3
  local line allowed
  # The states a restore may give: the last "done" one, or one "pending" after it.
  allowed=$(awk '$1 == "done" { a = $2 " " $3; p = "" } $1 == "pending" { p = p " " $2 } END { print a; n = split(p, q, " "); for (i = 1; i <= n; i++) print q[i] }' "$trace")
  line=$(awk '$1 == "restored" { print $2 " " $3 }' "$restored" | tail -1)
  [ -n "$line" ] || fail "repetition $rep: nothing was restored although a journal was left"
  echo "$allowed" | awk '{print $1}' | grep -qx "${line%% *}" ||
    fail "repetition $rep: the restored state ${line} is none of: $(echo "$allowed" | tr '\n' ',')"
  echo "repetition $rep: restored ${line#* } ($(grep -c '^done' "$trace") journaled states before the kill)"
}

fresh_folder() {
  rm -rf "$FOLDER" "$JOURNALS"
  cp -r "$PRISTINE" "$FOLDER"
}

# Repetition 0 runs the whole session to its end (its length spaces the kills of the others).
with_run=0
for rep in $(seq 0 20); do
  fresh_folder
  trace=$WORK/trace-$rep
  : >"$trace"
  start_editor "$trace"
  wait_title "$wid" "lecture" 20
  sleep 0.3
  began=$(date +%s%N)
  if [ "$rep" -eq 0 ]; then
    ( session ) || true
    sleep 0.3
    session_ms=$(( ($(date +%s%N) - began) / 1000000 ))
    echo "a whole session takes $session_ms ms"
  else
    # The kill moments spread over the whole session, each one shifted at random.
    delay_ms=$(( session_ms * (rep - 1) / 20 + RANDOM % (session_ms / 20 + 1) ))
    ( sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"; kill -9 "$EDITOR_PID" 2>/dev/null ) &
    killer=$!
    ( session ) || true
    wait "$killer" || true
  fi
  kill -9 "$EDITOR_PID" 2>/dev/null || true
  wait "$EDITOR_PID" 2>/dev/null || true
  # Message boxes of the killed editor vanish with it.
  sleep 0.2
  if ! ls "$JOURNALS"/*.journal >/dev/null 2>&1; then
    grep -q '^done' "$trace" && fail "repetition $rep: states were journaled but no journal is left"
    echo "repetition $rep: killed before the first change"
    EDITOR_PID=""
    continue
  fi
  restored=$WORK/restored-$rep
  : >"$restored"
  start_editor "$restored"
  answer 15 || fail "repetition $rep: no restore question"
  for _ in $(seq 1 50); do grep -q '^restored' "$restored" && break; sleep 0.1; done
  check_restore "$trace" "$restored" "$rep"
  grep -q '^restored .* rec=[1-9]' "$restored" && with_run=$((with_run + 1))
  [ "$rep" -eq 0 ] && shot crash-recovery-restored
  kill -9 "$EDITOR_PID" 2>/dev/null || true
  wait "$EDITOR_PID" 2>/dev/null || true
  EDITOR_PID=""
done
[ "$with_run" -gt 0 ] || fail "no repetition restored a recorded run"
echo "PASS crash recovery: 20 kills, $with_run restores with a recorded run"
