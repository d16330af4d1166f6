#!/bin/sh
# The installed tools stand alone. In a mount namespace of its own, so that the
# other tests running meanwhile see nothing of it:
#  1. scripts/install, for a user whose HOME is a fresh temporary folder, from the
#     build folder mounted read-only: it must install without writing there (any
#     write fails, for root too);
#  2. the installed tesk-render does not fall back on the build folder: with the
#     installed module taken away it finds none;
#  3. with the build folder hidden behind an empty one, the installed tesk-render
#     lists and renders, and tesk-validate passes, each on the installed module;
#     a module in VST_PATH comes before it;
#  4. no installed file, and no --help, names the build folder;
#  5. a tool run from the build tree, with nothing installed for it, falls back on
#     the build's module.
# usage: check_standalone.sh <source dir> <build dir> [sanitized]
# With "sanitized" (an AddressSanitizer build) the binaries' bytes are not
# searched: the instrumentation names each translation unit's source file, and
# the artwork's sources are generated into the build folder.
set -eu
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${TESK_STANDALONE_NAMESPACE:-}" != 1 ]; then
  command -v unshare >/dev/null ||
    fail "unshare (util-linux) is missing; this test needs it to hide the build folder"
  # Root makes the namespace itself; anyone else through a user namespace of their
  # own (which the kernel refuses inside a chroot).
  if [ "$(id -u)" = 0 ]; then namespace="unshare --mount"; else namespace="unshare --mount --map-root-user"; fi
  $namespace true ||
    fail "cannot make a mount namespace ($namespace); this test needs one" \
      "to hide the build folder from the installed tools"
  TESK_STANDALONE_NAMESPACE=1 exec $namespace sh "$0" "$@"
fi

source_dir=$1
build=$(cd "$2" && pwd -P)
sanitized=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home="$work/home" bin="$work/home/.local/bin"
mkdir "$home"
unset VST_PATH

# 1. Install from a read-only build folder.
mount --bind "$build" "$build"
mount -o remount,bind,ro "$build"
if touch "$build/.write-probe" 2>/dev/null; then fail "the build folder could not be made read-only"; fi
HOME=$home "$source_dir/scripts/install" --build "$build" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "scripts/install failed with the build folder read-only"; }
grep -q "read-only" "$work/install.log" ||
  { cat "$work/install.log"; fail "scripts/install did not say it left a read-only build folder unbuilt"; }
[ -f "$home/.vst/TeskDelay.so" ] && [ -x "$bin/tesk-render" ] && [ -x "$bin/tesk-validate" ] ||
  fail "scripts/install did not place the module and the tools"

# 2. Without the installed module the installed tool finds none, though the
# build's module is right there.
mv "$home/.vst" "$home/vst-away"
status=0
HOME=$home "$bin/tesk-render" --list >"$work/out" 2>"$work/err" || status=$?
mv "$home/vst-away" "$home/.vst"
if [ -f /usr/local/lib/vst/TeskDelay.so ] || [ -f /usr/lib/vst/TeskDelay.so ]; then
  echo "NOT CHECKED: a TeskDelay.so in /usr/local/lib/vst or /usr/lib/vst comes before any" \
    "build folder, so whether the installed tool reaches for the build folder could not be seen"
else
  [ "$status" -eq 5 ] ||
    fail "with no module installed, the installed tesk-render exited $status, not 5: $(cat "$work/err")"
  grep -q "TeskDelay.so was not found" "$work/err" || fail "unexpected message: $(cat "$work/err")"
fi

# 3. The build folder out of reach: an empty folder mounted over it.
umount "$build"
mount -t tmpfs tmpfs "$build"
[ -z "$(ls -A "$build")" ] || fail "the build folder could not be hidden"
cd "$work"

HOME=$home LD_DEBUG=files "$bin/tesk-render" --list >"$work/out" 2>"$work/err" ||
  fail "the installed tesk-render --list failed: $(grep -v 'file=' "$work/err")"
grep -q "^TeskDelay by Velmora" "$work/out" || fail "tesk-render --list names no TeskDelay: $(head -3 "$work/out")"
grep -qF "file=$home/.vst/TeskDelay.so " "$work/err" ||
  fail "the installed tesk-render --list did not load $home/.vst/TeskDelay.so"

HOME=$home "$bin/tesk-render" --quiet -o "$work/demo.wav" 2>"$work/err" ||
  fail "the installed tesk-render did not render: $(cat "$work/err")"
[ -s "$work/demo.wav" ] || fail "the installed tesk-render wrote no demo.wav"

HOME=$home "$bin/tesk-validate" --strictness 1 --seed 1 >"$work/out" 2>&1 ||
  { cat "$work/out"; fail "the installed tesk-validate failed on the installed module"; }
grep -qxF "module: $home/.vst/TeskDelay.so" "$work/out" ||
  fail "tesk-validate did not take the installed module: $(head -1 "$work/out")"
tail -n 1 "$work/out" | grep -Eq '^[0-9]+ passed, 0 failed' ||
  fail "tesk-validate's verdict: $(tail -n 1 "$work/out")"

mkdir "$work/first"
cp "$home/.vst/TeskDelay.so" "$work/first/"
VST_PATH="$work/nowhere:$work/first" HOME=$home LD_DEBUG=files "$bin/tesk-render" --list \
  >/dev/null 2>"$work/err" || fail "tesk-render --list with VST_PATH failed"
grep -qF "file=$work/first/TeskDelay.so " "$work/err" ||
  fail "a TeskDelay.so in VST_PATH did not come before the installed one"

# 4. No build path in anything installed. grep reads the binaries' bytes.
found=$(grep -rlF "$build" "$home" || true)
if [ "$sanitized" = sanitized ] && [ -n "$found" ]; then
  elf=$(printf '\177ELF')
  found=$(for file in $found; do [ "$(head -c 4 "$file")" = "$elf" ] || echo "$file"; done)
  echo "NOT CHECKED: the binaries of this sanitizer build name the build folder in their" \
    "instrumentation; the release build's test searches them"
fi
[ -z "$found" ] || fail "installed files name the build folder $build: $found"
for tool in "$bin"/*; do
  if HOME=$home "$tool" --help | grep -qF "$build"; then fail "$(basename "$tool") --help names $build"; fi
done

# 5. The build folder back; a tool run from it, with nothing installed for it.
umount "$build"
mkdir "$work/bare"
HOME="$work/bare" LD_DEBUG=files "$build/tools/render/tesk-render" --list >/dev/null 2>"$work/err" ||
  fail "tesk-render run from the build tree found no module"
expected="$build/TeskDelay.so"
for system in /usr/local/lib/vst /usr/lib/vst; do
  if [ -f "$system/TeskDelay.so" ]; then
    echo "NOT CHECKED: $system/TeskDelay.so comes before the build tree's module"
    expected="$system/TeskDelay.so"
    break
  fi
done
grep -qF "file=$expected " "$work/err" || fail "tesk-render run from the build tree did not load $expected"

echo "installed from a read-only build folder; with it hidden, the installed tools list, render" \
  "and validate the installed module; no installed file names the build folder"
