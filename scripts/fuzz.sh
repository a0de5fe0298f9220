#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in ./build-fuzz and runs each for SECONDS
# (default 30), one after the other on one core, starting from the seed
# corpus in fuzz/corpus/<target>. A crash or failed check stops with status 1
# and leaves the input that caused it in build-fuzz/findings/<target>/.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# The inputs that a run adds to the corpus stay in build-fuzz/corpus/<target>;
# the repository's seeds are never written to.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac
shift || true

bash scripts/install-deps.sh \
    cmake make clang libfuzzer-14-dev pkg-config \
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5charts5-dev libqt5sql5-sqlite

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build_dir" -DBRENLOW_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi

# Leaks are checked as in the sanitized suite; the only suppressions are
# those of objects that Qt keeps for the life of the process.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

status=0
for target in "${targets[@]}"; do
    corpus="$build_dir/corpus/$target"
    findings="$build_dir/findings/$target"
    mkdir -p "$corpus" "$findings"
    echo "fuzz.sh: $target for ${seconds}s"
    if ! "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "fuzz/corpus/$target" >"$build_dir/$target.log" 2>&1; then
        echo "fuzz.sh: $target found a fault; input kept in $findings" >&2
        tail -40 "$build_dir/$target.log" >&2
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build_dir/$target.log" |
        sed "s/^/fuzz.sh: $target /"
done
exit "$status"
