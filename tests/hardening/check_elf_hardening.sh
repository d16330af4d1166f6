#!/bin/sh
# Reads every ELF file under a folder (an install prefix, or an unpacked
# package) and checks the hardening cmake/hardening.cmake builds in:
#   - bound at load: BIND_NOW in FLAGS or NOW in FLAGS_1
#   - a GNU_RELRO segment
#   - a stack protector: __stack_chk_fail imported
#   - fortified calls: a file that imports any C library function glibc has a
#     checking __X_chk for imports at least one __X_chk (as lintian judges it)
#   - programs position-independent (type DYN)
#   - branch protection: every function a file exports begins with a landing
#     pad (x86-64: endbr64; aarch64: bti c, or paciasp, which is one too), read
#     off the code, since the notes that would say so are dropped wherever the C
#     library's start files lack them (Debian 12's do)
# Every failure is named before the script fails.
#
# usage: check_elf_hardening.sh [--install BUILD] [--no-fortify] FOLDER
#   --install BUILD   first `cmake --install BUILD --prefix FOLDER` into a fresh FOLDER
#   --no-fortify      the build went without _FORTIFY_SOURCE (debug, sanitizers)
set -eu
fail() { echo "FAIL: $*" >&2; exit 1; }

build="" fortify=1
while [ $# -gt 1 ]; do
  case "$1" in
    --install) build=$2; shift ;;
    --no-fortify) fortify=0 ;;
    *) fail "unknown argument '$1'" ;;
  esac
  shift
done
[ $# -eq 1 ] || fail "usage: check_elf_hardening.sh [--install BUILD] [--no-fortify] FOLDER"
folder=$1
command -v readelf >/dev/null || fail "readelf (binutils) is not installed: scripts/setup build"

# first_instruction <elf> <objdump> <hex address>: the mnemonic there.
first_instruction() {
  "$2" -d --no-show-raw-insn --start-address="0x$3" --stop-address="$(printf '0x%x' $((0x$3 + 8)))" "$1" |
    sed -n 's/^ *[0-9a-f]*:[[:space:]]*\([a-z0-9]*\).*/\1/p' | head -n 1
}

if [ -n "$build" ]; then
  rm -rf "$folder"
  cmake --install "$build" --prefix "$folder" >/dev/null || fail "cmake --install $build failed"
fi

# The C library this machine's programs run with, as sed itself has mapped it,
# and the functions it has a checking variant of.
libc=$(sed -n 's|^.* \(/[^ ]*/libc\.so\.6\)$|\1|p' /proc/self/maps | head -n 1)
[ -n "$libc" ] || fail "no libc.so.6 among the files this process mapped"
fortifiable=$(readelf --dyn-syms -W "$libc" | awk '$7 != "UND" { sub(/@.*/, "", $8); print $8 }' |
  sed -n 's/^__\(.*\)_chk$/\1/p' | grep -v '^stack$' | sort -u)
[ -n "$fortifiable" ] || fail "$libc exports no __*_chk function"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
checked=0 failures=0 branch=0
problem() {
  echo "FAIL: ${elf#"$folder"/}: $*" >&2
  failures=$((failures + 1))
}

find "$folder" -type f | sort >"$scratch/files"
while read -r elf; do
  readelf -h "$elf" >"$scratch/header" 2>/dev/null || continue
  checked=$((checked + 1))
  readelf -dW "$elf" >"$scratch/dynamic"
  readelf -lW "$elf" >"$scratch/segments"
  readelf --dyn-syms -W "$elf" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }' | sort -u \
    >"$scratch/imports"

  grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*[[:space:]]NOW' "$scratch/dynamic" ||
    problem "not bound at load (no BIND_NOW, no FLAGS_1 NOW): linked without -z now"
  grep -q '^ *GNU_RELRO ' "$scratch/segments" ||
    problem "no GNU_RELRO segment: linked without -z relro"
  grep -qx '__stack_chk_fail' "$scratch/imports" ||
    problem "does not import __stack_chk_fail: built without -fstack-protector-strong"
  if [ "$fortify" -eq 1 ] && ! grep -Eqx '__.+_chk' "$scratch/imports"; then
    plain=$(echo "$fortifiable" | grep -Fx -f "$scratch/imports" | paste -sd ' ' -)
    [ -z "$plain" ] ||
      problem "imports $plain but none of their __*_chk variants: built without -D_FORTIFY_SOURCE=2"
  fi
  if grep -q 'Type: *EXEC ' "$scratch/header"; then
    problem "a program at a fixed address (type EXEC): linked without -pie"
  fi
  case "$(sed -n 's/^ *Machine: *//p' "$scratch/header")" in
    *X86-64*) objdump=objdump pads="endbr64" flag=-fcf-protection ;;
    AArch64) objdump=aarch64-linux-gnu-objdump pads="bti paciasp" flag=-mbranch-protection=standard ;;
    *) objdump="" ;;
  esac
  readelf --dyn-syms -W "$elf" | awk '$4 == "FUNC" && $7 != "UND" { sub(/@.*/, "", $8); print $2, $8 }' \
    >"$scratch/exported"
  if [ -n "$objdump" ] && [ -s "$scratch/exported" ]; then
    command -v "$objdump" >/dev/null || fail "$objdump is not installed: scripts/setup test"
    while read -r address name; do
      first=$(first_instruction "$elf" "$objdump" "$address")
      case " $pads " in
        *" $first "*) branch=$((branch + 1)) ;;
        *) problem "$name begins with '$first', not a landing pad ($pads): built without $flag" ;;
      esac
    done <"$scratch/exported"
  fi
done <"$scratch/files"

[ "$checked" -gt 0 ] || fail "no ELF file under $folder"
[ "$failures" -eq 0 ] || fail "$failures hardening check(s) failed in the $checked ELF files under $folder"
what="bound at load, RELRO, stack protector"
[ "$fortify" -eq 1 ] && what="$what, fortified calls"
[ "$branch" -gt 0 ] || fail "no exported function under $folder to read the branch protection off"
echo "$checked ELF files under $folder: $what, position-independent;" \
  "$branch exported functions begin with a landing pad"
