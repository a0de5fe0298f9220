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
#
# Then the history archive (--no-archive leaves it out): bench_archive fills
# an SQLite file and a PostgreSQL database (a throwaway server of its own,
# scripts/pg-throwaway.sh, on 127.0.0.1 and a socket) with 10 million
# samples each, timing the writer, and has eight stations write into the
# server at once; then bench_station starts the 64-chamber station on a copy
# of each archive, without and with it, for the CPU ratio and the probe lag
# while Brenlow loads the last day and its first retention pass deletes the
# older half. ARCHIVE_SAMPLES sets the 10 million; --archive-only leaves out
# the station table before it.
# Exit status 0 when every goal is met, 1 when one is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

screen=1
archive=1
stations=1
args=()
for arg in "$@"; do
    case "$arg" in
        --offscreen) screen=0 ;;
        --no-archive) archive=0 ;;
        --archive-only) stations=0 ;;
        *) args+=("$arg") ;;
    esac
done

bash scripts/install-deps.sh bench

build_dir=${BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target brenlow bench_station bench_archive >/dev/null

platform=offscreen
if [ "$screen" = 1 ]; then
    # Xvfb picks a free display number itself and writes it to the pipe.
    exec 3< <(Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp -noreset 4>&1 >/dev/null 2>&1 & echo "pid $!")
    read -r _ xvfb_pid <&3
    read -r display <&3
    cleanup_screen() { kill "$xvfb_pid" 2>/dev/null || true; }
    export DISPLAY=":$display"
    platform=xcb
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/brenlow-bench.XXXXXX")"
cleanup() {
    [ -d "$work/pg" ] && bash scripts/pg-throwaway.sh remove "$work/pg" >/dev/null 2>&1
    rm -rf -- "$work"
    if declare -f cleanup_screen >/dev/null; then cleanup_screen; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "screen: $([ "$screen" = 1 ] && echo "Xvfb 1920 x 1080 on $DISPLAY" || echo "offscreen")"
status=0
if [ "$stations" = 1 ]; then
    "$build_dir/bench/bench_station" --brenlow "$build_dir/brenlow" --platform "$platform" \
        ${args[@]+"${args[@]}"} || status=1
fi
[ "$archive" = 1 ] || exit "$status"

echo
echo "=== the history archive"
samples=${ARCHIVE_SAMPLES:-10000000}
chmod 711 "$work" # the server runs as an unprivileged user
url="$(bash scripts/pg-throwaway.sh start "$work/pg")"
port="${url##*:}"
sql() { psql -q -h 127.0.0.1 -p "$port" -U brenlow -d postgres -c "$1"; }
sql "CREATE DATABASE filled"
sql "CREATE DATABASE eight"
bench="$build_dir/bench/bench_archive"
"$bench" --sqlite "$work/filled.db" --fill "$samples" || status=1
"$bench" --postgres "$url/filled" --fill "$samples" || status=1
"$bench" --postgres "$url/eight" --writers 8 --seconds 30 || status=1

# Each start on a copy, so that its retention pass has the older half to
# delete and its start the last day to read.
station() {
    "$build_dir/bench/bench_station" --brenlow "$build_dir/brenlow" --platform "$platform" \
        --sizes 64 --rounds 1 --lag-seconds 30 --history "$1" || status=1
}
cp "$work/filled.db" "$work/run.db"
echo "--- 64 chambers, SQLite archive of $samples samples"
station "History File=$work/run.db"
sql "CREATE DATABASE run TEMPLATE filled"
echo "--- 64 chambers, PostgreSQL archive of $samples samples"
station "History Database=$url/run"
exit "$status"
