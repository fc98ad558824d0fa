#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is needed, then runs every check; exits non-zero on the first failure:
#   1. the fuzzers (the receive step; logs read back and replies), FUZZ_SECONDS each (default 30);
#   2. the translations: no text of the programs without one;
#   3. every test, built with AddressSanitizer and UBSan;
#   4. the .deb, checked by lintian and appstreamcli;
#   5. every test, built as shipped (its CTest summary is the last thing printed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"

echo "== Fuzzing the receive step, and logs and replies, ${FUZZ_SECONDS:-30} s each"
mkdir -p "$root/build-fuzz"
log="$root/build-fuzz/fuzz.log"
if ! "$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "The fuzzer found a fault; the input is in build-fuzz/findings/" >&2
    exit 1
fi
grep -E '^(== fuzz|Done|stat::number_of_executed_units|stat::new_units_added)' "$log"

echo "== Translations"
"$root/scripts/update-translations.sh" --check

echo "== Tests with AddressSanitizer and UBSan"
sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS=$sanitize" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
(
    cd "$root/build-asan"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --output-on-failure --parallel 2
)

echo "== Package"
"$root/scripts/package.sh" "$root/build"

echo "== Tests"
"$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure --parallel 2
