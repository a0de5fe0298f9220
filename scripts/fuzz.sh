#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in ./build-fuzz and runs each for SECONDS
# (default 30), one after the other on one core, starting from the seed
# corpus in fuzz/corpus/<target>. A crash or failed check stops with status 1
# and leaves the input that caused it in build-fuzz/findings/<target>/.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# FUZZ_EXTRA_ARGS adds libFuzzer options, e.g. FUZZ_EXTRA_ARGS=-runs=10000000
# for a long run that stops after ten million executions.
# The inputs that a run adds to the corpus stay in build-fuzz/corpus/<target>;
# the repository's seeds are never written to.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac
shift || true

bash scripts/install-deps.sh fuzz

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build_dir" -DBRENLOW_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi

# Leaks are checked as in the sanitized suite; the only suppressions are
# those of objects that Qt keeps for the life of the process.
# No allocation stacks while fuzzing: AddressSanitizer's fast unwinder walks
# frame pointers, which Debian's Qt libraries do not keep, so the stacks it
# takes through Qt's frames hold whatever the registers held. Each such stack
# is new to the table that stores them, which then grows without end and
# took two thirds of a long run's time (three times the executions without
# it, and a third less memory). A finding is replayed with full stacks below.
# A quarantine of 32 MB instead of 256: freed memory waits there before it is
# handed out again, so that a use after free is caught. No input of these
# targets (8 KiB at most, 36 KiB once the receive target repeats its pieces)
# frees anywhere near that, so every use after free within an input, and
# well beyond it, still lands in the quarantine; the large one only made each
# allocation take cold memory (page faults and TLB flushes, a third of a long
# run's time and 400 MB of its memory).
asan_checks="halt_on_error=1:detect_leaks=1:abort_on_error=1:quarantine_size_mb=32"
export ASAN_OPTIONS="$asan_checks:malloc_context_size=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

# Dictionaries for the line-level targets, drawn from the sources each time so
# that they never fall out of step: the routing table's message words, the
# amplifier's status letters, and the pieces of the line and key-line
# grammar.
dict_dir="$build_dir/dict"
mkdir -p "$dict_dir"
quote() { local t; for t in "$@"; do printf '"%s"\n' "$t"; done; }
grammar=('>' '.' ' ' '\x0A' '\x0D\x0A' '\x09' 'System' 'flgon' 'flgoff' 'Ok:' 'Er:' 'Brenlow' 'Fuzz')
words=($(grep -o '"[@_][A-Za-z0-9]*"' client/MessageNames.cpp | tr -d '"'))
letters="$(sed -n 's/^const char StatusLetters\[\] = "\([A-Z]*\)";/\1/p' devices/CA5350Status.cpp)"
[ ${#words[@]} -gt 0 ] && [ -n "$letters" ] || { echo "fuzz.sh: cannot read the dictionary words" >&2; exit 1; }
{ quote "${words[@]}" "${grammar[@]}"; } >"$dict_dir/fuzz_message.dict"
# The receive target's key file holds these words; its key line is one of them.
{ quote "${words[@]}" "${grammar[@]}" alpha beta gamma delta epsilon 0 7 -1 2147483647; } \
    >"$dict_dir/fuzz_receive.dict"
{ quote CA5350 Er: . / 0 1 9 10 1e-6 1e-10; for ((i = 0; i < ${#letters}; i++)); do
    quote "${letters:i:1}" "${letters:i:1}0" "${letters:i:1}1"; done; } >"$dict_dir/fuzz_ampstatus.dict"
{ quote ' ' '\x09' '\x0A' '\x0D\x0A' '\x0B' '\x0C' '\xC2\xA0' '\xE3\x80\x80' alpha beta; } \
    >"$dict_dir/fuzz_keyfile.dict"

# The CPU seconds the finished children of this shell have used: executions
# per CPU second say what a target manages on one core of its own, however
# busy the machine is (the rate libFuzzer prints counts wall-clock seconds).
# "times" runs in this shell (not in a command substitution, whose children
# are its own), and the figure is read back from a file.
cpu_centiseconds() {
    tail -1 "$times_file" | awk '{ t = 0; for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); t += p[1] * 60 + p[2] } printf "%d", t * 100 }'
}

# The longest input per target. Longer inputs only make each execution slower
# (over a long run the corpus grows towards this length) unless the code
# reads something at a greater length:
# - fuzz_receive, fuzz_message: one line and its fields. The client's line
#   limit is 4000 bytes, so 4096 still holds a plain line past it, and the
#   receive target's repeated pieces make longer lines out of short inputs.
# - fuzz_csprtable: appending looks at the last 4096 bytes of the file to
#   learn its line ends, so the table needs room beyond that: 8192.
# - fuzz_config: a station file with many modules runs to several KiB: 8192.
# - fuzz_keyfile, fuzz_ampstatus: fast at any length; 8192.
max_len_of() {
    case "$1" in
        fuzz_receive | fuzz_message) echo 4096 ;;
        *) echo 8192 ;;
    esac
}

status=0
for target in "${targets[@]}"; do
    corpus="$build_dir/corpus/$target"
    findings="$build_dir/findings/$target"
    mkdir -p "$corpus" "$findings"
    echo "fuzz.sh: $target for ${seconds}s${FUZZ_EXTRA_ARGS:+ or until $FUZZ_EXTRA_ARGS}"
    times_file="$build_dir/$target.times" # one per target: runs may overlap
    times >"$times_file"
    cpu_before=$(cpu_centiseconds)
    dict=()
    [ -f "$dict_dir/$target.dict" ] && dict=(-dict="$dict_dir/$target.dict")
    # -reload=0: one process per corpus, so nothing else adds to it; the
    # default looks at every file of the corpus once a second for new ones.
    if ! "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len_of "$target")" -timeout=10 \
        -rss_limit_mb=2048 -reload=0 -print_final_stats=1 -artifact_prefix="$findings/" \
        ${dict[@]+"${dict[@]}"} ${FUZZ_EXTRA_ARGS:-} \
        "$corpus" "fuzz/corpus/$target" >"$build_dir/$target.log" 2>&1; then
        echo "fuzz.sh: $target found a fault; input kept in $findings" >&2
        tail -40 "$build_dir/$target.log" >&2
        # The same input once more, with the allocation stacks the run left
        # out: frames inside Qt may be wrong, Brenlow's own are right.
        finding=$(ls -t "$findings" 2>/dev/null | head -1)
        if [ -n "$finding" ]; then
            echo "fuzz.sh: $target replayed with allocation stacks:" >&2
            ASAN_OPTIONS="$asan_checks" "$build_dir/fuzz/$target" "$findings/$finding" 2>&1 |
                tail -60 >&2 || true
        fi
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec|^stat::peak_rss_mb' \
        "$build_dir/$target.log" | sed "s/^/fuzz.sh: $target /"
    times >"$times_file"
    cpu=$(($(cpu_centiseconds) - cpu_before))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build_dir/$target.log")
    if [ "$cpu" -gt 0 ] && [ -n "$runs" ]; then
        echo "fuzz.sh: $target exec_per_cpu_second:          $((runs * 100 / cpu)) ($((cpu / 100)).$(printf '%02d' $((cpu % 100))) s of CPU)"
    fi
done
exit "$status"
