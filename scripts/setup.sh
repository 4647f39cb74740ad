#!/usr/bin/env bash
# From a fresh Debian machine to an installed plug-in: system packages, a
# Release build, the bundle copied to ~/.vst3, and a short demo rendered
# through it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# Cache hits across clones: paths below the repository count as relative.
export CCACHE_BASEDIR="$here"

bash scripts/setup-packages.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target Nebulon_VST3 nebulon_render

mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/Nebulon.vst3"
cp -R build/Nebulon_artefacts/Release/VST3/Nebulon.vst3 "$HOME/.vst3/"
echo "Installed $HOME/.vst3/Nebulon.vst3"

mkdir -p out
./build/tools/nebulon_render docs/demo/plucks.wav out/demo-analog.wav program=1 delayTime=375 feedback=55 mix=45
./build/tools/nebulon_render docs/demo/plucks.wav out/demo-digital.wav program=11 delayTime=250 feedback=40 mix=40
echo "Rendered out/demo-analog.wav and out/demo-digital.wav"
