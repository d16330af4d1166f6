#!/usr/bin/env bash
# Checks the built bundle in <LV2 path> with Debian's own tools: sord_validate
# against the LV2 schemas of lv2-dev, and lv2info's listing.
set -euo pipefail
path=$1
bundle=$path/TeskDelay.lv2
fail() { echo "check_bundle: $*" >&2; exit 1; }
need() {
  command -v "$1" >/dev/null ||
    fail "$1 is not installed: the Debian package $2 brings it (scripts/setup installs it)"
}
need sord_validate sordi
need lv2info lilv-utils

mapfile -t schemas < <(dpkg -L lv2-dev | grep '^/usr/lib/lv2/.*\.ttl$' | grep -v '/manifest\.ttl$')
[ ${#schemas[@]} -gt 20 ] || fail "lv2-dev's schemas not found"
report=$(sord_validate "${schemas[@]}" "$bundle"/*.ttl 2>&1) || fail "sord_validate: $report"
grep -q '^Found 0 errors' <<<"$report" || fail "sord_validate: $report"

info=$(LV2_PATH=$path lv2info urn:velmora:TeskDelay 2>&1) || fail "lv2info: $info"
grep -q 'urn:velmora:TeskDelay#ui' <<<"$info" || fail "lv2info lists no UI"
grep -q 'ui#X11UI' <<<"$info" || fail "the UI is no X11 UI"
ports=$(grep -c '^	Port [0-9]*:' <<<"$info")
[ "$ports" -eq 75 ] || fail "lv2info lists $ports ports, not 75"
for symbol in in_1 main_left out3_right FeedBack1 VolumeThruInput Tempo4 IsTempoSync4 time \
              TempoInUse1 TempoInUse4 enabled; do
  grep -q "Symbol: *$symbol\$" <<<"$info" || fail "no port $symbol"
done
presets=$(sed -n '/Presets:/,/Port 0:/p' <<<"$info" | grep -c -E '^\s+[0-9]{2} ')
[ "$presets" -eq 13 ] || fail "lv2info lists $presets presets, not the 13 numbered ones"
for preset in "01 Simple single echo" "09 Ping pong" "12 Crescendo echo" "13 Init"; do
  grep -q "^\s*$preset\$" <<<"$info" || fail "lv2info lists no preset '$preset'"
done
echo "check_bundle: sord_validate and lv2info agree with the bundle"
