#!/usr/bin/env bash
# Checks the Windows installer under Wine, in a fresh 64-bit prefix of its own:
#  1. an unknown format or a VST 2 folder that is no full path stops the
#     installer (exit 2, with nothing written: checked by what comes next);
#     /S installs exactly the expected files (each the staged one) and registry
#     values, and nothing else; the installed TeskDelay.vst3 and TeskDelay.clap
#     load there and play;
#  2. the quiet uninstall string it registered leaves the prefix as it was;
#  3. an older version installed with both VST 2 DLLs into folders of their own, then a
#     host holding a module: the update stops with nothing changed (exit 2);
#     the host gone, /S updates in place: the same formats and folders, every
#     file the new one, one set of them; another VST 2 folder and a format
#     fewer remove what is no longer installed; a held module stops the
#     uninstaller too;
#  4. the uninstall leaves the prefix as it was.
# The older version is the same script built with version 0.0.1 from a copy of
# the files, each one changed, for the same processor as the installer given.
#
# usage: check_windows_installer.sh <files> <version> <setup.exe> <tesk-installed-modules.exe> <prefix> [<32-bit tesk-installed-modules.exe>]
#   files    the folder the installer was made from (scripts/package --windows)
#   prefix   made afresh (whatever is there is removed first)
#   with the 32-bit player (where Wine runs 32-bit programs), the 32-bit
#   modules in the (x86) Common Files play too; without it the script says so.
set -euo pipefail
if [ "${1:-}" = -h ] || [ "${1:-}" = --help ]; then sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//'; exit 0; fi
[ $# -eq 5 ] || [ $# -eq 6 ] || { echo "usage: check_windows_installer.sh <files> <version> <setup.exe> <tesk-installed-modules.exe> <prefix> [<32-bit tesk-installed-modules.exe>] (see --help)" >&2; exit 2; }
files=$(cd "$1" && pwd) version=$2 setup=$(realpath "$3") player=$(realpath "$4") prefix=$5
player32=${6:+$(realpath "$6")}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in makensis wine wineserver wineboot; do
  command -v "$tool" >/dev/null || fail "$tool is missing: scripts/setup windows installs it"
done
export WINEDEBUG=-all WINEPREFIX WINEARCH=win64 LC_ALL=C
WINEPREFIX=$(mkdir -p "$(dirname "$prefix")" && cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
work=$(mktemp -d)
holder=""
cleanup() {
  [ -n "$holder" ] && { exec 7>&-; wait "$holder" || true; }
  rm -rf "$work"
}
trap cleanup EXIT
drive=$WINEPREFIX/drive_c
uninstall_key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TeskDelay'
settings_key='Software\\Velmora\\TeskDelay'

# ------------------------------------------------------------------ helpers

# The state of the prefix, one line each: every folder and file (with its
# MD5) outside C:\windows and the users' temporary folders, every key of
# HKEY_LOCAL_MACHINE, and the values of the installer's two keys. Waits for the
# prefix's programs to end first, so that the registry is on disk.
state() {
  wineserver -w
  (cd "$drive" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o \
    -path './users/*/AppData/Local/Temp' -prune -o -type d -printf 'd %p\n' -o \
    -type f -exec md5sum {} + | sed 's|^\([0-9a-f]*\)  \(.*\)|f \2 \1|') | LC_ALL=C sort
  # Wine itself writes the network cards' key out at some saves and not at others.
  grep '^\[' "$WINEPREFIX/system.reg" | grep -v '^\[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards\]' |
    sed 's/ [0-9]*$//; s/^/k /' | LC_ALL=C sort
  values "$uninstall_key" | sed 's/^/v /'
  values "$settings_key" | sed 's/^/v /'
}

# values KEY: the values of the HKLM key KEY as system.reg holds them.
values() {
  KEY="[$1]" awk 'index($0, ENVIRON["KEY"] " ") == 1 { on = 1; next } on && /^$/ { exit }
    on && !/^#/ { print }' "$WINEPREFIX/system.reg"
}

# run EXPECTED_STATUS PROGRAM ARGUMENTS...: runs a Windows program, which must end so.
run() {
  local expected=$1 status=0
  shift
  # On drive C:, so that a path without a drive stays in the prefix; not with
  # the held host's input, else the host never hears it end.
  (cd "$drive" && wine "$@" 7>&- >"$work/run.log" 2>&1) || status=$?
  [ "$status" -eq "$expected" ] || fail "$* ended with $status, not $expected: $(head -c 400 "$work/run.log")"
}

# installed STATE_BEFORE STATE_AFTER: the files that came, one path a line.
installed() {
  comm -13 <(grep '^f ' "$1" | sed 's/ [0-9a-f]*$//') <(grep '^f ' "$2" | sed 's/ [0-9a-f]*$//') |
    sed 's|^f \./||' | sort
}

# expect_files STATE_BEFORE STATE_AFTER LIST: LIST holds "installed path|staged file"
# lines (no staged file: only its presence counts); the files that came must be
# exactly those, and each one the staged file.
expect_files() {
  local wanted
  wanted=$(cut -d'|' -f1 <<<"$3" | LC_ALL=C sort)
  diff <(echo "$wanted") <(installed "$1" "$2") >"$work/diff" ||
    fail "the files installed differ from the expected ones (< missing, > not expected):
$(cat "$work/diff")"
  while IFS='|' read -r path staged; do
    [ -z "$staged" ] || cmp -s "$drive/$path" "$staged" || fail "C:/$path is not the staged $staged"
  done <<<"$3"
}

# expect_registry STATE_BEFORE STATE_AFTER VALUES: the keys that came are the
# installer's two (Wine's registry file leaves out keys that only hold others,
# as Software\Velmora does), their values VALUES (EstimatedSize left out:
# checked on its own).
expect_registry() {
  local keys
  keys=$(comm -13 <(grep '^k ' "$1") <(grep '^k ' "$2"))
  [ "$keys" = "k [Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\TeskDelay]
k [Software\\\\Velmora\\\\TeskDelay]" ] || fail "the registry keys that came: $keys"
  diff <(echo "$3") <(grep '^v ' "$2" | grep -v '"EstimatedSize"' | sed 's/^v //') >"$work/diff" ||
    fail "the registry values differ from the expected ones (< missing, > not expected):
$(cat "$work/diff")"
  estimated_size "$2"
}

# The size Apps shows, in KiB, within 2 % of what the installed files take
# (the uninstaller and the list of files included).
estimated_size() {
  local said real
  said=$(grep '^v "EstimatedSize"=dword:' "$1" | sed 's/.*dword://')
  [ -n "$said" ] || fail "no EstimatedSize"
  said=$((16#$said))
  real=$(installed_bytes "$1")
  real=$((real / 1024))
  [ $((said * 100)) -ge $((real * 98)) ] && [ $((said * 100)) -le $((real * 102)) ] ||
    fail "EstimatedSize says $said KiB, the installed files take $real KiB"
}
installed_bytes() {
  local total=0 path
  while read -r path; do
    total=$((total + $(stat -c %s "$drive/$path")))
  done < <(installed "$work/fresh" "$1")
  echo "$total"
}

# registry_values VERSION FORMATS [VST2DIR32] [VST2DIR64]: what the installer writes
# (an empty folder: none).
registry_values() {
  local pf='C:\\Program Files\\Velmora\\TeskDelay'
  cat <<EOF
"DisplayName"="TeskDelay"
"DisplayVersion"="$1"
"InstallLocation"="$pf"
"NoModify"=dword:00000001
"NoRepair"=dword:00000001
"Publisher"="Velmora"
"QuietUninstallString"="\\"$pf\\\\uninstall.exe\\" /S"
"UninstallString"="\\"$pf\\\\uninstall.exe\\""
"Formats"="$2"
"Version"="$1"
EOF
  [ -z "${3:-}" ] || printf '"Vst2Dir32"="%s"\n' "$3"
  [ -z "${4:-}" ] || printf '"Vst2Dir64"="%s"\n' "$4"
}

# hold MODULE: a host keeps MODULE (a Windows path) loaded until release.
hold() {
  mkfifo "$work/hold.in"
  wine "$player" hold "$1" <"$work/hold.in" >"$work/hold.out" 2>&1 &
  holder=$!
  exec 7>"$work/hold.in"
  local tries=0
  until grep -q '^holding' "$work/hold.out" 2>/dev/null; do
    kill -0 "$holder" 2>/dev/null || fail "the holding host ended: $(cat "$work/hold.out")"
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || fail "the holding host did not load $1 within two minutes"
    sleep 0.2
  done
}
release() {
  exec 7>&-
  wait "$holder" || fail "the holding host failed: $(cat "$work/hold.out")"
  holder=""
  rm -f "$work/hold.in"
}

play_installed() {
  run 0 "$player" play 'C:\Program Files\Common Files\VST3\TeskDelay.vst3' \
    'C:\Program Files\Common Files\CLAP\TeskDelay.clap'
  if [ -z "$player32" ]; then
    echo "installer: NOT RUN: the 32-bit modules in the (x86) Common Files, loaded by a 32-bit host (no 32-bit player given)"
    return
  fi
  run 0 "$player32" play 'C:\Program Files (x86)\Common Files\VST3\TeskDelay.vst3' \
    'C:\Program Files (x86)\Common Files\CLAP\TeskDelay.clap'
}

uninstall_quietly() {
  local command
  command=$(values "$uninstall_key" | sed -n 's/^"QuietUninstallString"="\\"\(.*\)\\" \/S"$/\1/p' | sed 's/\\\\/\\/g')
  [ -n "$command" ] || fail "no QuietUninstallString of the expected form"
  run 0 "$command" /S
}

# uninstall_in_place EXPECTED_STATUS: the uninstaller run where it lies, as
# NSIS's _?= does (else it runs a copy of itself and returns at once), which
# must end so. Through cmd: Wine would quote the folder, spaces and all, and
# NSIS takes _?= only unquoted at the end of its command line.
uninstall_in_place() {
  local folder='C:\Program Files\Velmora\TeskDelay'
  printf '"%s\\uninstall.exe" /S _?=%s\r\nexit /b %%errorlevel%%\r\n' "$folder" "$folder" >"$work/uninstall.bat"
  run "$1" cmd /c "$(winepath -w "$work/uninstall.bat")"
}

# ------------------------------------------------------------------ the installers

case "$(file -b "$setup")" in
  "PE32+ executable"*) target=amd64-unicode ;;
  "PE32 executable"*) target=x86-unicode ;;
  *) fail "$setup is not a Windows program: $(file -b "$setup")" ;;
esac
# Every file of the older version differs from the new one (bytes after a
# module's end do not keep it from loading), so that any file an update
# writes shows.
cp -r "$files" "$work/older-files"
find "$work/older-files" -type f -exec sh -c 'echo "of an older version" >>"$1"' _ {} \;
makensis -V1 -DTARGET="$target" -DVERSION=0.0.1 -DSTAGE="$work/older-files" \
  -DOUTFILE="$work/TeskDelay-0.0.1-setup.exe" "$source_dir/packaging/windows-installer.nsi"

cf='Program Files/Common Files' cfx86='Program Files (x86)/Common Files' own='Program Files/Velmora/TeskDelay'
defaults="$cf/VST3/TeskDelay.vst3/Contents/Resources/moduleinfo.json|$files/TeskDelay.vst3/Contents/Resources/moduleinfo.json
$cf/VST3/TeskDelay.vst3/Contents/x86_64-win/TeskDelay.vst3|$files/TeskDelay.vst3/Contents/x86_64-win/TeskDelay.vst3
$cf/VST3/TeskDelay.vst3/Contents/x86-win/TeskDelay.vst3|$files/TeskDelay.vst3/Contents/x86-win/TeskDelay.vst3
$cfx86/VST3/TeskDelay.vst3/Contents/Resources/moduleinfo.json|$files/TeskDelay.vst3/Contents/Resources/moduleinfo.json
$cfx86/VST3/TeskDelay.vst3/Contents/x86-win/TeskDelay.vst3|$files/TeskDelay.vst3/Contents/x86-win/TeskDelay.vst3
$cf/CLAP/TeskDelay.clap|$files/x64/TeskDelay.clap
$cfx86/CLAP/TeskDelay.clap|$files/x86/TeskDelay.clap
$own/Manual.txt|$files/Manual.txt
$own/LICENSE.txt|$files/LICENSE.txt
$own/uninstall.exe|
$own/installed-files.txt|"

# ------------------------------------------------------------------ 1. and 2.

rm -rf "$WINEPREFIX"
timeout 300 wineboot -i >/dev/null 2>&1
run 2 "$player" # its usage: the prefix's first program, so that it is settled
state >"$work/fresh"

run 2 "$setup" /S /FORMATS=vst3,vst4
run 2 "$setup" /S /FORMATS=vst2-64 /VST2DIR64=
run 0 "$setup" /S
state >"$work/installed"
expect_files "$work/fresh" "$work/installed" "$defaults"
expect_registry "$work/fresh" "$work/installed" "$(registry_values "$version" vst3,clap)"
play_installed
echo "installer: /S put exactly the $(wc -l <<<"$defaults") expected files and the two keys; the installed VST 3 and CLAP modules play"

uninstall_quietly
state >"$work/uninstalled"
diff "$work/fresh" "$work/uninstalled" >"$work/diff" || fail "the uninstall left (>) or took (<): $(cat "$work/diff")"
echo "installer: the quiet uninstall string left the prefix as it was"

# ------------------------------------------------------------------ 3.

run 0 "$work/TeskDelay-0.0.1-setup.exe" /S /FORMATS=vst3,clap,vst2-64,vst2-32 \
  '/VST2DIR64=C:\Audio\VST64' '/VST2DIR32=C:\Audio\VST32'
state >"$work/older"
grep -q 'of an older version' "$drive/$own/Manual.txt" || fail "the older version's manual is not there"

hold 'C:\Program Files\Common Files\VST3\TeskDelay.vst3\Contents\x86_64-win\TeskDelay.vst3'
run 2 "$setup" /S
release
state >"$work/refused"
diff "$work/older" "$work/refused" >"$work/diff" || fail "the update changed things while a module was in use: $(cat "$work/diff")"
echo "installer: with a module in use the update stopped (exit 2) and changed nothing"

run 0 "$setup" /S
state >"$work/updated"
with_vst2="$defaults
Audio/VST64/TeskDelay.dll|$files/x64/TeskDelay.dll
Audio/VST32/TeskDelay.dll|$files/x86/TeskDelay.dll"
expect_files "$work/fresh" "$work/updated" "$with_vst2"
expect_registry "$work/fresh" "$work/updated" \
  "$(registry_values "$version" vst3,clap,vst2-64,vst2-32 'C:\\Audio\\VST32' 'C:\\Audio\\VST64')"
play_installed
echo "installer: the update over 0.0.1 kept its formats and VST 2 folders and left one set of files, each the new one"

run 0 "$setup" /S /FORMATS=vst3,clap,vst2-64 '/VST2DIR64=C:\Audio\Moved'
state >"$work/moved"
expect_files "$work/fresh" "$work/moved" "$defaults
Audio/Moved/TeskDelay.dll|$files/x64/TeskDelay.dll"
expect_registry "$work/fresh" "$work/moved" \
  "$(registry_values "$version" vst3,clap,vst2-64 '' 'C:\\Audio\\Moved')"
echo "installer: with another VST 2 folder and one VST 2 fewer, the files no longer installed went"

hold 'C:\Audio\Moved\TeskDelay.dll'
uninstall_in_place 2
release
state >"$work/kept"
diff "$work/moved" "$work/kept" >"$work/diff" || fail "the uninstall changed things while a module was in use: $(cat "$work/diff")"
echo "installer: with a module in use the uninstall stopped (exit 2) and changed nothing"

# ------------------------------------------------------------------ 4.

uninstall_quietly
state >"$work/uninstalled"
diff "$work/fresh" "$work/uninstalled" >"$work/diff" || fail "the uninstall left (>) or took (<): $(cat "$work/diff")"
echo "installer: the uninstall after the update left the prefix as it was"
