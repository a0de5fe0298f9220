#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Refreshes the README's screenshots from the station simulator:
# docs/images/station-en.png (English) and docs/images/station-ja.png, and
# the link's states, docs/images/link-{connected,lost}-{en,ja}.png, a
# silent HV module, docs/images/silent-device-{en,ja}.png, and the trends
# window, docs/images/trends-{en,ja}.png (the HV modules ramping from 0 to
# 1500 V, the simulator dropping the link once), and the alarms,
# docs/images/alarms-{en,ja}.png (an HV module tripped, another one silent)
# (Japanese; needs
# fonts-noto-cjk, which run-demo.sh installs). Brenlow draws
# both itself, off screen, with the simulated HV modules holding 1000 V; no
# display is needed. Last, the snapshot comparison table,
# docs/images/snapshot-compare-{en,ja}.png: a snapshot saved from the
# simulator, a few settings changed in the file, the window pictured with
# the table open.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
# The example's key file is the station's password: private, as the program
# expects of any key file (a checkout leaves it readable by everyone).
chmod 600 examples/Brenlow.key
mkdir -p docs/images
scripts/run-demo.sh --headless -e --seconds 6 --hv-voltage 1000 \
    --screenshot docs/images/station-en.png "$@"
scripts/run-demo.sh --headless --seconds 6 --hv-voltage 1000 \
    --screenshot docs/images/station-ja.png "$@"
# The link's states. The simulator drops the connection more often than the
# picture waits after the link is ready, so the lost one shows the link down
# (and the example station's reconnect counting down).
scripts/run-demo.sh --headless -e --seconds 6 --hv-voltage 1000 \
    --screenshot docs/images/link-connected-en.png "$@"
scripts/run-demo.sh --headless --seconds 6 --hv-voltage 1000 \
    --screenshot docs/images/link-connected-ja.png "$@"
scripts/run-demo.sh --headless -e --seconds 6 --hv-voltage 1000 --drop-every 0.9 \
    --screenshot docs/images/link-lost-en.png "$@"
scripts/run-demo.sh --headless --seconds 6 --hv-voltage 1000 --drop-every 0.9 \
    --screenshot docs/images/link-lost-ja.png "$@"
# A muted HV node: the simulator never answers it, and a short Answer
# Timeout lets the picture, a second after the link is ready, name it.
scripts/run-demo.sh --headless -e --seconds 6 --hv-voltage 1000 --mute hvps.2 \
    --answer-timeout 0.5 --screenshot docs/images/silent-device-en.png "$@"
scripts/run-demo.sh --headless --seconds 6 --hv-voltage 1000 --mute hvps.2 \
    --answer-timeout 0.5 --screenshot docs/images/silent-device-ja.png "$@"
# The trends window: the modules ramp to 1500 V while the picture waits,
# and the simulator drops the link once on the way.
scripts/run-demo.sh --headless -e --seconds 2 --hv-target 1500 --drop-every 14 --trends \
    --screenshot docs/images/trends-en.png "$@"
scripts/run-demo.sh --headless --seconds 2 --hv-target 1500 --drop-every 14 --trends \
    --screenshot docs/images/trends-ja.png "$@"
# The alarms: hvps.2 trips two seconds after the simulator started, before
# Brenlow logs in, and hvps.4 never answers; the list opens by itself for the
# trip, the panels and their chambers are marked.
scripts/run-demo.sh --headless -e --seconds 6 --hv-voltage 1000 --fault hvps.2=TRIP@2 \
    --mute hvps.4 --answer-timeout 0.5 --screenshot docs/images/alarms-en.png "$@"
scripts/run-demo.sh --headless --seconds 6 --hv-voltage 1000 --fault hvps.2=TRIP@2 \
    --mute hvps.4 --answer-timeout 0.5 --screenshot docs/images/alarms-ja.png "$@"

# The comparison table. The file, not the devices, is changed: the first
# amplifier's (AMP I0) range, filter and suppression value and the first HV
# module's set voltage, so the table and the markers show four differences.
# shellcheck source=scripts/sim-port.sh
. "$top/scripts/sim-port.sh"
bdir="${BRENLOW_BUILD_DIR:-build}"
work="$(mktemp -d "${TMPDIR:-/tmp}/brenlow-shots.XXXXXX")"
"$bdir/tesra-sim" -c examples/station.ini --address 127.0.0.1 --port 0 --hv-voltage 1000 \
    >"$work/sim.out" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -rf -- "$work"' EXIT
port="$(sim_port "$sim_pid" "$work/sim.out" 100)"
[ -n "$port" ] || { echo "screenshots: the simulator did not start" >&2; exit 1; }
sed "s/^Tesra Port=.*/Tesra Port=$port/" examples/station.ini >"$work/station.ini"
QT_QPA_PLATFORM=offscreen "$bdir/brenlow" -e -c "$work/station.ini" \
    --save-snapshot "$work/saved.json" 2>/dev/null
sed -e '0,/"range": "1e-08"/s//"range": "1e-06"/' \
    -e '0,/"filter": false/s//"filter": true/' \
    -e '0,/"suppressionValue": "0"/s//"suppressionValue": "5e-10"/' \
    -e '0,/"setV": "1500"/s//"setV": "2000"/' "$work/saved.json" >"$work/changed.json"
QT_QPA_PLATFORM=offscreen "$bdir/brenlow" -e -c "$work/station.ini" \
    --compare-snapshot "$work/changed.json" --screenshot docs/images/snapshot-compare-en.png \
    2>/dev/null
QT_QPA_PLATFORM=offscreen "$bdir/brenlow" -c "$work/station.ini" \
    --compare-snapshot "$work/changed.json" --screenshot docs/images/snapshot-compare-ja.png \
    2>/dev/null
