#!/usr/bin/env bash
# The desktop file and the AppStream metainfo as the desktop's own checkers see them: no error and
# no warning (desktop-file-validate's hints are shown, not counted), the metainfo valid, and the
# two agreeing on the application's id, names and categories.
set -euo pipefail
dir=$(cd "$(dirname "$0")/../../packaging" && pwd)
desktop=$dir/org.kemo.editor.desktop
metainfo=$dir/org.kemo.editor.metainfo.xml
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup-deps installs it)"; exit 77; }
done

out=$(desktop-file-validate "$desktop" 2>&1 || echo "exit status $?")
echo "$out"
if echo "$out" | grep -Eq 'error|warning|exit status'; then echo "FAIL: desktop-file-validate"; exit 1; fi

appstreamcli validate --no-net --explain "$metainfo" || { echo "FAIL: appstreamcli validate"; exit 1; }

grep -qx 'Categories=AudioVideo;Video;AudioVideoEditing;' "$desktop" || { echo "FAIL: categories"; exit 1; }
grep -qx 'MimeType=inode/directory;' "$desktop" || { echo "FAIL: the entry does not take folders"; exit 1; }
grep -q '<project_license>MIT</project_license>' "$metainfo" || { echo "FAIL: the metainfo's licence"; exit 1; }
grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Name=' "$desktop" || { echo "FAIL: names"; exit 1; }
grep -qx 'Icon=kemo-editor' "$desktop" || { echo "FAIL: icon name"; exit 1; }
grep -q '<launchable type="desktop-id">org.kemo.editor.desktop</launchable>' "$metainfo" || {
  echo "FAIL: the metainfo does not launch the desktop file"; exit 1; }
for size in 16 32 48 64 128 256; do
  got=$(identify -format '%wx%h' "$dir/icons/kemo-editor-$size.png" 2>/dev/null || true)
  [ "$got" = "${size}x${size}" ] || { echo "FAIL: kemo-editor-$size.png is '$got'"; exit 1; }
done
echo "PASS packaging files"
