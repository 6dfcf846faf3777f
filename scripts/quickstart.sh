#!/usr/bin/env bash
# From a fresh clone: installs what the build needs, builds everything, installs the
# plug-ins into the user's plug-in folders and runs the main job.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

artefacts="$root/build/src/plugin/Vendrasolith_artefacts/Release"
mkdir -p "$HOME/.vst" "$HOME/.lv2"
cp "$artefacts/VST/libVendrasolith.so" "$HOME/.vst/Vendrasolith.so"
rm -rf "$HOME/.lv2/Vendrasolith.lv2"
cp -r "$artefacts/LV2/Vendrasolith.lv2" "$HOME/.lv2/"
echo "Installed the VST 2.4 plug-in to $HOME/.vst/Vendrasolith.so"
echo "Installed the LV2 plug-in to $HOME/.lv2/Vendrasolith.lv2"
echo "Standalone app: $artefacts/Standalone/Vendrasolith"
echo
echo "Measuring the renderer (mono, stereo, 5.1 and 7.1 at three block sizes):"
"$root/build/bench/vendrasolith_renderer_bench"
