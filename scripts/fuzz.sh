#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes what reads untrusted bytes, each target for a bounded time:
#   scripts/fuzz.sh [seconds per target] [extra libFuzzer flags...]
#   scripts/fuzz.sh --build                   only configure and build the fuzzers
#   scripts/fuzz.sh --run <target> <seconds> [extra libFuzzer flags...]
#                                             only run one, already built
# fuzz_receivestep: the panel's receive step; fuzz_logreader: logs read back and replies judged.
# Findings are written to build-fuzz/findings/; the seed corpora are fuzz/corpus*/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

build_fuzzers() {
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALIMBRA_HARDENING=OFF \
        -DCMAKE_CXX_COMPILER=clang++ -DCALIMBRA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$build" --target fuzz_receivestep fuzz_logreader
}

# run_fuzzer <name> <seconds> [extra libFuzzer flags...]
run_fuzzer() {
    local name=$1 seconds=$2 seeds
    shift 2
    case "$name" in
    receivestep) seeds=corpus ;;
    logreader) seeds=corpus-logreader ;;
    *)
        echo "no fuzzer named $name: receivestep or logreader" >&2
        return 2
        ;;
    esac
    mkdir -p "$build/findings" "$build/$seeds"
    cp -n "$root/fuzz/$seeds"/* "$build/$seeds/" 2>/dev/null || true
    echo "== fuzz_$name for $seconds s"
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/findings/" "$@" "$build/$seeds"
}

case "${1:-}" in
--build)
    build_fuzzers
    ;;
--run)
    shift
    [ $# -ge 2 ] || {
        echo "usage: $0 --run <receivestep|logreader> <seconds> [libFuzzer flags...]" >&2
        exit 2
    }
    run_fuzzer "$@"
    ;;
*)
    seconds=${1:-60}
    shift || true
    build_fuzzers
    for name in receivestep logreader; do
        run_fuzzer "$name" "$seconds" "$@"
    done
    ;;
esac
