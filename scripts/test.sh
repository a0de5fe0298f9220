#!/usr/bin/env bash
# Builds Brenlow with every warning enabled and runs the whole test suite
# headless. Installs what a fresh Debian machine is missing first.
#
# Usage: scripts/test.sh [--sanitize]
#   --sanitize  build in ./build-sanitize with AddressSanitizer and
#               UndefinedBehaviorSanitizer (-fno-sanitize-recover=all) and run
#               the whole suite with halt_on_error=1 and LeakSanitizer on; the
#               only leaks suppressed are those of Qt's platform plugins
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

bash scripts/install-deps.sh \
    cmake make g++ pkg-config util-linux \
    qtbase5-dev qttools5-dev qttools5-dev-tools

if [ "$sanitize" = 1 ]; then
    build_dir=${BUILD_DIR:-build-sanitize}
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DBRENLOW_SANITIZE=ON
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
else
    build_dir=${BUILD_DIR:-build-test}
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" -j"$(nproc)" 2>&1 | tee "$build_dir/build.log"
if grep -q "warning:" "$build_dir/build.log"; then
    echo "The build printed warnings; it must be warning-free." >&2
    exit 1
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j2 --timeout 600 2>&1 | tee "$build_dir/ctest.log"
status=${PIPESTATUS[0]}
# A sanitizer report inside a test that still passed (a child process, say)
# fails the run as well.
if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$build_dir/ctest.log"; then
    echo "A sanitizer reported a fault." >&2
    exit 1
fi
exit "$status"
