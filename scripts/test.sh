#!/usr/bin/env bash
# Builds Brenlow with every warning enabled and runs the whole test suite
# headless. Installs what a fresh Debian machine is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh \
    cmake make g++ pkg-config util-linux \
    qtbase5-dev qttools5-dev qttools5-dev-tools

build_dir=${BUILD_DIR:-build-test}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"$(nproc)" 2>&1 | tee "$build_dir/build.log"
if grep -q "warning:" "$build_dir/build.log"; then
    echo "The build printed warnings; it must be warning-free." >&2
    exit 1
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j2 --timeout 300
