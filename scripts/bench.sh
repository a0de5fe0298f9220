#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures Brenlow's receive path, start-up and memory for stations of 1, 16
# and 64 ion chambers and prints the table of docs/PERFORMANCE.md. It builds
# a release build of its own (build-bench), then runs bench_station, which
# starts the real brenlow binary against a server of its own on 127.0.0.1.
# Brenlow draws on a virtual X screen of 1920 x 1080 (Xvfb, local socket only,
# no TCP), the size of an operator's screen, so that a station larger than
# that scrolls as it does at a desk; --offscreen uses Qt's offscreen platform
# instead (no screen size there, every station opens at its full size).
# Extra arguments go to bench_station (--rounds N, --lines N, --sizes LIST).
# Exit status 0 when every goal is met, 1 when one is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

screen=1
args=()
for arg in "$@"; do
    if [ "$arg" = --offscreen ]; then screen=0; else args+=("$arg"); fi
done

bash scripts/install-deps.sh bench

build_dir=${BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target brenlow bench_station >/dev/null

platform=offscreen
if [ "$screen" = 1 ]; then
    # Xvfb picks a free display number itself and writes it to the pipe.
    exec 3< <(Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp -noreset 4>&1 >/dev/null 2>&1 & echo "pid $!")
    read -r _ xvfb_pid <&3
    read -r display <&3
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
    export DISPLAY=":$display"
    platform=xcb
fi

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "screen: $([ "$screen" = 1 ] && echo "Xvfb 1920 x 1080 on $DISPLAY" || echo "offscreen")"
"$build_dir/bench/bench_station" --brenlow "$build_dir/brenlow" --platform "$platform" ${args[@]+"${args[@]}"}
