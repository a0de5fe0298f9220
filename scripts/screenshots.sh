#!/usr/bin/env bash
# Refreshes the README's screenshots from the station simulator:
# docs/images/station-en.png (English) and docs/images/station-ja.png
# (Japanese; needs fonts-noto-cjk, which run-demo.sh installs). Brenlow draws
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
