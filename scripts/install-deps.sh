#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of the named sets that are missing. The sets
# are defined in scripts/packages.txt, the one list of what each command
# needs, so that a fresh Debian machine needs nothing else.
#
# Usage: scripts/install-deps.sh SET...        install what is missing
#        scripts/install-deps.sh --print SET...  print the packages, one a line
set -euo pipefail
list="$(dirname "${BASH_SOURCE[0]}")/packages.txt"

print=0
if [ "${1:-}" = --print ]; then
    print=1
    shift
fi
[ $# -gt 0 ] || { echo "install-deps: name a set of $list" >&2; exit 2; }

declare -A seen=()
packages=()
# expand SET: appends the packages of SET (and of the sets it names) once.
expand() {
    local set=$1 line item
    [ -n "${seen[$set]:-}" ] && return 0
    seen[$set]=1
    line="$(sed -n "s/^$set:[[:space:]]*//p" "$list")"
    if [ -z "$line" ]; then
        echo "install-deps: no set '$set' in $list" >&2
        exit 2
    fi
    for item in $line; do
        case "$item" in
            @*) expand "${item#@}" ;;
            *) [ -n "${seen[pkg:$item]:-}" ] || { seen[pkg:$item]=1; packages+=("$item"); } ;;
        esac
    done
}
for set in "$@"; do
    expand "$set"
done

if [ "$print" = 1 ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
