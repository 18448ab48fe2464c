#!/usr/bin/env bash
# The real editor under a real X server: the window comes up in the no-folder state with its exact
# caption, and a second start brings that window forward instead of opening another.
source "$(dirname "$0")/lib.sh"
start_x

start=$(date +%s%N)
"$EDITOR_BIN" >"$WORK/editor.log" 2>&1 &
EDITOR_PID=$!
wid=$(wait_window "Kemo.Editor" 20) || fail "the editor window did not appear"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "window visible after ${elapsed_ms} ms"

expected="Kemo.Editor  [Kemo.Recorderのデータフォルダが指定されていません] 動作モード[静止] 記録モード[OFF] 編集モード[OFF］"
title=$(xdotool getwindowname "$wid")
[ "$title" = "$expected" ] || fail "caption is '$title', expected '$expected'"
sleep 0.5
shot startup

# The second start must end by itself, without a window of its own.
if ! timeout 10 "$EDITOR_BIN" >"$WORK/second.log" 2>&1; then fail "the second start did not end cleanly"; fi
sleep 0.5
count=$(xdotool search --onlyvisible --name "Kemo.Editor" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || fail "$count editor windows after the second start"
kill -0 "$EDITOR_PID" 2>/dev/null || fail "the first editor ended"
echo "PASS startup: caption exact, second start shows no second window"
