#!/usr/bin/env bash
# Measures Brenlow's receive path, start-up and memory for stations of 1, 16
# and 64 ion chambers and prints the table of docs/PERFORMANCE.md. It builds
# a release build of its own (build-bench), then runs bench_station, which
# starts the real brenlow binary against a server of its own on 127.0.0.1.
# Extra arguments go to bench_station (--rounds N, --lines N, --sizes LIST).
# Exit status 0 when every goal is met, 1 when one is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh \
    cmake make g++ pkg-config \
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5charts5-dev libqt5sql5-sqlite

build_dir=${BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target brenlow bench_station >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build_dir/bench/bench_station" --brenlow "$build_dir/brenlow" "$@"
