#!/usr/bin/env bash
# First the moments where recovery used to stop without a word, each with kill -9: a journal kept
# from a crash in the way of new work, a crash while the report of a save is up or after an undo
# back to the saved file, a second editor (a display of its own) beside a running one, new content
# (新規作成) whose work folder must outlive its editor.
# Then the real editor killed (kill -9) at 20 different moments of an editing session of 20 changes of
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

# Answers the next message box with Return (はい / OK), or the key $2 (Escape: いいえ); false when
# none came or the editor is gone.
answer() {
  local id="" limit=${1:-8} with=${2:-Return}
  for _ in $(seq 1 $((limit * 20))); do
    alive || return 1
    id=$(xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.05
  done
  [ -n "$id" ] || return 1
  local try
  for try in 1 2; do
    # A key that got lost on a busy machine goes once more.
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    xdotool key "$with" 2>/dev/null || true
    for _ in $(seq 1 60); do
      xdotool search --onlyvisible --name "^KemoEditor$" 2>/dev/null | grep -qx "$id" || return 0
      sleep 0.05
    done
  done
  return 1
}

# Starts the editor: $2 "dialog" opens the folder through フォルダ指定, "argument" names it on the
# command line, "bare" opens nothing (the start's own restore question opens it).
start_editor() {
  local args=()
  [ "$2" = argument ] && args=("$FOLDER")
  KEMO_HISTORY_TRACE=$1 "$EDITOR_BIN" "${args[@]}" >>"$WORK/editor.log" 2>&1 &
  EDITOR_PID=$!
  wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear"
  sleep 0.3
  locate_client "$wid"
  [ "$2" = dialog ] || return 0
  xdotool windowfocus --sync "$wid"
  xdotool key ctrl+o
  local dlg
  dlg=$(wait_window "KemoRecorderのデータフォルダを指定してください" 10) || fail "no folder dialog"
  xdotool windowfocus --sync "$dlg"
  sleep 0.2
  xdotool type --delay 5 "$FOLDER"
  xdotool key Return
}

# In the random kills an editor gone is the end of its session; in the named moments a failure.
gone() { [ -n "${STRICT:-}" ] && fail "the editor ended unexpectedly"; exit 0; }
key() { alive || gone; xdotool windowfocus "$wid" 2>/dev/null || true; xdotool key "$@" 2>/dev/null || true; sleep 0.04; }
asked() { key "$@"; answer || { alive || gone; }; }

# A recorded run: recording on (the video plays), a drag over the slide, recording off.
record_run() {
  key F5
  sleep 0.3
  alive || exit 0
  local sx=$((CLIENT_X + (3840 + 1500 + RANDOM % 3000) / 15)) sy=$((CLIENT_Y + (480 + 1500 + RANDOM % 2000) / 15))
  xdotool mousemove --sync "$sx" "$sy" mousedown 1 2>/dev/null || exit 0
  for i in $(seq 1 6); do
    xdotool mousemove --sync $((sx + i * 9)) $((sy + i * 5)) 2>/dev/null || exit 0
    sleep 0.04
  done
  xdotool mouseup 1 2>/dev/null || exit 0
  key F5
  sleep 0.3
}

# Writes how far the session came when KEMO_TEST_VERBOSE is set.
mark() { [ -n "${KEMO_TEST_VERBOSE:-}" ] && echo "step $1 at $(( ($(date +%s%N) - began) / 1000000 )) ms, $(grep -c '^done' "$trace") states" >&2; return 0; }

# The 20 changes.
session() {
  asked F8; mark 1          # point delete
  key F9; mark 2            # point shown
  key Down; key F9; mark 3  # the next point shown
  key ctrl+z; mark 4        # undo
  key ctrl+y; mark 5        # redo
  asked F3; mark 6          # slide insert
  asked F2; mark 7          # slide delete
  record_run; mark 8        # a recorded run...
  alive || exit 0           # ...registered (登録 on the recording panel: question, report)
  xdotool mousemove --sync $((CLIENT_X + (11400 + 1865 + 250) / 15)) $((CLIENT_Y + (120 + 240 + 157) / 15)) click 1 2>/dev/null || exit 0
  answer || { alive || exit 0; }
  answer || { alive || exit 0; }
  mark 9
  key F9; mark 10           # point hidden
  asked F8; mark 11         # point delete
  key ctrl+z; mark 12       # undo
  key Down; asked F8; mark 13  # another point deleted
  key F9; mark 14           # point shown
  asked F3; mark 15         # slide insert
  key ctrl+z; mark 16       # undo
  record_run; mark 17       # a recorded run left unregistered
  asked F8; mark 18         # point delete
  key ctrl+z; mark 19       # undo
  key ctrl+y; mark 20       # redo
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
  echo "repetition $rep: restored ${line#* } ($(grep -c '^done' "$trace") states journaled before the kill)"
}

journals() { ls "$JOURNALS"/*.journal 2>/dev/null | wc -l; }
dones() { [ -f "$1" ] || { echo 0; return; }; grep -c '^done' "$1" || true; }
# Waits until the trace $1 holds $2 journaled states and no more come for a moment.
settled() {
  local n=0 last=-1
  for _ in $(seq 1 100); do
    n=$(dones "$1")
    [ "$n" -ge "$2" ] && [ "$n" -eq "$last" ] && return 0
    last=$n
    sleep 0.3
  done
  return 1
}
crash() { kill -9 "$EDITOR_PID" 2>/dev/null || true; wait "$EDITOR_PID" 2>/dev/null || true; EDITOR_PID=""; sleep 0.3; }
fresh() { rm -rf "$FOLDER" "$JOURNALS"; cp -r "$PRISTINE" "$FOLDER"; }
no_box_for() { ! wait_window "^KemoEditor$" "$1" >/dev/null; }

STRICT=1
# A kept journal is not in the way: a point deleted, killed; content.xml changed by another program;
# the next editor's "cannot be restored" answered いいえ (kept); three points deleted, killed. The
# next start restores the three deletions.
fresh
start_editor "$WORK/k1" argument
wait_title "$wid" "lecture" 20
asked F8
settled "$WORK/k1" 2 || fail "kept journal: the first deletion was not journaled"
crash
printf ' ' >>"$FOLDER/content.xml"
start_editor "$WORK/k2" argument
answer 15 Escape || fail "kept journal: no question about the changed content.xml"
wait_title "$wid" "lecture" 20
for _ in 1 2 3; do asked F8; done
settled "$WORK/k2" 4 || fail "kept journal: the new work reached no journal"
crash
[ "$(journals)" -eq 2 ] || fail "kept journal: $(journals) journals instead of the kept one and the new one"
start_editor "$WORK/k3" argument
answer 15 || fail "kept journal: the new work was not offered"
answer 8 || true  # the kept one still cannot be restored: discarded
for _ in $(seq 1 50); do grep -q '^restored' "$WORK/k3" && break; sleep 0.1; done
check_restore "$WORK/k2" "$WORK/k3" "kept journal"
crash

# A crash while 「保存しました」 is up, and one after an undo back to the saved file, leave nothing.
fresh
start_editor "$WORK/s1" argument
wait_title "$wid" "lecture" 20
asked F8
settled "$WORK/s1" 2 || fail "save: the deletion was not journaled"
key ctrl+s
answer 8 || fail "save: no question 上書き保存します"
wait_window "^KemoEditor$" 10 >/dev/null || fail "save: no report of the save"
crash
[ "$(journals)" -eq 0 ] || fail "save: a journal is left of work that was saved"
start_editor "$WORK/s2" argument
wait_title "$wid" "lecture" 20
no_box_for 3 || fail "save: the start asked about the saved work"
asked F8
settled "$WORK/s2" 2 || fail "undo: the deletion was not journaled"
key ctrl+z
sleep 1
crash
[ "$(journals)" -eq 0 ] || fail "undo: a journal is left of tables equal to the saved file"
echo "saved work leaves no journal"

# A second editor of the same user beside a running one (the same X server under another display
# name, so that the two do not meet as one program): the running one's journal is never offered;
# the second opens the folder only after the question, with a journal of its own.
fresh
start_editor "$WORK/o1" argument
wait_title "$wid" "lecture" 20
asked F8
settled "$WORK/o1" 2 || fail "two editors: the first editor's deletion was not journaled"
first_pid=$EDITOR_PID
first_wid=$wid
first_journal=$(ls "$JOURNALS"/*.journal)
DISPLAY=$DISPLAY.0 KEMO_HISTORY_TRACE=$WORK/o2 "$EDITOR_BIN" >>"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
for _ in $(seq 1 200); do
  wid=$(xdotool search --onlyvisible --pid "$EDITOR_PID" --name "Kemo.Editor" 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "two editors: the second window did not appear"
no_box_for 3 || fail "two editors: the second editor offered the running one's work"
crash
DISPLAY=$DISPLAY.0 KEMO_HISTORY_TRACE=$WORK/o2 "$EDITOR_BIN" "$FOLDER" >>"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
answer 20 || fail "two editors: no question before opening the folder open in the other editor"
for _ in $(seq 1 200); do
  wid=$(xdotool search --onlyvisible --pid "$EDITOR_PID" --name "lecture" 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "two editors: the second editor did not open the folder"
# Without a window manager the keys would reach the first window: it is out of the way meanwhile.
xdotool windowunmap --sync "$first_wid"
locate_client "$wid"
# A click activates the second window (no window manager does it), on the first point's row.
click_twips 500 4900
sleep 0.5
asked F8
settled "$WORK/o2" 2 || { shot two-editors; fail "two editors: the second editor's work reached no journal (the first journaled $(dones "$WORK/o1") states)"; }
grep -q '^restored' "$WORK/o2" && fail "two editors: the running editor's work was restored by the second"
[ -f "$first_journal" ] || fail "two editors: the running editor's journal was removed"
[ "$(journals)" -eq 2 ] || fail "two editors: $(journals) journals instead of one each"
crash
EDITOR_PID=$first_pid
kill -0 "$EDITOR_PID" || fail "two editors: the first editor ended"
crash
echo "two editors keep a journal each"

# New content: 新規作成 from the FLV, converted, two slides inserted, killed; the ended
# editor's work folder older than the grace after which a start removes those of ended editors.
# The next start brings the session back: the converted video, the tables, still new content.
rm -rf "$JOURNALS"
start_editor "$WORK/n1" bare
focus "$wid"
xdotool key ctrl+n
dlg=$(wait_window "FLVファイルを指定してください" 30) || fail "new: no FLV file dialog"
focus "$dlg"
sleep 0.3
xdotool type --delay 5 "$PRISTINE/Video.flv"
xdotool key Return
answer 20 || fail "new: no conversion hint"
focus "$wid"
xdotool key ctrl+q
answer 20 || fail "new: no conversion question"
# The converted video lands in the new content's folder at the conversion's end; then its report.
for _ in $(seq 1 2400); do ls "$XDG_CACHE_HOME"/kemo-editor/run-*/new/Video.avi >/dev/null 2>&1 && break; sleep 0.1; done
ls "$XDG_CACHE_HOME"/kemo-editor/run-*/new/Video.avi >/dev/null 2>&1 || fail "new: the conversion did not end"
sleep 1
while answer 3; do :; done
wait_title "$wid" "動作モード\[静止\]" 30
focus "$wid"
sleep 0.5
asked F3
asked F3
settled "$WORK/n1" 2 || { shot new-content; fail "new: the inserted slides were not journaled"; }
crash
touch -d '-5 min' "$XDG_CACHE_HOME"/kemo-editor/run-*.lock
start_editor "$WORK/n2" bare
answer 15 || fail "new: the work of new content was not offered"
wait_title "$wid" "動作モード\[静止\]" 30
for _ in $(seq 1 50); do grep -q '^restored' "$WORK/n2" && break; sleep 0.1; done
check_restore "$WORK/n1" "$WORK/n2" "new content"
[ "$(ls -d "$XDG_CACHE_HOME"/kemo-editor/run-*/new/Video.avi | wc -l)" -eq 1 ] ||
  fail "new: the converted video did not come back (or the ended editor's folder stayed)"
crash
echo "new content comes back with its work folder"
STRICT=""

# One folder for the whole run: each start restores what the killed one left and works on from there.
rm -rf "$FOLDER" "$JOURNALS"
cp -r "$PRISTINE" "$FOLDER"

# Session 0 runs to its end (its length spaces the kills of the others); session 21 only restores.
with_run=0
last=${KEMO_TEST_LAST_REP:-20}
for rep in $(seq 0 $((last + 1))); do
  trace=$WORK/trace-$rep
  : >"$trace"
  if [ "$rep" -eq 0 ]; then
    start_editor "$trace" dialog
    wait_title "$wid" "lecture" 20
  elif ls "$JOURNALS"/*.journal >/dev/null 2>&1; then
    # The work is offered at start (naming the folder, which はい opens) or when the folder opens.
    if [ $((rep % 2)) -eq 1 ]; then how=bare; else how=argument; fi
    start_editor "$trace" "$how"
    answer 15 || fail "repetition $((rep - 1)): no restore question ($how start)"
    [ "$how" = bare ] && wait_title "$wid" "lecture" 20
    for _ in $(seq 1 50); do grep -q '^restored' "$trace" && break; sleep 0.1; done
    check_restore "$WORK/trace-$((rep - 1))" "$trace" "$((rep - 1))"
    grep -q '^restored .* rec=[1-9]' "$trace" && with_run=$((with_run + 1))
  else
    grep -q '^done' "$WORK/trace-$((rep - 1))" &&
      fail "repetition $((rep - 1)): states were journaled but no journal is left"
    echo "repetition $((rep - 1)): killed before the first change"
    start_editor "$trace" argument
    wait_title "$wid" "lecture" 20
  fi
  [ "$rep" -gt "$last" ] && break
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
  EDITOR_PID=""
  # Message boxes of the killed editor vanish with it.
  sleep 0.2
done
kill -9 "$EDITOR_PID" 2>/dev/null || true
EDITOR_PID=""
[ "$with_run" -gt 0 ] || fail "no repetition restored a recorded run"
echo "PASS crash recovery: $((last + 1)) kills, $with_run restores with a recorded run"
