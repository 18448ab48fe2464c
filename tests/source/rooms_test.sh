#!/usr/bin/env bash
# The rooms stand on their own: a room includes only rooms below it (apart from playback's sync of
# the slide and point lists), every source file reads in one sitting, and the main window only
# builds and wires. Usage: rooms_test.sh SOURCE_DIR
set -u
src="$1/src"
declare -A level=([platform]=0 [document]=1 [playback]=2 [timing]=2 [convert]=2 [slides]=3 [points]=3
                  [export]=3 [web]=4 [timeline]=4 [batch]=5 [app]=6)
failed=0
for room in "${!level[@]}"; do
  [ -d "$src/$room" ] || continue
  for used in $(grep -rhoE '#include "[a-z_]+/' "$src/$room" | cut -d'"' -f2 | tr -d / | sort -u); do
    [ "$used" = "$room" ] && continue
    [ "$room" = playback ] && { [ "$used" = slides ] || [ "$used" = points ]; } && continue
    if [ -z "${level[$used]+set}" ] || [ "${level[$used]}" -ge "${level[$room]}" ]; then
      echo "$room includes $used, which is not below it:" >&2
      grep -rlE "#include \"$used/" "$src/$room" | sed 's/^/  /' >&2
      failed=1
    fi
  done
done
while read -r lines file; do
  limit=800
  [ "$(basename "$file")" = frm_main.cpp ] && limit=600
  if [ "$lines" -ge "$limit" ]; then
    echo "$file has $lines lines (under $limit wanted)" >&2
    failed=1
  fi
done < <(find "$src" -name '*.cpp' -o -name '*.h' | xargs wc -l | grep -v ' total$')
exit $failed
