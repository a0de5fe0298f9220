#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Brenlow with every warning enabled, once with Qt 5.15 and once with
# Qt 6, and runs the whole test suite headless on each; then makes the Debian
# package from the Qt 5.15 build and tries it (scripts/package-test.sh).
# Installs what a fresh Debian machine is missing first.
#
# The builds are the presets of CMakePresets.json: "default" in ./build and
# "qt6" in ./build-qt6.
#
# Usage: scripts/test.sh [--sanitize]
#   --sanitize  instead, build the preset "sanitize" in ./build-sanitize with
#               AddressSanitizer and UndefinedBehaviorSanitizer
#               (-fno-sanitize-recover=all) and run the whole suite with
#               halt_on_error=1 and LeakSanitizer on; the only leaks
#               suppressed are those of Qt's platform plugins
#               (scripts/lsan.supp). Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=0
for arg in "$@"; do
    case "$arg" in
        --sanitize) sanitize=1 ;;
        *) echo "test.sh: unknown argument $arg (try --sanitize)" >&2; exit 2 ;;
    esac
done

if [ "$sanitize" = 1 ]; then
    bash scripts/install-deps.sh sanitize
else
    bash scripts/install-deps.sh test
fi

# build_and_test PRESET: configures, builds warning-free and runs ctest (the
# test preset sets the environment, the sanitizer options included).
build_and_test() {
    local preset=$1
    local dir=build-$preset
    [ "$preset" = default ] && dir=build
    echo "=== $preset: build in $dir"
    cmake --preset "$preset"
    cmake --build --preset "$preset" 2>&1 | tee "$dir/build.log"
    if grep -q "warning:" "$dir/build.log"; then
        echo "The $preset build printed warnings; it must be warning-free." >&2
        exit 1
    fi
    echo "=== $preset: tests"
    local status=0
    ctest --preset "$preset" 2>&1 | tee "$dir/ctest.log" || status=$?
    # A sanitizer report inside a test that still passed (a child process,
    # say) fails the run as well.
    if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$dir/ctest.log"; then
        echo "A sanitizer reported a fault." >&2
        exit 1
    fi
    [ "$status" = 0 ] || exit "$status"
}

if [ "$sanitize" = 1 ]; then
    build_and_test sanitize
    exit 0
fi
build_and_test default
# A formatting or clang-tidy finding fails the run, like a warning
# (scripts/lint.sh; checked once, on the Qt 5.15 build).
bash scripts/lint.sh build
build_and_test qt6
bash scripts/package-test.sh build
