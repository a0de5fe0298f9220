#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the project's own sources the way CI does: no file includes a header
# of a layer above its own (see layers below), clang-format must leave
# every C++ file as it is (.clang-format), and clang-tidy must find nothing
# in the program's sources (.clang-tidy). Build directories are never looked
# at. The tidy step reads the compile commands of a configured and built
# tree (the forms' generated headers must exist):
#
#     bash scripts/lint.sh [build-dir]      (default: $BUILD_DIR or build)
#
# LINT_JOBS sets how many clang-tidy processes run at once (default: cores).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-${BUILD_DIR:-build}}
jobs=${LINT_JOBS:-$(nproc)}

# The project's own folders; tests and tools are formatted, the program's
# sources are also tidied.
program_dirs=(app client station devices history alarms widgets window amplifier hv sim)
other_dirs=(tests bench fuzz examples)

existing() {
    for d in "$@"; do
        [ -d "$d" ] && echo "$d"
    done
    return 0
}

mapfile -t format_files < <(find $(existing "${program_dirs[@]}" "${other_dirs[@]}") \
    -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
mapfile -t tidy_files < <(find $(existing "${program_dirs[@]}") -type f -name '*.cpp' | sort)

# The layers, lowest first. The base library (Qt Core, Network and SQL) is the
# lowest: every file its folders' CMakeLists.txt give to brenlow_base, which
# includes the base code of the device folders. A base file includes only base
# files; the simulator and the fuzzers too. Above it, the widget folders by
# rank: a file includes its own folder, the base, or a folder of a lower rank.
declare -A rank=([widgets]=1 [amplifier]=2 [hv]=2 [window]=3 [app]=4)
mapfile -t base_files < <(for list in */CMakeLists.txt; do
    dir=${list%/CMakeLists.txt}
    awk -v dir="$dir" '/target_sources\(brenlow_base/ { on = 1 }
        on { for (i = 1; i <= NF; i++) if ($i ~ /\.(h|cpp)\)?$/) { f = $i; sub(/\)$/, "", f); print dir "/" f } }
        on && /\)/ { on = 0 }' "$list"
done | sort -u)
is_base() {
    local f
    for f in "${base_files[@]}"; do [ "$f" = "$1" ] && return 0; done
    return 1
}
upward=0
while IFS=: read -r file include; do
    from=${file%%/*}
    to=${include%%/*}
    [ "$from" = "$to" ] && continue
    if is_base "$include"; then
        continue
    fi
    if is_base "$file" || [ "$from" = sim ] || [ "$from" = fuzz ]; then
        echo "$file: includes $include, which is not in the base library" >&2
        upward=1
    elif [ -z "${rank[$to]:-}" ] || [ -z "${rank[$from]:-}" ] || [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
        echo "$file: includes $include, which is not in a lower layer" >&2
        upward=1
    fi
done < <(grep -HoE '^#include "[a-z]+/[A-Za-z0-9_]+\.h"' \
             $(find $(existing "${program_dirs[@]}" fuzz) -type f \( -name '*.cpp' -o -name '*.h' \) | sort) |
         sed -E 's/:#include "(.*)"$/:\1/')
[ "$upward" = 0 ] || exit 1
echo "layers: no upward include (${#base_files[@]} base files)"

echo "clang-format: ${#format_files[@]} files"
clang-format --dry-run -Werror "${format_files[@]}"

if [ ! -f "$build_dir/compile_commands.json" ]; then
    echo "lint: no $build_dir/compile_commands.json; configure and build first" >&2
    exit 2
fi
echo "clang-tidy: ${#tidy_files[@]} files, $jobs at a time"
# GCC builds C++17 without naming it, clang would read C++14: say it.
printf '%s\n' "${tidy_files[@]}" |
    xargs -P "$jobs" -n 1 clang-tidy -p "$build_dir" --quiet --extra-arg=-std=c++17
echo "lint: clean"
