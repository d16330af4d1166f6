#!/bin/sh
# Checks the Debian package scripts/package made: its files are exactly the
# expected list, lintian reports no error and none of its hardening tags (even
# the informational ones), its programs and modules are hardened (readelf, as
# tests/hardening checks the build's), and the package unpacked into a
# temporary root runs its tesk-render, which renders with the package's own module;
# its desktop entries pass desktop-file-validate.
# usage: check_deb.sh <package.deb> <expected contents>
set -eu
deb=$1 expected=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root" "$root".*' EXIT

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v -e '^$' -e '/$' \
  >"$root.contents"
# The VST 3 bundle names the processor's folder: x86_64-linux, aarch64-linux.
case "$(dpkg-deb --field "$deb" Architecture)" in
  amd64) vst3arch=x86_64-linux ;;
  arm64) vst3arch=aarch64-linux ;;
  *) fail "a package for $(dpkg-deb --field "$deb" Architecture), which has no VST 3 folder here" ;;
esac
sed "s/@VST3ARCH@/$vst3arch/" "$expected" >"$root.expected"
diff -u "$root.expected" "$root.contents" || fail "the package's files differ from $expected"

command -v lintian >/dev/null || fail "lintian is not installed: scripts/setup test"
# lintian's status is 1 when lintian itself failed, 2 when it found an error.
status=0
lintian --display-info --tag-display-limit 0 "$deb" >"$root.lintian" 2>"$root.lintian-errors" || status=$?
[ "$status" -ne 1 ] || fail "lintian failed: $(cat "$root.lintian-errors")"
if grep '^E:' "$root.lintian"; then fail "lintian reports errors"; fi
if grep -E ' hardening-no-(bindnow|fortify-functions|relro|pie) ' "$root.lintian"; then
  fail "lintian finds files of the package not hardened"
fi
warnings=$(grep -c '^W:' "$root.lintian" || true)

dpkg-deb -x "$deb" "$root"
command -v desktop-file-validate >/dev/null ||
  fail "desktop-file-validate is not installed: scripts/setup test (desktop-file-utils)"
for entry in "$root"/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "$entry is not a valid desktop entry"
done
sh "$(dirname "$0")/../hardening/check_elf_hardening.sh" "$root/usr" >/dev/null ||
  fail "the package's programs and modules are not hardened"
"$root/usr/bin/tesk-render" --version | grep -q '^tesk-render (TeskDelay) ' ||
  fail "the packaged tesk-render does not answer --version"
LD_DEBUG=files "$root/usr/bin/tesk-render" --quiet -o "$root/demo.wav" 2>"$root.loaded" ||
  fail "the packaged tesk-render failed to render the demo"
grep -q "file=$root/usr/lib/vst/TeskDelay.so " "$root.loaded" ||
  fail "the packaged tesk-render did not load the packaged module"
dpkg-deb --field "$deb" Depends | grep -q 'libsndfile1' || fail "Depends does not name libsndfile1"
echo "$(basename "$deb"): the expected $(wc -l <"$expected") files, lintian: no error, $warnings warnings, no hardening tag; hardened; renders with its own module"
