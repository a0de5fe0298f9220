#!/usr/bin/env bash
# One-command demo of Brenlow without a beamline.
#
# Installs what is missing (Debian, apt-get), builds Brenlow and the station
# simulator in ./build, starts tesra-sim with the example station on a free
# port of 127.0.0.1 and opens Brenlow against it. With a display Brenlow runs
# until its window is closed. Without one ($DISPLAY empty, or --headless) both
# run on a virtual X display for a few seconds; the script saves a screenshot,
# prints its path and a summary of the traffic, and exits 0.
#
# Usage: scripts/run-demo.sh [-e] [--headless] [--seconds N] [--screenshot FILE]
#                            [--hv-voltage VOLTS] [--hv-target VOLTS]
#                            [--no-install] [--no-build]
#   -e                 English interface (Japanese by default)
#   --headless         use a virtual display even when $DISPLAY is set
#   --seconds N        how long the headless run lasts (default 6)
#   --screenshot FILE  where the headless screenshot goes
#                      (default build/demo/brenlow-demo.png)
#   --hv-voltage V     the simulated HV modules start at V volts (default 0)
#   --hv-target V      the HV modules start ramping to V volts (headless
#                      default 1500, so the screenshot shows them moving)
#   --no-install       never call apt-get
#   --no-build         use the programs already built
# The build directory is ./build, or $BRENLOW_BUILD_DIR when set.
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top" # the example's key file and tables are relative to the top directory

english=0
headless=0
seconds=6
shot=""
hv_voltage=0
hv_target=""
install=1
build=1
bdir="${BRENLOW_BUILD_DIR:-build}"
while [ $# -gt 0 ]; do
    case "$1" in
        -e) english=1 ;;
        --headless) headless=1 ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --screenshot) shot="${2:?--screenshot needs a file}"; shift ;;
        --hv-voltage) hv_voltage="${2:?--hv-voltage needs a number}"; shift ;;
        --hv-target) hv_target="${2:?--hv-target needs a number}"; shift ;;
        --no-install) install=0 ;;
        --no-build) build=0 ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "run-demo: unknown argument $1 (try --help)" >&2; exit 2 ;;
    esac
    shift
done
case "$seconds" in ''|*[!0-9]*) echo "run-demo: --seconds takes a whole number" >&2; exit 2 ;; esac
[ -n "${DISPLAY:-}" ] || headless=1
if [ "$headless" = 1 ] && [ -z "$hv_target" ] && [ "$hv_voltage" = 0 ]; then
    hv_target=1500
fi

say() { printf 'run-demo: %s\n' "$*"; }

# --- packages ---------------------------------------------------------------
need=(qtbase5-dev qttools5-dev qttools5-dev-tools cmake g++ fonts-noto-cjk)
[ "$headless" = 1 ] && need+=(xvfb xauth imagemagick)
if [ "$install" = 1 ]; then
    bash scripts/install-deps.sh "${need[@]}"
fi

# --- build ------------------------------------------------------------------
if [ "$build" = 1 ]; then
    say "building in $bdir"
    cmake -S . -B "$bdir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$bdir" -j"$(nproc)" --target brenlow tesra-sim >/dev/null
fi
sim_bin="$bdir/tesra-sim"
brenlow_bin="$bdir/brenlow"
for bin in "$sim_bin" "$brenlow_bin"; do
    [ -x "$bin" ] || { say "$bin is not built"; exit 1; }
done

# --- simulator --------------------------------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/brenlow-demo.XXXXXX")"
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

log="$work/traffic.log"
"$sim_bin" -c examples/station.ini --address 127.0.0.1 --port 0 --log "$log" \
    --hv-voltage "$hv_voltage" ${hv_target:+--hv-target "$hv_target"} >"$work/sim.out" 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
port=""
for _ in $(seq 100); do
    port="$(sed -n 's/^tesra-sim listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")"
    [ -n "$port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    say "the simulator did not start:"
    cat "$work/sim.out" >&2
    exit 1
fi
say "tesra-sim listening on 127.0.0.1:$port"

# The example station, aimed at the simulator. It must name the loopback
# server: Brenlow's default server address is the station's real one.
ini="$work/station.ini"
sed "s/^Tesra Port=.*/Tesra Port=$port/" examples/station.ini >"$ini"
if ! grep -qx 'Tesra IP=127.0.0.1' "$ini" || ! grep -qx "Tesra Port=$port" "$ini"; then
    say "examples/station.ini must hold the lines Tesra IP=127.0.0.1 and Tesra Port=..."
    exit 1
fi
args=(-c "$ini")
[ "$english" = 1 ] && args=(-e "${args[@]}")

summary() {
    say "traffic (from $log):"
    awk '{ tag[$2]++ } END { for (t in tag) printf "  %-8s %d\n", t, tag[t] }' "$log" | sort
    say "messages by word:"
    awk '$2 == "request" || $2 == "reply" || $2 == "event" || $2 == "system" { n[$4]++ }
         END { for (w in n) printf "  %5d  %s\n", n[w], w }' "$log" | sort -rn | head -20
}

if [ "$headless" = 0 ]; then
    say "opening Brenlow; close its window to end the demo"
    "$brenlow_bin" "${args[@]}" || true
    summary
    exit 0
fi

# --- headless: virtual display, screenshot ----------------------------------
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1600x1100x24 -nolisten tcp -auth /dev/null >"$work/xvfb.out" 2>&1 &
xvfb_pid=$!
pids+=("$xvfb_pid")
display=""
read -r -t 10 display <&"$fd" || true
if [ -z "$display" ]; then
    say "Xvfb did not start:"
    cat "$work/xvfb.out" >&2
    exit 1
fi
export DISPLAY=":$display"
unset WAYLAND_DISPLAY
say "virtual display $DISPLAY"

QT_QPA_PLATFORM=xcb "$brenlow_bin" "${args[@]}" >"$work/brenlow.out" 2>&1 &
brenlow_pid=$!
pids=("$brenlow_pid" "${pids[@]}")
sleep "$seconds"
if ! kill -0 "$brenlow_pid" 2>/dev/null; then
    say "Brenlow ended early:"
    tail -20 "$work/brenlow.out" >&2
    exit 1
fi

[ -n "$shot" ] || shot="$bdir/demo/brenlow-demo.png"
mkdir -p "$(dirname "$shot")"
# No window manager: the window sits at the top left on a black root; trim
# the black around it.
import -display "$DISPLAY" -window root "$work/root.png"
convert "$work/root.png" -bordercolor black -border 1 -trim +repage "$shot"
say "screenshot: $(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"
summary
exit 0
