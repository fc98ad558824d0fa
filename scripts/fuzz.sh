#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes what reads untrusted bytes, each target for a bounded time:
#   scripts/fuzz.sh [seconds per target] [extra libFuzzer flags...]
# fuzz_receivestep: the panel's receive step; fuzz_logreader: logs read back and replies judged.
# Findings are written to build-fuzz/findings/; the seed corpora are fuzz/corpus*/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALIMBRA_HARDENING=OFF -DCMAKE_CXX_COMPILER=clang++ \
    -DCALIMBRA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_receivestep fuzz_logreader

mkdir -p "$build/findings"
for target in receivestep:corpus logreader:corpus-logreader; do
    name=${target%%:*}
    seeds=${target#*:}
    mkdir -p "$build/$seeds"
    cp -n "$root/fuzz/$seeds"/* "$build/$seeds/" 2>/dev/null || true
    echo "== fuzz_$name for $seconds s"
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/findings/" "$@" "$build/$seeds"
done
