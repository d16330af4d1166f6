#!/usr/bin/env bash
# Measures how much louder each of the 16 programs makes a fixed test signal, as
# the loudness table of docs/manual.md gives it. Needs a release build and sox.
#
#   docs/measure_programs.sh [BUILD_DIR]     (default build/release)
#
# Two test signals, both rendered at a host tempo of 120 bpm, 44.1 kHz, with a
# fixed 4-second tail so that every render has the same length:
#   phrase  the demo phrase tesk-render makes when it is given no input file;
#   pink    half a second of pink noise, the same in both channels (a centred
#           source), peaking at -14 dBFS, made with sox.
# The dry reference is the same render with every line switched off (the dry
# level is 1.0 in program 12). For every program the main pair (--outputs main)
# and all three pairs summed (--outputs mix) are measured with sox's stats:
# the peak and the RMS level over the whole render, as changes from the dry
# reference in dB. Prints a Markdown table.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
render="$build/tools/render/tesk-render"
[ -x "$render" ] || { echo "measure_programs: no $render; build the release preset first" >&2; exit 2; }
command -v sox >/dev/null || { echo "measure_programs: needs sox" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# level FILE WHAT: sox's overall "Pk lev dB" or "RMS lev dB" of FILE. sox reads
# a float file clipped to full scale, so a clipped render is refused.
level() {
  local out
  out=$(sox "$1" -n stats 2>&1)
  if grep -q "clipped" <<<"$out"; then
    echo "measure_programs: $1 goes over 0 dBFS; lower the test signal" >&2
    exit 1
  fi
  awk -v what="$2" '$0 ~ "^" what { print $4 }' <<<"$out"
}

sox -R -n -r 44100 -b 32 -e float -c 1 "$work/pink-mono.wav" synth 0.5 pinknoise fade 0.01 0.5 0.01 gain -n -14
sox "$work/pink-mono.wav" -c 2 "$work/pink.wav" remix 1 1

# render SIGNAL OUTPUT ARGS...: one render of the phrase or the noise burst.
render_signal() {
  local signal=$1 out=$2
  shift 2
  if [ "$signal" = phrase ]; then
    "$render" -q --tempo 120 --tail 4 "$@" -o "$out"
  else
    "$render" -q --tempo 120 --tail 4 "$@" "$work/pink.wav" "$out"
  fi
}

change() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; printf "%+.1f", (d < 0.05 && d > -0.05) ? 0 : d }'; }

declare -A dry_peak dry_rms
for signal in phrase pink; do
  render_signal "$signal" "$work/dry-$signal.wav" --program 12 --set IsDelayOn1=0
  dry_peak[$signal]=$(level "$work/dry-$signal.wav" "Pk lev dB")
  dry_rms[$signal]=$(level "$work/dry-$signal.wav" "RMS lev dB")
done

echo "Dry reference: phrase peak ${dry_peak[phrase]} dBFS, RMS ${dry_rms[phrase]} dBFS;" \
  "pink burst peak ${dry_peak[pink]} dBFS, RMS ${dry_rms[pink]} dBFS"
echo
echo "| program | phrase: peak | phrase: RMS | phrase: peak, all pairs mixed | pink burst: peak | pink burst: RMS |"
echo "|---|---|---|---|---|---|"
mapfile -t names < <("$render" --list | sed -n 's/^ *[*]\{0,1\} *\([0-9]\{1,2\}\)  \(.*\)$/\1 \2/p' | head -16)
for entry in "${names[@]}"; do
  n=${entry%% *} name=${entry#* }
  row="| $n $name"
  render_signal phrase "$work/main.wav" --program "$n"
  render_signal phrase "$work/mix.wav" --program "$n" --outputs mix
  render_signal pink "$work/pink-main.wav" --program "$n"
  peak=$(level "$work/main.wav" "Pk lev dB")
  row+=" | $(change "$peak" "${dry_peak[phrase]}") dB (to $peak dBFS)"
  row+=" | $(change "$(level "$work/main.wav" "RMS lev dB")" "${dry_rms[phrase]}") dB"
  row+=" | $(change "$(level "$work/mix.wav" "Pk lev dB")" "${dry_peak[phrase]}") dB"
  peak=$(level "$work/pink-main.wav" "Pk lev dB")
  row+=" | $(change "$peak" "${dry_peak[pink]}") dB (to $peak dBFS)"
  row+=" | $(change "$(level "$work/pink-main.wav" "RMS lev dB")" "${dry_rms[pink]}") dB |"
  echo "$row"
done
