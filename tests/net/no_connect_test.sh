#!/usr/bin/env bash
# Opening, playing and converting folders whose videos are playlists makes no connect() call: the
# playlist test of the test executable runs in a network namespace of its own under strace, with
# the real player and the real encoder on the search path.
# Arguments: the test executable. Exit 77 (skipped) where strace or a network namespace is missing.
set -uo pipefail
tests=$1
if ! command -v strace >/dev/null 2>&1; then echo "SKIP: strace is not installed"; exit 77; fi
if ! unshare -n true 2>/dev/null; then echo "SKIP: no network namespace can be made here"; exit 77; fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
strace -f -qq -e trace=connect -o "$log" \
  unshare -n -- "$tests" --gtest_filter='HiddenInput.PlaylistFoldersMakeNoNetworkAccess'
status=$?
if [ $status -ne 0 ]; then echo "FAIL: the playlist test failed ($status)"; exit 1; fi
# Local sockets (the session bus, the sound server) are no network access.
calls=$(grep 'connect(' "$log" | grep -v 'sa_family=AF_UNIX' || true)
if [ -n "$calls" ]; then
  echo "FAIL: connect() calls:"
  echo "$calls"
  exit 1
fi
echo "no connect() call outside local sockets ($(grep -c 'connect(' "$log") local ones)"
