#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak test: Brenlow's main window against tesra-sim for MINUTES (default 30).
#
# The simulator (on a free port of 127.0.0.1) has every HV module report its
# voltage 10 times a second, drops the link every 20 s and turns connections
# away for 2 s after each drop. The station reconnects after 1 s
# ("Reconnect Interval=1") and writes its command log. The soak driver
# (build/bench/brenlow-soak) builds the window as the program does and acts
# as an operator once a second: ranges, set voltages, ramp rates, filters. It
# samples memory, descriptors, objects, timers and the command log once a
# minute, and fails when memory grows by more than 2 MiB after the warm-up,
# descriptors grow at all, or a reconnect does not bring every panel its
# values again. Both processes stop by themselves; the run is bounded by
# MINUTES plus a margin.
#
# Usage: scripts/soak.sh [MINUTES]
# The build directory is ./build (the default preset), or $BRENLOW_BUILD_DIR.
# The samples and the verdict go to standard output and to
# $BRENLOW_BUILD_DIR/soak/soak.log; the traffic and debug logs stay there too.
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top" # the example's key file and tables are relative to the top directory
# The example's key file is the station's password: private, as the program
# expects of any key file (a checkout leaves it readable by everyone).
chmod 600 examples/Brenlow.key
# shellcheck source=scripts/sim-port.sh
. "$top/scripts/sim-port.sh"

minutes=${1:-30}
case "$minutes" in ''|*[!0-9]*|0) echo "soak.sh: MINUTES must be a whole number above 0" >&2; exit 2 ;; esac

bdir="${BRENLOW_BUILD_DIR:-build}"
sim_bin="$bdir/tesra-sim"
driver="$bdir/bench/brenlow-soak"
for bin in "$sim_bin" "$driver"; do
    [ -x "$bin" ] || { echo "soak.sh: $bin is not built (cmake --build --preset default)" >&2; exit 1; }
done

work="$bdir/soak"
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The simulator outlives the driver by a little and then stops by itself.
limit=$((minutes * 60 + 60))
"$sim_bin" -c examples/station.ini --address 127.0.0.1 --port 0 \
    --hv-events 10 --drop-every 20 --refuse-for 2 --quit-after "$limit" \
    --log "$work/traffic.log" >"$work/sim.out" 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
port="$(sim_port "$sim_pid" "$work/sim.out" 100)"
if [ -z "$port" ]; then
    echo "soak.sh: the simulator did not start:" >&2
    cat "$work/sim.out" >&2
    exit 1
fi

# The example station aimed at the simulator, reconnecting after 1 s and
# writing its command log.
ini="$work/station.ini"
commands="$PWD/$work/commands.log"
sed -e "s/^Tesra Port=.*/Tesra Port=$port/" \
    -e "s|^Reconnect Interval=.*|Reconnect Interval=1\nCommand Log=$commands|" \
    examples/station.ini >"$ini"
if ! grep -qx 'Tesra IP=127.0.0.1' "$ini" || ! grep -qx "Tesra Port=$port" "$ini" ||
    ! grep -qx 'Reconnect Interval=1' "$ini"; then
    echo "soak.sh: examples/station.ini must hold Tesra IP=127.0.0.1, Tesra Port= and Reconnect Interval=" >&2
    exit 1
fi

echo "soak.sh: $minutes minutes against tesra-sim on 127.0.0.1:$port ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
status=0
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.qpa.*=false" \
    timeout --kill-after=10 "$((limit + 30))" \
    "$driver" --config "$ini" --minutes "$minutes" --command-log "$commands" \
    2>"$work/debug.log" | tee "$work/soak.log" || status=$?
if [ "$status" -ne 0 ]; then
    echo "soak.sh: FAILED (status $status); logs in $work" >&2
    exit 1
fi
echo "soak.sh: passed; logs in $work"
