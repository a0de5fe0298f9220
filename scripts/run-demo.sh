#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One-command demo of Brenlow without a beamline.
#
# Installs what is missing (Debian, apt-get), builds Brenlow and the station
# simulator in ./build, starts tesra-sim with the example station on a free
# port of 127.0.0.1 and opens Brenlow against it. With a display Brenlow runs
# until its window is closed. Without one ($DISPLAY empty, or --headless)
# Brenlow draws off screen: after a few seconds it writes a picture of its
# window itself (its --screenshot switch), and the script prints the picture's
# path and a summary of the traffic, and exits 0. Its temporary directory
# (the simulator's traffic log, the station file aimed at it) is removed at
# the end unless --keep asks to keep it.
#
# Usage: scripts/run-demo.sh [-e] [--headless] [--seconds N] [--screenshot FILE]
#                            [--hv-voltage VOLTS] [--hv-target VOLTS]
#                            [--chambers N] [--trends] [--history-db] [--keep]
#                            [--no-install] [--no-build]
#   -e                 English interface (Japanese by default)
#   --headless         use a virtual display even when $DISPLAY is set
#   --seconds N        the headless picture shows the station about N seconds
#                      after the simulator started (default 6)
#   --screenshot FILE  where the headless screenshot goes
#                      (default build/demo/brenlow-demo.png)
#   --hv-voltage V     the simulated HV modules start at V volts (default 0)
#   --hv-target V      the HV modules start ramping to V volts (headless
#                      default 1500, so the screenshot shows them moving)
#   --chambers N       instead of the example station, a station of N ion
#                      chambers, eight to a row (64 shows a station larger
#                      than most screens, which scrolls)
#   --trends           also open the trends window; the headless picture
#                      is of it, about 25 s after Brenlow has logged in
#   --history-db       record the history into a PostgreSQL database: a
#                      throwaway server started for the demo in its
#                      temporary directory (socket there, and 127.0.0.1 at a
#                      free port), stopped and removed at the end; the
#                      script prints what was recorded
#   --keep             keep the temporary directory and print its path
#   --drop-every S     the simulator closes Brenlow's connection every S
#                      seconds; the status bar shows the link going and
#                      coming back (the example station reconnects after 2 s)
#   --refuse-for S     after each drop the simulator turns connections away
#                      for S seconds
#   --mute NODES       the simulator's device nodes NODES (comma-separated,
#                      for example hvps.2) take requests and never answer, as
#                      a hung driver; Brenlow names them after its Answer
#                      Timeout
#   --fault NODE=WORD@S[+S]
#                      the simulator's HV module NODE reports the status WORD
#                      S seconds after it started (for +S seconds, or until
#                      it is given a set voltage), for example
#                      --fault hvps.2=TRIP@5; repeatable
#   --overload NODE@S[+S]
#                      the simulator's amplifier NODE overloads S seconds
#                      after it started (for +S seconds, or until a larger
#                      range is chosen); repeatable
#   --answer-timeout S Brenlow's Answer Timeout for the demo (the example
#                      station's is 10 s); the headless picture comes about
#                      a second after the link is ready, so a muted node
#                      shows in it with S below 1
#   --no-install       never call apt-get
#   --no-build         use the programs already built
# The build directory is ./build, or $BRENLOW_BUILD_DIR when set.
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top" # the example's key file and tables are relative to the top directory
# The example's key file is the station's password: private, as the program
# expects of any key file (a checkout leaves it readable by everyone).
chmod 600 examples/Brenlow.key
# shellcheck source=scripts/sim-port.sh
. "$top/scripts/sim-port.sh"

english=0
headless=0
seconds=6
shot=""
hv_voltage=0
hv_target=""
install=1
build=1
sim_extra=()
answer_timeout=""
keep=0
chambers=0
trends=0
history_db=0
bdir="${BRENLOW_BUILD_DIR:-build}"
while [ $# -gt 0 ]; do
    case "$1" in
        -e) english=1 ;;
        --headless) headless=1 ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --screenshot) shot="${2:?--screenshot needs a file}"; shift ;;
        --hv-voltage) hv_voltage="${2:?--hv-voltage needs a number}"; shift ;;
        --hv-target) hv_target="${2:?--hv-target needs a number}"; shift ;;
        --keep) keep=1 ;;
        --chambers) chambers="${2:?--chambers needs a number}"; shift ;;
        --trends) trends=1 ;;
        --history-db) history_db=1 ;;
        --drop-every) sim_extra+=(--drop-every "${2:?--drop-every needs a number}"); shift ;;
        --refuse-for) sim_extra+=(--refuse-for "${2:?--refuse-for needs a number}"); shift ;;
        --mute) sim_extra+=(--mute "${2:?--mute needs node names}"); shift ;;
        --fault) sim_extra+=(--fault "${2:?--fault needs NODE=WORD@SECONDS}"); shift ;;
        --overload) sim_extra+=(--overload "${2:?--overload needs NODE@SECONDS}"); shift ;;
        --answer-timeout) answer_timeout="${2:?--answer-timeout needs a number}"; shift ;;
        --no-install) install=0 ;;
        --no-build) build=0 ;;
        -h|--help) sed -n '3,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "run-demo: unknown argument $1 (try --help)" >&2; exit 2 ;;
    esac
    shift
done
case "$seconds" in ''|*[!0-9]*) echo "run-demo: --seconds takes a whole number" >&2; exit 2 ;; esac
case "$chambers" in ''|*[!0-9]*) echo "run-demo: --chambers takes a whole number" >&2; exit 2 ;; esac
[ -n "${DISPLAY:-}" ] || headless=1
if [ "$headless" = 1 ] && [ -z "$hv_target" ] && [ "$hv_voltage" = 0 ]; then
    hv_target=1500
fi

say() { printf 'run-demo: %s\n' "$*"; }

# --- packages ---------------------------------------------------------------
if [ "$install" = 1 ]; then
    if [ "$history_db" = 1 ]; then
        bash scripts/install-deps.sh demo-db
    else
        bash scripts/install-deps.sh demo
    fi
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
    if [ -d "$work/pg" ]; then
        bash scripts/pg-throwaway.sh remove "$work/pg" >/dev/null 2>&1 || true
    fi
    if [ "$keep" = 1 ]; then
        say "kept $work"
    else
        rm -rf -- "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A larger station: the example's tables and key, N chambers of the example's
# kind, eight to a row.
station=examples/station.ini
if [ "$chambers" -gt 0 ]; then
    station="$work/large.ini"
    {
        echo "Tesra IP=127.0.0.1"
        sed -n '/^Tesra Port=/,/^Reconnect Interval=/p' examples/station.ini
        echo "TCTables=CA5350TC"
        echo "RangeTables=CA5350Ranges"
        hv="" amp="" ic=""
        for ((k = 0; k < chambers; k++)); do
            sep=${hv:+, }
            hv+="${sep}HV $k"; amp+="${sep}AMP $k"; ic+="${sep}IC $k"
        done
        echo "HV Module Names=$hv"
        echo "AMP Module Names=$amp"
        echo "IC Module Names=$ic"
        sed -n '/^\[CA5350TC\]/,/^$/p; /^\[CA5350Ranges\]/,/^$/p' examples/station.ini
        for ((k = 0; k < chambers; k++)); do
            printf '[HV %d]\nid=hv%d\ndriver=hvps\nch=%d\nPosition in Window=1, 0\n' "$k" "$k" "$k"
            printf 'Color=235, 245, 255\nDefault Voltage=500, 1000, 1500, 2000\nDefault Select=1000\n\n'
            printf '[AMP %d]\nid=amp%d\ndriver=ca5350\nch=c%d\nPosition in Window=0, 1, 2, 1\n' "$k" "$k" "$k"
            printf 'TC Table=CA5350TC\nRange Table=CA5350Ranges\n'
            printf 'Current Surpression Table=examples/csupr/I0.txt\n\n'
            printf '[IC %d]\nHV Unit id=hv%d\nAMP Unit id=amp%d\nPosition of Name=0, 0\n' "$k" "$k" "$k"
            printf 'Position in Window=%d, %d\n\n' $((k % 8)) $((k / 8))
        done
    } >"$station"
fi

log="$work/traffic.log"
"$sim_bin" -c "$station" --address 127.0.0.1 --port 0 --log "$log" \
    --hv-voltage "$hv_voltage" ${hv_target:+--hv-target "$hv_target"} \
    ${sim_extra[@]+"${sim_extra[@]}"} >"$work/sim.out" 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
port="$(sim_port "$sim_pid" "$work/sim.out" 100)"
if [ -z "$port" ]; then
    say "the simulator did not start:"
    cat "$work/sim.out" >&2
    exit 1
fi
say "tesra-sim listening on 127.0.0.1:$port"

# The example station, aimed at the simulator. It must name the loopback
# server: Brenlow's default server address is the station's real one.
ini="$work/station.ini"
sed "s/^Tesra Port=.*/Tesra Port=$port/" "$station" >"$ini"
if [ -n "$answer_timeout" ]; then
    case "$answer_timeout" in
        ''|*[!0-9.]*) say "--answer-timeout takes a number of seconds"; exit 2 ;;
    esac
    sed -i "s/^Answer Timeout=.*/Answer Timeout=$answer_timeout/" "$ini"
fi
if ! grep -qx 'Tesra IP=127.0.0.1' "$ini" || ! grep -qx "Tesra Port=$port" "$ini"; then
    say "$station must hold the lines Tesra IP=127.0.0.1 and Tesra Port=..."
    exit 1
fi
# The history database: a server of the demo's own, never the machine's.
db_url=""
if [ "$history_db" = 1 ]; then
    chmod 711 "$work" # the server runs as an unprivileged user
    pg_url="$(bash scripts/pg-throwaway.sh start "$work/pg")" || {
        say "the PostgreSQL server did not start"
        exit 1
    }
    pg_port="${pg_url##*:}"
    psql -q -h 127.0.0.1 -p "$pg_port" -U brenlow -d postgres -c "CREATE DATABASE brenlow" || {
        say "no database on the demo's server"
        exit 1
    }
    db_url="$pg_url/brenlow"
    # Top-level keys, so before the first section.
    sed -i "1i History Database=$db_url\nStation Name=demo" "$ini"
    say "recording into $db_url"
fi
args=(-c "$ini")
[ "$english" = 1 ] && args=(-e "${args[@]}")
[ "$trends" = 1 ] && args+=(--trends)

summary() {
    if [ -n "$db_url" ]; then
        say "recorded in $db_url:"
        psql -h 127.0.0.1 -p "$pg_port" -U brenlow -d brenlow -A -F ' ' -t -c \
            "SELECT 'samples', count(*) FROM samples UNION ALL SELECT 'events', count(*) FROM events" |
            sed 's/^/  /'
    fi
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

# --- headless: Brenlow pictures its own window -------------------------------
[ -n "$shot" ] || shot="$bdir/demo/brenlow-demo.png"
mkdir -p "$(dirname "$shot")"
# The simulator has been moving since it started; Brenlow takes its picture
# about a second after it has logged in.
[ "$seconds" -gt 1 ] && sleep $((seconds - 1))
if ! QT_QPA_PLATFORM=offscreen "$brenlow_bin" "${args[@]}" --screenshot "$shot" \
    >"$work/brenlow.out" 2>&1; then
    say "Brenlow could not write the screenshot:"
    tail -20 "$work/brenlow.out" >&2
    exit 1
fi
say "screenshot: $(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"
summary
exit 0
