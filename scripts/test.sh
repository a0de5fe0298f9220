#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Brenlow with every warning enabled, once with Qt 5.15 and once with
# Qt 6, and runs the whole test suite headless on each; then makes the Debian
# package from the Qt 5.15 build and tries it (scripts/package-test.sh).
# Installs what a fresh Debian machine is missing first, and starts a
# throwaway PostgreSQL server for the archive's tests (scripts/pg-throwaway.sh).
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

# The archive's tests run against a PostgreSQL server of their own: a
# throwaway cluster in a temporary directory, on its socket there and on
# 127.0.0.1, removed at the end whatever happens. Its URL and directory reach
# the tests in BRENLOW_TEST_PG and BRENLOW_TEST_PG_DIR.
pg_work="$(mktemp -d "${TMPDIR:-/tmp}/brenlow-test-pg.XXXXXX")"
trap 'bash scripts/pg-throwaway.sh remove "$pg_work/pg" >/dev/null 2>&1 || true; rm -rf -- "$pg_work"' EXIT
trap 'exit 130' INT TERM
# The server runs as an unprivileged user, who must reach its directory.
chmod 711 "$pg_work"
BRENLOW_TEST_PG="$(bash scripts/pg-throwaway.sh start "$pg_work/pg")" || {
    echo "The PostgreSQL server for the tests did not start." >&2
    exit 1
}
export BRENLOW_TEST_PG
export BRENLOW_TEST_PG_DIR="$pg_work/pg"
echo "=== PostgreSQL for the tests: $BRENLOW_TEST_PG"

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
