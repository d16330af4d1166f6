#!/bin/sh
# Runs a command on a virtual X display of its own: Xvfb picks a free display
# number and reports it, so parallel runs never share one.
# usage: with_xvfb.sh <Xvfb> <command> [arguments...]
set -u
xvfb=$1
shift
fifo=$(mktemp -u)
mkfifo "$fifo"
# -noreset: like a desktop's server it stays as it is when its last client leaves
# (a reset refuses connections while it lasts).
"$xvfb" -displayfd 3 -screen 0 1024x1200x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$fifo"' EXIT INT TERM
read -r display <"$fifo"
# Wine's desktop belongs to the prefix's server and opens on the display of the
# program that started it: start a fresh server with this display.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
DISPLAY=":$display" "$@"
status=$?
wineserver -k 2>/dev/null || true
exit $status
