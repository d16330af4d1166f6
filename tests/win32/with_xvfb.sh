#!/bin/sh
# Runs a command on a virtual X display of its own: Xvfb picks a free display
# number and reports it, so parallel runs never share one.
# usage: with_xvfb.sh <Xvfb> <command> [arguments...]
set -eu
xvfb=$1
shift
fifo=$(mktemp -u)
mkfifo "$fifo"
"$xvfb" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$fifo"' EXIT INT TERM
read -r display <"$fifo"
DISPLAY=":$display" "$@"
