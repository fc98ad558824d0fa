#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the checks, every stage whatever failed before it, and ends with what failed and the
# command that runs each failing test again alone; the status is 0 only when everything passed.
#   scripts/test.sh           everything, as CI runs it (.ci/run):
#                               - the fuzzers: the receive step, logs read back and replies judged;
#                               - the translations: no text of the programs without one;
#                               - every test, built with AddressSanitizer and UBSan (build-asan/);
#                               - the .deb, checked by lintian and appstreamcli;
#                               - every test, built as shipped (build/).
#   scripts/test.sh --quick   the inner loop: the build as shipped and every test in it; no
#                             sanitizers, fuzzing, translation check or package.
# Stages overlap where a core would otherwise wait: the sanitizer tests run while the shipped
# build compiles; the fuzzers, the package and the translation check while the shipped tests run.
# Each stage's output is in build-logs/<stage>.log.
#   FUZZ_SECONDS              the log reader's fuzzing time (default 30); it still finds new paths
#                             at the end of it
#   FUZZ_RECEIVESTEP_SECONDS  the receive step's (default 5); it finds nothing new after its first
#                             second
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

quick=false
case "${1:-}" in
"") ;;
--quick) quick=true ;;
*)
    echo "usage: $0 [--quick]" >&2
    exit 2
    ;;
esac

logs="$root/build-logs"
rm -rf "$logs"
mkdir -p "$logs"
cores=$(nproc)
# Most tests wait on timers, boards and brokers rather than compute.
test_jobs=$((2 * cores))
sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
sanitizer_env=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    "LSAN_OPTIONS=suppressions=$root/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
started_at=$SECONDS

# Each stage: its status ("passed", "FAILED", "not run: ..."), its time, and how to run it again.
stages=()
declare -A status seconds rerun pids began
failures=()

say() { printf '[%4d s] %s\n' "$((SECONDS - started_at))" "$*"; }

# begin <stage> <rerun command> <command...>: starts a stage in the background. The fuzzers, which
# keep both cores busy for a fixed time beside the last tests, yield to them: a test must not wait
# its turn past a timer it is watching. Nothing else does: the rest is waited for, and on a shared
# machine a niced stage would wait for every other build there.
begin() {
    local stage=$1 again=$2
    shift 2
    stages+=("$stage")
    rerun[$stage]=$again
    began[$stage]=$SECONDS
    say "$stage: started"
    # The stage notes when it ended: it may be waited for long after.
    (
        case "$stage" in
        fuzz-*) renice -n 10 -p "$BASHPID" >/dev/null ;;
        esac
        "$@" >"$logs/$stage.log" 2>&1
        code=$?
        echo "$SECONDS" >"$logs/.$stage.ended"
        exit "$code"
    ) &
    pids[$stage]=$!
}

# finish <stage>: waits for a stage; true when it passed.
finish() {
    local stage=$1 code=0
    wait "${pids[$stage]}" || code=$?
    seconds[$stage]=$(($(cat "$logs/.$stage.ended" 2>/dev/null || echo "$SECONDS") - began[$stage]))
    if [ "$code" -eq 0 ]; then
        status[$stage]=passed
    else
        status[$stage]="FAILED (status $code)"
    fi
    say "$stage: ${status[$stage]} (took ${seconds[$stage]} s)"
    [ "$code" -eq 0 ]
}

# run <stage> <rerun command> <command...>: a stage in the foreground.
run() {
    begin "$@"
    finish "$1"
}

# skip <stage> <reason>
skip() {
    stages+=("$1")
    status[$1]="not run: $2"
    seconds[$1]=0
    say "$1: not run ($2)"
}

# begin_tests <stage> <build-dir> [VAR=value...]: every test of a build folder; afterwards
# collect_failed_tests lists each failing one with the command that runs it alone.
run_tests() {
    local dir=$1
    shift
    rm -f "$dir/Testing/Temporary/LastTestsFailed.log"
    env "$@" ctest --test-dir "$dir" --output-on-failure --parallel "$test_jobs"
}
begin_tests() {
    local stage=$1 dir=$2
    shift 2
    begin "$stage" "${*:+$* }ctest --test-dir $dir --output-on-failure" run_tests "$dir" "$@"
}
collect_failed_tests() {
    local stage=$1 dir=$2 name
    shift 2
    [ -f "$dir/Testing/Temporary/LastTestsFailed.log" ] || return 0
    while IFS=: read -r _ name; do
        failures+=("$stage: $name|${*:+$* }ctest --test-dir $dir -R '^$name\$' --output-on-failure")
    done <"$dir/Testing/Temporary/LastTestsFailed.log"
}

# build_tree <build-dir> [cmake options...]
build_tree() {
    cmake -S "$root" -B "$1" -G Ninja -DBUILD_TESTING=ON "${@:2}" && cmake --build "$1" --parallel "$cores"
}

run deps "scripts/install-deps.sh" "$root/scripts/install-deps.sh"

if "$quick"; then
    if run build "cmake --build build" build_tree "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
        begin_tests tests "$root/build"
        finish tests
        collect_failed_tests tests "$root/build"
    else
        skip tests "the build failed"
    fi
else
    # What the sanitizers watch, built with clang: about twice as fast to compile as with GCC, and
    # line tables are all their reports need.
    if run sanitizer-build "cmake --build build-asan" build_tree "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only "-DCMAKE_CXX_FLAGS=$sanitize" \
        -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined; then
        begin_tests sanitizer-tests "$root/build-asan" "${sanitizer_env[@]}"
    else
        skip sanitizer-tests "the sanitizer build failed"
    fi
    fuzzers_built=false
    run fuzzer-build "scripts/fuzz.sh --build" "$root/scripts/fuzz.sh" --build && fuzzers_built=true
    shipped_built=false
    run build "cmake --build build" build_tree "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
        shipped_built=true

    # The shipped tests, then what is left, in the room they leave.
    if "$shipped_built"; then
        begin_tests tests "$root/build"
        begin package "scripts/package.sh --no-build build" "$root/scripts/package.sh" --no-build "$root/build"
    else
        skip tests "the build failed"
        skip package "the build failed"
    fi
    begin translations "scripts/update-translations.sh --check" "$root/scripts/update-translations.sh" --check
    if "$fuzzers_built"; then
        begin fuzz-receivestep "scripts/fuzz.sh --run receivestep ${FUZZ_RECEIVESTEP_SECONDS:-5}" \
            "$root/scripts/fuzz.sh" --run receivestep "${FUZZ_RECEIVESTEP_SECONDS:-5}"
        begin fuzz-logreader "scripts/fuzz.sh --run logreader ${FUZZ_SECONDS:-30}" \
            "$root/scripts/fuzz.sh" --run logreader "${FUZZ_SECONDS:-30}"
    else
        skip fuzz-receivestep "the fuzzers' build failed"
        skip fuzz-logreader "the fuzzers' build failed"
    fi

    for stage in "${stages[@]}"; do
        [ -n "${pids[$stage]:-}" ] && [ -z "${status[$stage]:-}" ] && finish "$stage"
    done
    [ -n "${pids[sanitizer-tests]:-}" ] && collect_failed_tests sanitizer-tests "$root/build-asan" "${sanitizer_env[@]}"
    [ -n "${pids[tests]:-}" ] && collect_failed_tests tests "$root/build"
fi

# What the fuzzers found: the input that breaks it, to run it on alone.
for name in receivestep logreader; do
    log="$logs/fuzz-$name.log"
    [ -f "$log" ] || continue
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log" | sed "s/^/fuzz_$name: /"
    if [[ "${status[fuzz-$name]}" != passed ]]; then
        unit=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
        [ -n "$unit" ] && failures+=("fuzz-$name: $unit|build-fuzz/fuzz/fuzz_$name $unit")
    fi
done

echo
echo "== Summary ($((SECONDS - started_at)) s in all; logs in build-logs/)"
any_failed=false
for stage in "${stages[@]}"; do
    printf '  %-18s %-28s %5d s\n' "$stage" "${status[$stage]}" "${seconds[$stage]}"
    [[ "$stage" == tests || "$stage" == sanitizer-tests ]] && [ -f "$logs/$stage.log" ] &&
        grep -E '^[0-9]+% tests passed' "$logs/$stage.log" | sed 's/^/      /'
    [ "${status[$stage]}" = passed ] && continue
    any_failed=true
    [[ "${status[$stage]}" == FAILED* ]] || continue
    echo "      again: ${rerun[$stage]}   (log: build-logs/$stage.log)"
    grep -E 'FAIL!|Loc: \[|ERROR: AddressSanitizer|runtime error:|LeakSanitizer|^FAIL:' "$logs/$stage.log" |
        head -n 20 | sed 's/^/      | /'
done
if [ "${#failures[@]}" -gt 0 ]; then
    echo "Failed, each with the command that runs it again alone:"
    for failure in "${failures[@]}"; do
        echo "  ${failure%%|*}"
        echo "      ${failure#*|}"
    done
fi
if "$any_failed"; then
    echo "FAILED"
    exit 1
fi
echo "All passed"
