#!/usr/bin/env bash
# The package as a user gets it: the .deb is built with cpack, its contents and dependencies are
# checked, it is unpacked into a root-owned tree (as apt would put it under /usr, without touching
# this machine's /usr), and its kemo-editor is started there by a normal user under Xvfb: New from
# an FLV, convert, insert a slide, save into a folder of the user's, exit. Nothing may be written
# beside the program, nothing of the video may stay in the work folder, and the work folder goes
# with the editor.
# Needs root (to make the tree root-owned and to switch user); says SKIP otherwise.
source "$(dirname "$0")/lib.sh"
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: needs root to install and to switch to a normal user"; exit 77; fi
for tool in cpack dpkg-deb runuser ffmpeg; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
# The normal user: made for this run without a home of its own (its home is a temporary folder), and
# removed at the end, also after a failure (scripts/test removes it if this test was killed).
USER_NAME=kemo-test-user
MADE_USER=0
remove_user() { [ "$MADE_USER" = 1 ] && userdel "$USER_NAME" >/dev/null 2>&1; MADE_USER=0; }
trap 'cleanup; remove_user' EXIT
trap 'exit 143' TERM INT HUP
if ! id "$USER_NAME" >/dev/null 2>&1; then
  useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$USER_NAME" >/dev/null 2>&1 ||
    { echo "SKIP: no user to switch to ($USER_NAME could not be made)"; exit 77; }
  MADE_USER=1
fi
chmod 755 "$WORK"

# --- the package ---------------------------------------------------------------------------------
(cd "$BUILD_DIR" && cpack -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log"; fail "cpack -G DEB"; }
deb=$(ls "$WORK"/pkg/kemo-editor_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "cpack made no kemo-editor .deb"
echo "package: $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$WORK/files"
bins=$(grep '^/usr/bin/.' "$WORK/files" || true)
[ "$bins" = "/usr/bin/kemo-editor" ] || fail "under /usr/bin the package holds: $bins"
for f in /usr/share/kemo-editor/symbol.csv /usr/share/kemo-editor/000.jpg /usr/share/kemo-editor/temp/_content.xml \
         /usr/share/applications/org.kemo.editor.desktop /usr/share/metainfo/org.kemo.editor.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/kemo-editor.svg /usr/share/icons/hicolor/48x48/apps/kemo-editor.png; do
  grep -qx "$f" "$WORK/files" || fail "the package lacks $f"
done
grep -v '^/usr/' "$WORK/files" | grep -v '^/$' | grep -q . && fail "the package installs outside /usr"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for p in libqt6widgets6 libqt6multimedia6 libqt6multimediawidgets6 gstreamer1.0-plugins-good gstreamer1.0-libav \
         gstreamer1.0-plugins-base ffmpeg fonts-ipafont-gothic fonts-noto-cjk; do
  echo ", $depends," | grep -Eq "[ ,]$p( \(|,)" || fail "Depends lacks $p"
done

# --- installed: a root-owned tree, as under /usr ---------------------------------------------------
# KEMO_TEST_APT_INSTALL=1 installs the package into this machine's /usr with apt-get instead (and
# leaves it installed).
if [ "${KEMO_TEST_APT_INSTALL:-0}" = 1 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall "$deb" >"$WORK/apt.log" 2>&1 ||
    { tail -20 "$WORK/apt.log"; fail "apt-get install $deb"; }
  listed=$(dpkg -L kemo-editor | grep '^/usr/bin/.' || true)
  [ "$listed" = "/usr/bin/kemo-editor" ] || fail "dpkg -L shows under /usr/bin: $listed"
  APP=/usr/bin/kemo-editor
  TREE=/usr/share/kemo-editor
else
  ROOT=$WORK/root
  mkdir -p "$ROOT"
  dpkg-deb -x "$deb" "$ROOT"
  chown -R root:root "$ROOT"
  chmod -R go-w "$ROOT"
  APP=$ROOT/usr/bin/kemo-editor
  TREE=$ROOT
fi
[ -x "$APP" ] || fail "no executable at $APP"
before=$(cd "$TREE" && find . -printf '%p %s %T@\n' | sort | md5sum)

# --- the user's side ------------------------------------------------------------------------------
UHOME=$(mktemp -d /tmp/kemo-user.XXXXXX)
chmod 755 "$UHOME"
chown "$USER_NAME" "$UHOME"
as_user() { runuser -u "$USER_NAME" -- "$@"; }
as_user mkdir -p "$UHOME/runtime" "$UHOME/lectures/raw" "$UHOME/lectures/edited"
chmod 700 "$UHOME/runtime"
as_user ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=320x240:rate=15:duration=6" \
  -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=6" -c:v flv -c:a libmp3lame -ar 22050 -shortest \
  -f flv "$UHOME/lectures/raw/lecture.flv" || fail "could not make the FLV"
cleanup_user() { rm -rf "$UHOME"; }
trap 'cleanup; cleanup_user; remove_user' EXIT

start_x
CACHE=$UHOME/.cache
launch_as_user() {
  runuser -u "$USER_NAME" -- env -i PATH=/usr/bin:/bin HOME="$UHOME" USER="$USER_NAME" DISPLAY="$DISPLAY" \
    XDG_RUNTIME_DIR="$UHOME/runtime" XDG_CACHE_HOME="$CACHE" LANG=C.UTF-8 \
    QT_MEDIA_BACKEND=gstreamer GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX \
    "$APP" >"$WORK/editor.log" 2>&1 &
  EDITOR_PID=$!
}
launch_as_user
if ! wid=$(wait_window "Kemo.Editor" 60); then
  # A display lost before the editor reached it (the server gone on a busy machine): once more.
  if ! kill -0 "$EDITOR_PID" 2>/dev/null && grep -q 'could not connect to display' "$WORK/editor.log"; then
    echo "the editor found no display; starting the server and the editor again"
    kill "$XVFB_PID" 2>/dev/null || true
    start_x
    launch_as_user
  fi
  wid=$(wait_window "Kemo.Editor" 60) || fail "the installed editor's window did not appear"
fi
editor_uid=$(ps -o uid= -p "$(pgrep -P "$EDITOR_PID" | head -1)" 2>/dev/null | tr -d ' ' || true)
[ "$editor_uid" = "$(id -u "$USER_NAME")" ] || fail "the editor runs as uid '$editor_uid'"
settle
locate_client "$wid"

# New (Ctrl+N): the FLV is chosen in the file dialog, then the hint to convert.
focus "$wid"
xdotool key ctrl+n
dlg=$(wait_window "FLVファイルを指定してください" 30) || fail "no FLV file dialog"
focus "$dlg"
xdotool type --delay 20 "$UHOME/lectures/raw/lecture.flv"
shot inst-01-flv-dialog
xdotool key Return
answer_box inst-02-convert-hint
wait_title "$wid" "動作モード"

# Convert (Ctrl+Q): question, progress, completion.
focus "$wid"
xdotool key ctrl+q
answer_box inst-03-convert-question
answer_box inst-04-converted Return 240
work=$(ls -d "$CACHE"/kemo-editor/run-* 2>/dev/null | grep -v '\.lock$' | head -1)
[ -n "$work" ] || fail "no work folder under $CACHE/kemo-editor"
[ -f "$work/new/Video.avi" ] || fail "no Video.avi in the new content's folder ($(ls "$work/new"))"
left=$(find "$work" -maxdepth 1 -type f -name 'Video.*')
[ -z "$left" ] || fail "the conversion left in the work folder: $left"
wait_title "$wid" "動作モード\[静止\]"

# Edit: slide editing (F4), insert a slide at the time shown (F3), register (登録), close (F4).
focus "$wid"
xdotool key F4
settle
xdotool key F3
answer_box inst-05-insert-question
click_twips $((3840 + 9350 + 360)) $((7695 + 420 + 157))
answer_box inst-06-register-slides
while box_up; do answer_box inst-07-registered; done
focus "$wid"
xdotool key F4
settle
while box_up; do answer_box inst-08-close-edit; done

# 名前を付けて保存 into the user's own folder.
xdotool mousemove --sync $((CLIENT_X + 30)) $((WIN_Y + 10)) click 1
settle
for _ in 1 2 3 4; do xdotool key Down; done
shot inst-09-file-menu
xdotool key Return
dlg=$(wait_window "保存するフォルダを指定してください" 30) || fail "no folder dialog for the save"
focus "$dlg"
xdotool type --delay 20 "$UHOME/lectures/edited"
xdotool key Return
for _ in $(seq 1 300); do [ -f "$UHOME/lectures/edited/content.xml" ] && break; box_up && answer_box inst-10-save; sleep 0.1; done
[ -f "$UHOME/lectures/edited/content.xml" ] || fail "nothing saved in the user's folder"
# 保存しました comes once the file is written, a moment after it shows on disk: waited for (unless the
# loop above already took it), so that it is not taken for the exit question below.
for _ in $(seq 1 50); do box_up && { answer_box inst-11-saved; break; }; sleep 0.1; done

# Exit (Ctrl+X).
focus "$wid"
xdotool key ctrl+x
answer_box inst-12-exit-question
for _ in $(seq 1 300); do kill -0 "$EDITOR_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$EDITOR_PID" 2>/dev/null && fail "the editor did not end"
EDITOR_PID=""

# What the user has, and what stayed behind.
saved=$UHOME/lectures/edited
scenes=$(grep -o '<scene ' "$saved/content.xml" | wc -l)
[ "$scenes" -ge 2 ] || fail "the saved content.xml holds $scenes scenes"
[ -s "$saved/Video.flv" ] && [ -s "$saved/Video.avi" ] || fail "the saved folder lacks the videos: $(ls "$saved")"
[ "$(stat -c %U "$saved/content.xml")" = "$USER_NAME" ] || fail "content.xml is not the user's"
[ "$(cd "$TREE" && find . -printf '%p %s %T@\n' | sort | md5sum)" = "$before" ] ||
  fail "something was written into the installed program's data"
remaining=$(ls -A "$CACHE/kemo-editor" 2>/dev/null || true)
[ -z "$remaining" ] || fail "the work folder stayed after the editor ended: $remaining"
echo "PASS installed: $(basename "$deb") run by $USER_NAME: New, convert, insert, save ($scenes scenes)"
