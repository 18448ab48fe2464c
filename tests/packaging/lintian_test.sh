#!/usr/bin/env bash
# The Debian package as Debian's own checker sees it: lintian reports no error and no warning on the
# .deb that cpack makes from the build (the manual page, copyright, changelog, description,
# maintainer, hardening flags). Its output is shown in full.
# Usage: lintian_test.sh BUILD_DIR
set -euo pipefail
build=$1
for tool in lintian cpack; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup-deps --test installs it)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack -G DEB"; exit 1; }
deb=$(ls "$work"/kemo-editor_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: cpack made no kemo-editor .deb"; exit 1; }
# lintian's own complaint about running as root is no finding on the package.
out=$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)
echo "lintian $(basename "$deb"):"
echo "${out:-(nothing to report)}"
if grep -Eq '^[EW]: ' <<<"$out"; then echo "FAIL: lintian reports errors or warnings"; exit 1; fi
echo "PASS lintian: no error and no warning"
