#!/usr/bin/env bash
# kemo-editor --help and --version answer on stdout and end with status 0, without a display and
# without a window; the manual the ヘルプ menu shows is laid out with the program's data.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY
for option in --help --version; do
  status=0
  timeout 20 "$EDITOR_BIN" "$option" >"$WORK/out" 2>"$WORK/err" || status=$?
  echo "--- kemo-editor $option (status $status):"
  cat "$WORK/out"
  [ "$status" -eq 0 ] || fail "kemo-editor $option ended with status $status: $(cat "$WORK/err")"
  [ ! -s "$WORK/err" ] || fail "kemo-editor $option wrote on stderr: $(cat "$WORK/err")"
  case $option in
    --help) patterns=("使い方: kemo-editor" "--export" "--version") ;;
    --version) patterns=("Kemo.Editor [0-9]" "Qt 6\.[0-9]" "LGPL" "libxml2 [0-9]" "MIT" "ffmpeg version [^ ]* (GNU") ;;
  esac
  for p in "${patterns[@]}"; do grep -q -- "$p" "$WORK/out" || fail "kemo-editor $option does not print '$p'"; done
done
grep -q "操作説明" "$BUILD_DIR/share/kemo-editor/manual.html" || fail "the manual is not laid out in share/kemo-editor"
echo "PASS command line: --help and --version printed on stdout with status 0"
