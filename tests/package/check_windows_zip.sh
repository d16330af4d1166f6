#!/bin/sh
# Checks the Windows archive scripts/package --windows made: exactly the VST 3
# bundle, both CLAP modules and both VST 2 DLLs (check_windows_editions.sh reads
# the bundle and the CLAP modules), the README.txt, Manual.txt and the licence;
# both DLLs stripped and still exporting main and VSTPluginMain, the 32-bit one
# PE32 for i386; and the 64-bit DLL, unpacked from the archive, loads in
# tesk-validate.exe under Wine.
# usage: check_windows_zip.sh <archive.zip> <tesk-validate.exe for x64> <Wine prefix>
set -eu
zip=$1 validate=$2 prefix=$(cd "$3" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
top="$dir/$(basename "$zip" .zip)"
expected="LICENSE.txt
Manual.txt
README.txt
TeskDelay.vst3/Contents/Resources/moduleinfo.json
TeskDelay.vst3/Contents/x86-win/TeskDelay.vst3
TeskDelay.vst3/Contents/x86_64-win/TeskDelay.vst3
x64/TeskDelay.clap
x64/TeskDelay.dll
x86/TeskDelay.clap
x86/TeskDelay.dll"
found=$(cd "$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "the archive holds: $found"

for arch in x64 x86; do
  dll="$top/$arch/TeskDelay.dll"
  objdump=x86_64-w64-mingw32-objdump
  [ "$arch" = x86 ] && objdump=i686-w64-mingw32-objdump
  if "$objdump" -h "$dll" | grep -q '\.debug_'; then fail "$arch/TeskDelay.dll keeps debug sections"; fi
  if [ "$("$objdump" -t "$dll" | grep -c '^\[')" -ne 0 ]; then fail "$arch/TeskDelay.dll keeps its symbol table"; fi
  exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
  [ "$exports" = "VSTPluginMain main " ] || fail "$arch/TeskDelay.dll exports '$exports'"
done
file -b "$top/x86/TeskDelay.dll" | grep -q '^PE32 executable (DLL).*Intel 80386' ||
  fail "x86/TeskDelay.dll is not a 32-bit i386 DLL: $(file -b "$top/x86/TeskDelay.dll")"
file -b "$top/x64/TeskDelay.dll" | grep -q '^PE32+ executable (DLL).*x86-64' ||
  fail "x64/TeskDelay.dll is not a 64-bit DLL: $(file -b "$top/x64/TeskDelay.dll")"

report=$(WINEDEBUG=-all WINEPREFIX=$prefix wine "$validate" --strictness 1 --only record \
  "$top/x64/TeskDelay.dll" 2>&1) || fail "tesk-validate.exe did not pass the unpacked DLL: $report"
echo "$report" | grep -q '1 passed, 0 failed' || fail "tesk-validate.exe said: $report"
echo "$(basename "$zip"): both DLLs stripped, exports main and VSTPluginMain, the unpacked x64 DLL loads under Wine"
