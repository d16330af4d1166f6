#!/bin/sh
# Checks the Debian package scripts/package made: its files are exactly the
# expected list, lintian reports no error, and the package unpacked into a
# temporary root runs its tesk-render, which renders with the package's own module.
# usage: check_deb.sh <package.deb> <expected contents>
set -eu
deb=$1 expected=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v -e '^$' -e '/$' \
  >"$root.contents"
diff -u "$expected" "$root.contents" || fail "the package's files differ from $expected"

lintian --tag-display-limit 0 "$deb" >"$root.lintian" 2>/dev/null || true
if grep '^E:' "$root.lintian"; then fail "lintian reports errors"; fi
warnings=$(grep -c '^W:' "$root.lintian" || true)

dpkg-deb -x "$deb" "$root"
"$root/usr/bin/tesk-render" --version | grep -q '^tesk-render (TeskDelay) ' ||
  fail "the packaged tesk-render does not answer --version"
LD_DEBUG=files "$root/usr/bin/tesk-render" --quiet -o "$root/demo.wav" 2>"$root.loaded" ||
  fail "the packaged tesk-render failed to render the demo"
grep -q "file=$root/usr/lib/vst/TeskDelay.so " "$root.loaded" ||
  fail "the packaged tesk-render did not load the packaged module"
dpkg-deb --field "$deb" Depends | grep -q 'libsndfile1' || fail "Depends does not name libsndfile1"
rm -f "$root.contents" "$root.lintian" "$root.loaded"
echo "$(basename "$deb"): the expected $(wc -l <"$expected") files, lintian: no error, $warnings warnings; renders with its own module"
