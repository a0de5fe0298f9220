#!/usr/bin/env bash
# Refreshes the README's screenshots from the station simulator:
# docs/images/station-en.png (English) and docs/images/station-ja.png, and
# the link's states, docs/images/link-{connected,lost}-{en,ja}.png, a
# silent HV module, docs/images/silent-device-{en,ja}.png, and the trends
# window, docs/images/trends-{en,ja}.png (the HV modules ramping from 0 to
# 1500 V, the simulator dropping the link once) (Japanese; needs
# fonts-noto-cjk, which run-demo.sh installs). Brenlow draws
# both itself, off screen, with the simulated HV modules holding 1000 V; no
# display is needed.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
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
