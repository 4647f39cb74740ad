#!/usr/bin/env bash
# Builds everything (Release, incremental in build/) and runs the whole test suite.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# Cache hits across clones: paths below the repository count as relative.
export CCACHE_BASEDIR="$here"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure --timeout 600 -j 2
