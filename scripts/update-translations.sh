#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Refreshes the translation catalogues from the sources: i18n/*.ts (every program's texts) and
# man/po/ (the manuals, through po4a over the pages scdoc renders from man/*.scd).
#   scripts/update-translations.sh           update them in place
#   scripts/update-translations.sh --check   change nothing; fail when a text lacks a translation
#                                            or has one marked fuzzy
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lupdate=/usr/lib/qt6/bin/lupdate
[ -x "$lupdate" ] || lupdate=$(command -v lupdate6 || command -v lupdate)
sources=("$root/app" "$root/base" "$root/device" "$root/mqtt" "$root/readings" "$root/portwidgets" "$root/ui" "$root/cli" "$root/monitor" "$root/tools")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The English pages, as the build renders them; po4a.cfg must name each.
mkdir -p "$work/pages"
for source in "$root"/man/*.scd; do
    page=$(basename "$source" .scd)
    grep -q "^\[type: man\] $page " "$root/man/po4a.cfg" || {
        echo "man/po4a.cfg does not name $page: add a [type: man] line for it" >&2
        exit 1
    }
    scdoc <"$source" >"$work/pages/$page"
done
# manuals <destination> [po4a options]: refreshes <destination>/man/po from the pages.
manuals() {
    local destination=$1
    shift
    po4a --no-translations --quiet --copyright-holder "The Calimbra developers" "$@" \
        --srcdir "$work/pages" --destdir "$destination" "$root/man/po4a.cfg"
}

if [ "${1:-}" = "--check" ]; then
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

    mkdir -p "$work/copy/man"
    cp -r "$root/man/po" "$work/copy/man/"
    # Forced: the copies are newer than the pages, and po4a would take them for up to date.
    (cd "$work/copy" && manuals "$work/copy" --force)
    for po in "$work"/copy/man/po/*.po; do
        # "N translated messages, N fuzzy translations, N untranslated messages."
        stats=$(LC_ALL=C msgfmt --statistics -o /dev/null "$po" 2>&1)
        fuzzy=$(sed -n 's/.* \([0-9]*\) fuzzy.*/\1/p' <<<"$stats")
        untranslated=$(sed -n 's/.* \([0-9]*\) untranslated.*/\1/p' <<<"$stats")
        if [ "${fuzzy:-0}" -gt 0 ] || [ "${untranslated:-0}" -gt 0 ]; then
            echo "man/po/$(basename "$po"): of the manuals' texts ${untranslated:-0} lack a translation" \
                "and ${fuzzy:-0} have one marked fuzzy (check it, then remove the mark):" >&2
            msgattrib --only-fuzzy --no-obsolete --no-location "$po" | sed '1,/^$/d' >&2
            msgattrib --untranslated --no-obsolete --no-location "$po" | sed '1,/^$/d' >&2
            status=1
        fi
    done

    if [ "$status" -eq 0 ]; then
        for ts in "$work"/*.ts; do
            echo "$(basename "$ts"): all $(grep -c '<source>' "$ts") texts translated"
        done
        for po in "$work"/copy/man/po/*.po; do
            echo "man/po/$(basename "$po"): all $(LC_ALL=C msgfmt --statistics -o /dev/null "$po" 2>&1 | cut -d' ' -f1) texts of the manuals translated"
        done
    fi
    exit "$status"
fi

"$lupdate" -locations none -no-obsolete "${sources[@]}" -ts "$root"/i18n/*.ts
(cd "$root" && manuals "$root")
