#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes the receive step for a bounded time: scripts/fuzz.sh [seconds] [extra libFuzzer flags...]
# Findings are written to build-fuzz/findings/; the seed corpus is fuzz/corpus/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALIMBRA_HARDENING=OFF -DCMAKE_CXX_COMPILER=clang++ \
    -DCALIMBRA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_receivestep

mkdir -p "$build/corpus" "$build/findings"
cp -n "$root"/fuzz/corpus/* "$build/corpus/" 2>/dev/null || true
"$build/fuzz/fuzz_receivestep" -max_total_time="$seconds" -max_len=1024 -print_final_stats=1 \
    -artifact_prefix="$build/findings/" "$@" "$build/corpus"
