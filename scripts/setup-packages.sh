#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config ccache
  juce-modules-source
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
