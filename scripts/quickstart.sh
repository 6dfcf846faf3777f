#!/usr/bin/env bash
# From a fresh clone: installs what the build needs, builds everything, installs the
# plug-ins into the user's plug-in folders and renders the built-in 7.1 demo to a
# binaural file for headphones.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

artefacts="$root/build/src/plugin/Vendrasolith_artefacts/Release"
mkdir -p "$HOME/.vst" "$HOME/.vst3" "$HOME/.lv2"
cp "$artefacts/VST/libVendrasolith.so" "$HOME/.vst/Vendrasolith.so"
rm -rf "$HOME/.vst3/Vendrasolith.vst3"
cp -r "$artefacts/VST3/Vendrasolith.vst3" "$HOME/.vst3/"
# One LV2 bundle per input layout: Vendrasolith (stereo), -Mono, -5.1 and -7.1.
for bundle in "$artefacts"/LV2/*.lv2; do
  rm -rf "$HOME/.lv2/$(basename "$bundle")"
  cp -r "$bundle" "$HOME/.lv2/"
done
# The Standalone app where the user's own programs go, with a menu entry.
mkdir -p "$HOME/.local/bin" "$HOME/.local/share/applications"
install -m 755 "$artefacts/Standalone/Vendrasolith" "$HOME/.local/bin/Vendrasolith"
cat >"$HOME/.local/share/applications/vendrasolith.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Vendrasolith
Comment=Binauralization of mono/stereo/surround tracks
Exec=$HOME/.local/bin/Vendrasolith
Terminal=false
Categories=AudioVideo;Audio;
DESKTOP
echo "Installed the VST3 plug-in to $HOME/.vst3/Vendrasolith.vst3"
echo "Installed the VST 2.4 plug-in to $HOME/.vst/Vendrasolith.so"
echo "Installed the LV2 plug-ins to $HOME/.lv2: $(cd "$artefacts/LV2" && echo *.lv2)"
echo "Installed the Standalone app to $HOME/.local/bin/Vendrasolith (with a menu entry)"
echo

renderer="$root/build/src/cli/vendrasolith-render"
demo="$root/build/demo/vendrasolith-demo-binaural.wav"
mkdir -p "$(dirname "$demo")"
"$renderer" --demo "$demo"

player=""
for candidate in pw-play paplay aplay; do
  if command -v "$candidate" >/dev/null 2>&1; then player="$candidate"; break; fi
done
echo "Rendered the 7.1 demo binaurally: $demo"
echo "A burst sounds from each loudspeaker in turn, one second each: L, C, R, Rss, Rsr, Lsr, Lss."
if [ -n "$player" ]; then
  echo "Listen on headphones: $player \"$demo\"  (or open it in any audio player)"
else
  echo "Listen on headphones: open it in any audio player"
fi
echo "Render your own files: $renderer INPUT OUTPUT  (--help lists the options)"
