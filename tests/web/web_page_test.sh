#!/usr/bin/env bash
# The web package in a real browser: kemo-editor --web writes the package of a data folder made here
# (a real FLV, slide pictures, a content.xml with a hostile caption), and headless Chromium opens it
# from file:// at a desktop and a phone size (drive_page.py). Screenshots stay in the build folder.
#   web_page_test.sh KEMO_EDITOR BUILD_DIR
set -euo pipefail
editor=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
  echo "chromium is not installed (scripts/setup-deps installs it): skipped"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kemo-web-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder=$work/講義フォルダ
mkdir -p "$folder"

ffmpeg -hide_banner -loglevel error -nostdin -y \
  -f lavfi -i "testsrc=size=320x240:rate=15:duration=60" \
  -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=60" \
  -c:v flv -b:v 300k -c:a libmp3lame -b:a 64k -ar 22050 -shortest -f flv "$folder/Video.flv"
colours=(white lightblue lightgreen lightyellow pink lavender wheat lightcyan)
# Flat slides and, every other one, a picture of many colours, which the package writes as WebP.
for i in 0 1 2 3 4 5 6 7; do
  source="color=c=${colours[$i]}:size=1024x768"
  if [ $((i % 2)) -eq 0 ]; then source="testsrc2=size=1024x768:rate=1,trim=start_frame=$i"; fi
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "$source" -frames:v 1 -q:v 3 "$folder/00$i.jpg"
done
captions=("第1回 講義の目的" "情報の探し方" "&lt;img src=x onerror=alert(1)&gt;" "評価と引用"
          "演習" "講義のまとめ" "課題" "質疑")
poses=(0 6.5 13 20.25 28 35.5 44 52)
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<content>\n<slide>'
  for i in 0 1 2 3 4 5 6 7; do
    printf '<scene pos="%s" caption="%s" image="00%d.jpg"/>' "${poses[$i]}" "${captions[$i]}" "$i"
  done
  printf '</slide>\n<cursor>'
  awk 'BEGIN { for (k = 0; k < 240; k++) {
      t = k * 0.25; x = 0.5 + 0.4 * sin(t / 3.3); y = 0.5 + 0.35 * cos(t / 2.1)
      printf "<p t=\"%.2f\" x=\"%.2f\" y=\"%.2f\"/>", t, x, y } }'
  printf '</cursor>\n</content>\n'
} >"$folder/content.xml"

out=$work/package
"$editor" --web "$folder" "$out"
for f in index.html data.js kemo-player.js kemo-player.css video.mp4 chapters.vtt; do
  [ -s "$out/$f" ] || { echo "FAIL: $f missing from the package"; exit 1; }
done
# The slide the page test waits to load after its thumbnail is clicked is a WebP.
[ -s "$out/slides/0003.webp" ] || { echo "FAIL: slide 3 not written as WebP: $(ls "$out/slides")"; exit 1; }
python3 "$here/drive_page.py" "$chromium" "$out" "$folder/content.xml" "$build/web-page"
