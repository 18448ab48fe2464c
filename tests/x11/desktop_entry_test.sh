#!/usr/bin/env bash
# The desktop entry as a file manager uses it: `gio launch` of the installed entry with a folder whose
# name has blanks and Japanese (its Exec line's %f expanded as freedesktop.org's desktop-entry rules say)
# starts the editor with that folder open. The start, with the video played, happens on a machine
# without a sound device (no sound server, no sound card): its stderr must hold no line of the sound
# libraries (ALSA, PulseAudio, OpenAL).
source "$(dirname "$0")/lib.sh"
command -v gio >/dev/null && gio help launch >/dev/null 2>&1 ||
  { echo "SKIP: gio launch is not available (scripts/setup-deps --test installs libglib2.0-bin)"; exit 77; }
here=$(cd "$(dirname "$0")/../.." && pwd)
FOLDER="$WORK/講義 2026 第1回 (月曜)"
make_folder "$FOLDER" 4 avi

# The entry as installed, and kemo-editor found on the PATH as it would be in /usr/bin.
mkdir -p "$WORK/apps" "$WORK/bin"
cp "$here/packaging/org.kemo.editor.desktop" "$WORK/apps/"
ln -s "$(readlink -f "$EDITOR_BIN")" "$WORK/bin/kemo-editor"
export PATH="$WORK/bin:$PATH"
export XDG_CONFIG_HOME=$WORK/config

# No sound device: no sound server of the session or the system, no sound card, no fake sink.
unset GST_PLUGIN_FEATURE_RANK PULSE_SERVER PULSE_RUNTIME_PATH
silent=1
if [ -e /run/pulse/native ] || ls /dev/snd/pcmC*p >/dev/null 2>&1; then
  silent=0
  echo "this machine has a sound device: the quiet start is not checked"
fi

start_x
gio launch "$WORK/apps/org.kemo.editor.desktop" "$FOLDER" >"$WORK/editor.log" 2>"$WORK/editor.err" ||
  fail "gio launch: $(cat "$WORK/editor.err")"
wid=$(wait_window "Kemo.Editor" 30) || fail "the editor window did not appear"
EDITOR_PID=$(xdotool getwindowpid "$wid")
wait_title "$wid" "［$FOLDER\] *動作モード\[静止\]" 30
shot desktop-entry-01-opened
# The video plays (the sound libraries would be asked for a device now) and stops again.
focus "$wid"
xdotool key space
sleep 2
xdotool key space
sleep 1
shot desktop-entry-02-played
kill "$EDITOR_PID"
for _ in $(seq 1 100); do kill -0 "$EDITOR_PID" 2>/dev/null || break; sleep 0.1; done
EDITOR_PID=""

echo "--- the editor's stderr:"
cat "$WORK/editor.err"
if [ "$silent" = 1 ]; then
  sound=$(grep -Ei 'alsa|pulse|AL lib|pa_context|snd_|Failed to connect' "$WORK/editor.err" || true)
  [ -z "$sound" ] || fail "the sound libraries wrote on stderr: $sound"
fi
echo "PASS desktop entry: gio launch opened '$FOLDER'$([ "$silent" = 1 ] && echo ', no line of the sound libraries')"
