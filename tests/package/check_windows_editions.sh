#!/bin/sh
# Checks the Windows editions scripts/package --windows staged for the installer:
# TeskDelay.vst3 holds exactly the 64-bit module in Contents/x86_64-win, the
# 32-bit one in Contents/x86-win and the module's description, the same one the
# Linux bundle gets; the CLAP modules in x64 and x86; each stripped, of its
# processor, exporting its entries by their plain names.
# usage: check_windows_editions.sh <staging folder> <moduleinfo.json.in> <version>
set -eu
stage=$1 template=$2 version=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
bundle="$stage/TeskDelay.vst3"
expected="Contents/Resources/moduleinfo.json
Contents/x86-win/TeskDelay.vst3
Contents/x86_64-win/TeskDelay.vst3"
found=$(cd "$bundle" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "TeskDelay.vst3 holds: $found"
sed "s/@PROJECT_VERSION@/$version/g" "$template" | cmp -s - "$bundle/Contents/Resources/moduleinfo.json" ||
  fail "moduleinfo.json is not the one the Linux bundle gets"

# check <file> <objdump> <file(1) pattern> <exports, sorted, a space after each>
check() {
  [ -f "$1" ] || fail "$1 is missing"
  file -b "$1" | grep -q "$3" || fail "$1 is not of its processor: $(file -b "$1")"
  if [ "$("$2" -t "$1" | grep -c '^\[')" -ne 0 ]; then fail "$1 keeps its symbol table"; fi
  exports=$("$2" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | LC_ALL=C sort | tr '\n' ' ')
  [ "$exports" = "$4" ] || fail "$1 exports '$exports'"
}
x64='^PE32+ executable (DLL).*x86-64' x86='^PE32 executable (DLL).*Intel 80386'
check "$bundle/Contents/x86_64-win/TeskDelay.vst3" x86_64-w64-mingw32-objdump "$x64" "ExitDll GetPluginFactory InitDll "
check "$bundle/Contents/x86-win/TeskDelay.vst3" i686-w64-mingw32-objdump "$x86" "ExitDll GetPluginFactory InitDll "
check "$stage/x64/TeskDelay.clap" x86_64-w64-mingw32-objdump "$x64" "clap_entry "
check "$stage/x86/TeskDelay.clap" i686-w64-mingw32-objdump "$x86" "clap_entry "
echo "TeskDelay.vst3 (x86_64-win, x86-win, moduleinfo.json as on Linux) and both TeskDelay.clap: stripped, of their processors, their entries exported"
