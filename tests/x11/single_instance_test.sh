#!/usr/bin/env bash
# One window per user and display on the real executable: ten double starts, the second 0-100 ms
# after the first, each give one window (the second start ends by itself); a start after the first
# was killed with SIGKILL (its socket file left behind) gives a window again.
source "$(dirname "$0")/lib.sh"
start_x

count_windows() { xdotool search --onlyvisible --name "Kemo.Editor" 2>/dev/null | wc -l; }

# Ends the editor $1 and waits until it is gone and its window has left the screen.
end_editor() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 1 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
  for _ in $(seq 1 100); do [ "$(count_windows)" -eq 0 ] && return 0; sleep 0.05; done
  fail "a window stayed after its editor ended"
}

for round in $(seq 0 9); do
  delay_ms=$((round * 11))
  "$EDITOR_BIN" >"$WORK/first-$round.log" 2>&1 &
  first=$!
  sleep "$(printf '0.%03d' "$delay_ms")"
  "$EDITOR_BIN" >"$WORK/second-$round.log" 2>&1 &
  second=$!
  wait_window "Kemo.Editor" 20 >/dev/null || fail "round $round: no window at all"
  # Whichever took the lock shows the window; the other hands over and ends by itself.
  for _ in $(seq 1 200); do
    if ! kill -0 "$first" 2>/dev/null || ! kill -0 "$second" 2>/dev/null; then break; fi
    sleep 0.05
  done
  if kill -0 "$first" 2>/dev/null; then survivor=$first; ended=$second; else survivor=$second; ended=$first; fi
  EDITOR_PID=$survivor
  if kill -0 "$ended" 2>/dev/null; then
    kill "$first" "$second" 2>/dev/null
    fail "round $round (${delay_ms} ms): both starts are still running"
  fi
  wait "$ended" || fail "round $round: the start that handed over failed"
  kill -0 "$survivor" 2>/dev/null || fail "round $round: neither start runs"
  # Give a wrongly opened second window time to show.
  sleep 0.6
  n=$(count_windows)
  [ "$n" -eq 1 ] || { kill "$survivor" 2>/dev/null; fail "round $round (${delay_ms} ms): $n editor windows"; }
  end_editor "$survivor"
  echo "round $round (${delay_ms} ms apart): one window"
done

# A first start killed outright leaves its socket file; the next start still shows a window, and
# a start after that is forwarded to it.
"$EDITOR_BIN" >"$WORK/killed.log" 2>&1 &
killed=$!
wait_window "Kemo.Editor" 20 >/dev/null || fail "no window before the kill"
kill -9 "$killed"
wait "$killed" 2>/dev/null || true
for _ in $(seq 1 100); do [ "$(count_windows)" -eq 0 ] && break; sleep 0.05; done
ls "$XDG_RUNTIME_DIR"/kemo-editor-*.socket >/dev/null 2>&1 || fail "the killed editor left no socket file (the test proves nothing)"
"$EDITOR_BIN" >"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
wait_window "Kemo.Editor" 20 >/dev/null || fail "no window after the first editor was killed"
timeout 10 "$EDITOR_BIN" >"$WORK/after-kill.log" 2>&1 || fail "the start after the restart did not end cleanly"
sleep 1
[ "$(count_windows)" -eq 1 ] || fail "$(count_windows) editor windows after the kill and two starts"
echo "PASS single instance: ten double starts gave one window each; a killed editor's socket was taken over"
