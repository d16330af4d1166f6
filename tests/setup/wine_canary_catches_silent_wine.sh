#!/usr/bin/env bash
# scripts/wine-canary must not believe a Wine that runs nothing: a Wine without
# 32-bit support may start a 32-bit program as nothing and exit with 0. Each
# case puts a stand-in `wine` first on PATH and checks the canary's verdict.
# usage: wine_canary_catches_silent_wine.sh <source tree>
set -uo pipefail
canary_script="$(cd "$1" && pwd)/scripts/wine-canary"
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/prefix"
touch "$work/canary.exe"

# verdict WINE_BODY KIND: the canary's exit status with `wine` doing WINE_BODY.
verdict() {
  printf '#!/bin/sh\n%s\n' "$1" >"$work/bin/wine"
  chmod +x "$work/bin/wine"
  PATH="$work/bin:$PATH" "$canary_script" "$work/canary.exe" "$work/prefix" "$2" >"$work/out" 2>&1
}

verdict 'exit 0' win32 && fail "a Wine that prints nothing and exits 0 was believed: $(cat "$work/out")"
grep -q 'did not run 32-bit' "$work/out" || fail "no reason given: $(cat "$work/out")"
if grep -qi 'passed\|Wine runs' "$work/out"; then fail "said it ran: $(cat "$work/out")"; fi

verdict 'echo "TeskDelay Wine canary: 64-bit Windows programs run"' win32 &&
  fail "a 64-bit run was taken for a 32-bit one"
verdict "echo \"wine: '\$WINEPREFIX' is a 32-bit installation, it cannot support 64-bit applications.\"" win64 &&
  fail "Wine's own refusal was believed"

# The same script believes a Wine that does run the program, so the cases
# above fail for the reason they test.
verdict 'printf "TeskDelay Wine canary: 32-bit Windows programs run\r\n"' win32 ||
  fail "a working Wine was not believed: $(cat "$work/out")"
echo "the canary believes only a Wine that printed its line for the right kind of program"
