#!/bin/sh
# The modules' audio path calls no software floating-point routine: no
# quad-precision arithmetic of the compiler's runtime (__addtf3, __divtf3,
# __extenddftf2, ... what long double becomes on aarch64) and no long double
# function of the C library (tanl, cosl, sinl, ...) is linked into them.
# usage: check_no_soft_float.sh <nm> <module>...
set -eu
nm=$1
shift
for module in "$@"; do
  [ -f "$module" ] || { echo "FAIL: $module does not exist" >&2; exit 1; }
  found=$("$nm" "$module" | awk '{print $NF}' | sed 's/@.*//' |
    grep -E '^(__[a-z]+tf[23]?|__[a-z]+tf[a-z]*[0-9]|(tan|sin|cos|exp|log|pow|sqrt|fmod)l)$' || true)
  if [ -n "$found" ]; then
    echo "FAIL: $module links software floating-point routines: $(echo "$found" | tr '\n' ' ')" >&2
    exit 1
  fi
  echo "$module: no software floating-point routine"
done
