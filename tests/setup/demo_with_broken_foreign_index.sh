#!/usr/bin/env bash
# The README's demo command on a machine whose foreign (i386) package index is
# broken, as Debian's was while a mirror synced: apt-get update fails whenever it
# is asked for i386, and a package of the build layer counts as missing so that
# setup has to refresh the index. The demo must still build and render.
# usage: demo_with_broken_foreign_index.sh <source tree>
set -euo pipefail
source_dir=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of the sources, without any build folder, so the demo builds from scratch.
(cd "$source_dir" && tar --exclude=./build --exclude=./.git -cf - .) | (mkdir "$work/src" && tar -xf - -C "$work/src")

stubs="$work/stubs" && mkdir "$stubs"
cat >"$stubs/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$APT_LOG"
case "$*" in
  *update*APT::Architectures=*i386*|update|*"update -qq") 
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    exit 100 ;;
  *update*) exit 0 ;;
  *install*) exit 0 ;;
esac
exit 1
STUB
# Reports one build package as missing until apt-get has "installed" it.
cat >"$stubs/dpkg-query" <<'STUB'
#!/bin/sh
for a in "$@"; do
  if [ "$a" = libsndfile1-dev ] && ! grep -q install "$APT_LOG" 2>/dev/null; then exit 1; fi
done
exec /usr/bin/dpkg-query "$@"
STUB
cat >"$stubs/dpkg" <<'STUB'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && { echo i386; exit 0; }
exec /usr/bin/dpkg "$@"
STUB
chmod +x "$stubs"/*
export APT_LOG="$work/apt.log"
: >"$APT_LOG"

(cd "$work/src" && PATH="$stubs:$PATH" scripts/demo --quiet) >"$work/demo.log" 2>&1 ||
  { cat "$work/demo.log" >&2; fail "scripts/demo failed with the foreign index broken"; }
grep -q 'update' "$APT_LOG" || fail "setup never refreshed the index, so the stub was not exercised"
if grep 'update' "$APT_LOG" | grep -qv "APT::Architectures=$(dpkg --print-architecture)\$"; then
  fail "setup asked apt-get for more than the native index: $(grep update "$APT_LOG")"
fi
[ -s "$work/src/demo.wav" ] || fail "the demo wrote no demo.wav"
peak=$(sox "$work/src/demo.wav" -n stat 2>&1 | sed -n 's/^Maximum amplitude: *//p')
awk -v p="$peak" 'BEGIN { exit !(p > 0.05) }' || fail "demo.wav is silent (peak $peak)"
echo "the demo built and rendered (peak $peak) while the i386 index was broken"
