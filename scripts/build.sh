#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds Calimbra: scripts/build.sh [build-dir] [extra cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true

# Tests on, whatever the demo left in the cache.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
