#!/bin/sh
# Runs a command with the Wine prefix's desktop at a given DPI: Wine reads the
# LogPixels value when its server starts, so with_xvfb.sh's fresh server sees it;
# the prefix gets its former setting back afterwards.
# usage: with_dpi.sh <dpi> <wine> <with_xvfb.sh> <Xvfb> <command> [arguments...]
set -u
dpi=$1 wine=$2
shift 2
key='HKCU\Control Panel\Desktop'
"$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || {
  echo "with_dpi.sh: cannot set LogPixels in the Wine prefix" >&2
  exit 1
}
sh "$@"
status=$?
"$wine" reg delete "$key" /v LogPixels /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
exit $status
