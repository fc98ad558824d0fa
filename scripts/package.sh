#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb from a build folder and checks it as Debian would: lintian (no error or warning,
# every remaining note overridden with a reason), the AppStream metadata and the desktop entries.
#   scripts/package.sh [build-dir]              the package is left in that folder
#   scripts/package.sh --no-build [build-dir]   of what that folder holds already built
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_first=true
if [ "${1:-}" = "--no-build" ]; then
    build_first=false
    shift
fi
build=${1:-"$root/build"}

# Every tool first: a check that cannot run must not look like one that passed.
missing=()
need() { command -v "$1" >/dev/null || missing+=("$1 (Debian package $2)"); }
need cpack cmake
need dpkg-shlibdeps dpkg-dev
need file file
need strip binutils
need lintian lintian
need appstreamcli appstream
need desktop-file-validate desktop-file-utils
if [ "${#missing[@]}" -gt 0 ]; then
    printf 'Building and checking the package needs %s.\n' "${missing[@]}" >&2
    echo "Nothing was checked: install them with scripts/install-deps.sh, then run $0 again." >&2
    exit 1
fi

# The test command builds first and runs the tests meanwhile: configuring again here would
# rewrite the files they are read from.
if "$build_first"; then
    "$root/scripts/build.sh" "$build"
fi
(cd "$build" && rm -f ./*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/calimbra_*.deb)
echo "Built $deb ($(du -k "$deb" | cut -f1) KiB)"

# As root lintian says so on stderr; what it finds goes to stdout. Status 1 is findings, anything
# else but 0 is lintian failing to look.
status=0
findings=$(lintian --pedantic -I --tag-display-limit 0 "$deb" 2>"$build/lintian.stderr") || status=$?
if [ "$status" -gt 1 ]; then
    cat "$build/lintian.stderr" >&2
    echo "lintian could not check the package (status $status)" >&2
    exit 1
fi
if [ -n "$findings" ] || [ "$status" -ne 0 ]; then
    echo "$findings"
    echo "lintian has findings on the package" >&2
    exit 1
fi
echo "lintian --pedantic -I: nothing to report"

metainfo=("$build/app/io.github.calimbra.calimbra.metainfo.xml" "$build/monitor/io.github.calimbra.monitor.metainfo.xml")
report=$(appstreamcli validate --pedantic --no-net "${metainfo[@]}" 2>&1) || { echo "$report"; exit 1; }
if grep -qE '^ *[EWIP]: ' <<<"$report"; then
    echo "$report"
    echo "appstreamcli has remarks on the metadata" >&2
    exit 1
fi
desktop-file-validate "$root"/app/*.desktop "$root"/monitor/*.desktop
echo "AppStream metadata and desktop entries valid"
