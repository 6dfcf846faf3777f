#!/usr/bin/env bash
# Configures and builds everything into build/ (Release, Ninja, ccache).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export CCACHE_BASEDIR="$root"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
