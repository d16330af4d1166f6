#!/bin/sh
# scripts/install and --uninstall for a user whose HOME is a fresh temporary
# folder that already holds files of other plug-ins and tools: every file is
# placed and listed in the manifest, a second install changes nothing, the
# installed tool runs, and --uninstall leaves exactly what was there before.
# The install and its --help say how to put ~/.local/bin on PATH.
# usage: check_user_install.sh <source dir> <build dir>
set -eu
source_dir=$1 build=$2
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# The VST 3 bundle's folder for the processor the build is for.
vst3arch=$(basename "$(find "$build/TeskDelay.vst3/Contents" -mindepth 1 -maxdepth 1 -name '*-linux')")
[ -n "$vst3arch" ] || fail "no VST 3 module in $build/TeskDelay.vst3"

mkdir -p "$home/.vst" "$home/.local/bin"
echo other > "$home/.vst/OtherPlugin.so"
echo other > "$home/.local/bin/other-tool"
before=$(cd "$home" && find . | sort)

install_here() { HOME=$home "$source_dir/scripts/install" --build "$build" --no-build "$@"; }
install_here >"$home.log" 2>&1 || { cat "$home.log"; fail "scripts/install failed"; }
manifest="$home/.local/share/teskdelay/install-manifest"
[ -f "$manifest" ] || fail "no manifest at $manifest"
for f in .vst/TeskDelay.so .lxvst/TeskDelay.so .lv2/TeskDelay.lv2/manifest.ttl \
         .lv2/TeskDelay.lv2/TeskDelay.so .lv2/TeskDelay.lv2/TeskDelay_ui.so .clap/TeskDelay.clap \
         .vst3/TeskDelay.vst3/Contents/Resources/moduleinfo.json \
         ".vst3/TeskDelay.vst3/Contents/$vst3arch/TeskDelay.so" \
         .local/bin/tesk-render .local/share/man/man1/tesk-render.1 \
         .local/share/applications/teskdelay.desktop \
         .local/share/icons/hicolor/128x128/apps/teskdelay.png; do
  [ -e "$home/$f" ] || fail "$f was not installed"
  grep -qx "file $home/$f" "$manifest" || fail "$f is missing from the manifest"
done
[ "$(readlink "$home/.lxvst/TeskDelay.so")" = "$home/.vst/TeskDelay.so" ] ||
  fail "~/.lxvst/TeskDelay.so is not a link to the copy in ~/.vst"
grep -q "Ardour" "$home.log" || fail "the install does not say which hosts scan its folders"
grep -qF 'export PATH="$HOME/.local/bin:$PATH"' "$home.log" ||
  fail "the install does not say how to put ~/.local/bin on PATH"
# Every file placed is in the manifest, and nothing else is.
placed=$(cd "$home" && find . ! -type d | sed "s|^\.|$home|" | grep -v -e OtherPlugin -e other-tool \
  -e install-manifest | sort)
listed=$(sed -n 's/^file //p' "$manifest" | sort)
[ "$placed" = "$listed" ] || fail "the manifest does not list exactly the files placed"

help=$("$source_dir/scripts/install" --help)
case "$help" in *"set -"*|*"source_dir"*) fail "scripts/install --help prints lines of code: $help" ;; esac
echo "$help" | grep -qF 'export PATH="$HOME/.local/bin:$PATH"' ||
  fail "scripts/install --help does not say how to put ~/.local/bin on PATH"

first=$(cat "$manifest")
install_here >/dev/null 2>&1 || fail "a second scripts/install failed"
[ "$first" = "$(cat "$manifest")" ] || fail "a second install changed the manifest"
"$home/.local/bin/tesk-render" --version | grep -q '^tesk-render (TeskDelay) ' ||
  fail "the installed tesk-render does not answer --version"

install_here --uninstall >/dev/null 2>&1 || fail "scripts/install --uninstall failed"
after=$(cd "$home" && find . | sort)
[ "$before" = "$after" ] || fail "after --uninstall the folder differs from before:
$(printf '%s\n' "$before" >"$home.a"; printf '%s\n' "$after" | diff "$home.a" - || true)"
[ "$(cat "$home/.vst/OtherPlugin.so")" = other ] || fail "another plug-in's file was touched"
rm -f "$home.log" "$home.a"
echo "scripts/install placed $(echo "$listed" | wc -l) files, --uninstall removed them all"
