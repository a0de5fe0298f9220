#!/usr/bin/env bash
# Checks the project's own sources the way CI does: clang-format must leave
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
program_dirs=(app client window amplifier hv sim)
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
