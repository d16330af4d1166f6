#!/usr/bin/env bash
# `scripts/setup arm64` on a machine whose arm64 package index is broken, as
# Debian's i386 one was while a mirror synced: the arm64 sysroot cannot be made,
# setup says NOT INSTALLED with apt's reason and still succeeds, the native
# packages untouched, and no sysroot is left that would let the arm64 stage run.
# usage: arm64_with_broken_index.sh <source tree>
set -euo pipefail
source_dir=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/src/scripts"
cp "$source_dir/scripts/setup" "$source_dir/scripts/arm64-sysroot" "$work/src/scripts/"

stubs="$work/stubs" && mkdir "$stubs"
cat >"$stubs/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$APT_LOG"
case "$*" in
  *APT::Architectures=arm64*update*)
    echo "E: Failed to fetch http://deb.debian.org/debian/dists/bookworm/main/binary-arm64/Packages.xz  File has unexpected size (8689012 != 8690001). Mirror sync in progress?" >&2
    exit 100 ;;
esac
exit 1
STUB
# Every native package is there; qemu is registered already.
cat >"$stubs/dpkg-query" <<'STUB'
#!/bin/sh
echo "install ok installed"
STUB
for tool in mount update-binfmts; do printf '#!/bin/sh\nexit 0\n' >"$stubs/$tool"; done
chmod +x "$stubs"/*
export APT_LOG="$work/apt.log"
: >"$APT_LOG"

(cd "$work/src" && PATH="$stubs:$PATH" scripts/setup arm64) >"$work/setup.log" 2>&1 ||
  { cat "$work/setup.log" >&2; fail "scripts/setup arm64 failed with the arm64 index broken"; }
grep -q 'APT::Architectures=arm64.*update' "$APT_LOG" || fail "the arm64 index was never asked for"
grep -q 'NOT INSTALLED: build/arm64-sysroot: .*arm64 package index cannot be read.*Mirror sync' \
  "$work/setup.log" || { cat "$work/setup.log" >&2; fail "setup did not say NOT INSTALLED with apt's reason"; }
if grep 'apt-get' "$APT_LOG" | grep -v 'Dir::State::Lists=' | grep -q .; then
  fail "setup touched this machine's own apt: $(grep -v 'Dir::State::Lists=' "$APT_LOG")"
fi
[ ! -e "$work/src/build/arm64-sysroot/.packages" ] || fail "a sysroot was left that claims to be ready"
echo "setup arm64 said NOT INSTALLED and succeeded while the arm64 index was broken"
