#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Removes what cmake --install put in place from a build folder, and the folders it created that are
# empty again; nothing else. Every install from that folder leaves a record there,
# install_record_<place>.txt, one per place installed to.
#   scripts/uninstall.sh [build-dir] [prefix]     prefix: needed when several places were installed to
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}

shopt -s nullglob
available=("$build"/install_record_*.txt)
if [ "${#available[@]}" -eq 0 ]; then
    echo "No install from $build is recorded: nothing to remove." >&2
    exit 1
fi
if [ -n "${2:-}" ]; then
    prefix=$(realpath -m "$2")
    record=
    for candidate in "${available[@]}"; do
        [ "$(sed -n 's/^root //p' "$candidate")" = "${DESTDIR:-}$prefix" ] && record=$candidate
    done
    [ -n "$record" ] || {
        echo "No install to ${DESTDIR:-}$prefix is recorded in $build." >&2
        exit 1
    }
elif [ "${#available[@]}" -eq 1 ]; then
    record=${available[0]}
else
    echo "Installs to several places are recorded; name the one to remove:" >&2
    sed -n 's/^root /  /p' "${available[@]}" >&2
    exit 1
fi

top=$(sed -n 's/^root //p' "$record")
below() { case "$1" in "$top"/*) return 0 ;; *) return 1 ;; esac; }

files=0
while IFS= read -r path; do
    if ! below "$path"; then
        echo "Left $path: it is outside $top" >&2
        continue
    fi
    if [ -e "$path" ] || [ -L "$path" ]; then
        rm -f -- "$path"
        files=$((files + 1))
    fi
done < <(sed -n 's/^file //p' "$record")

# Deepest first, so that a parent is looked at once its children are gone; a folder that holds
# anything else stays.
folders=0
kept=()
while IFS= read -r folder; do
    if ! below "$folder" || [ ! -d "$folder" ] || [ -L "$folder" ]; then
        continue
    fi
    if rmdir -- "$folder" 2>/dev/null; then
        folders=$((folders + 1))
    else
        kept+=("$folder")
    fi
done < <(sed -n 's/^folder //p' "$record" | awk '{ print gsub("/", "/") "\t" $0 }' | sort -rn | cut -f2-)

rm -f -- "$record"
echo "Removed $files files and $folders folders from $top."
if [ "${#kept[@]}" -gt 0 ]; then
    echo "Kept, as they hold other files:"
    printf '  %s\n' "${kept[@]}"
fi
