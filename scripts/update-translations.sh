#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Refreshes the translation catalogues in i18n/ from the sources (every program's texts).
#   scripts/update-translations.sh           update i18n/*.ts in place
#   scripts/update-translations.sh --check   change nothing; fail when a text lacks a translation
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lupdate=/usr/lib/qt6/bin/lupdate
[ -x "$lupdate" ] || lupdate=$(command -v lupdate6 || command -v lupdate)
sources=("$root/app" "$root/base" "$root/device" "$root/readings" "$root/portwidgets" "$root/ui" "$root/cli" "$root/monitor" "$root/tools")

if [ "${1:-}" = "--check" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp "$root"/i18n/*.ts "$work/"
    # Its notes on tr() outside classes are about the helpers that give those texts a context.
    "$lupdate" -silent -locations none -no-obsolete "${sources[@]}" -ts "$work"/*.ts 2>/dev/null
    status=0
    for ts in "$work"/*.ts; do
        missing=$(grep -c 'type="unfinished"' "$ts" || true)
        if [ "$missing" -gt 0 ]; then
            echo "$(basename "$ts"): $missing texts without a translation:" >&2
            grep -B3 'type="unfinished"' "$ts" | grep '<source>' >&2 || true
            status=1
        fi
    done
    if [ "$status" -eq 0 ]; then
        for ts in "$work"/*.ts; do
            echo "$(basename "$ts"): all $(grep -c '<source>' "$ts") texts translated"
        done
    fi
    exit "$status"
fi

"$lupdate" -locations none -no-obsolete "${sources[@]}" -ts "$root"/i18n/*.ts
