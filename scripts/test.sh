#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Exits non-zero if anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

cd "$root/build"
ctest --output-on-failure --parallel 2
