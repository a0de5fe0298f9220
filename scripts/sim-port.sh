# shellcheck shell=bash
# Sourced by the scripts that start tesra-sim in the background.
#
# sim_port PID OUT TRIES prints the port the simulator announced in OUT, once
# it has, trying every 0.1 s at most TRIES times and giving up early when
# PID is gone; it prints nothing when the simulator never announced one.
# OUT is opened by the background job, which may not have run yet when the
# first look is taken, so a missing file counts as "not yet" rather than as
# an error (under set -e a failing sed would end the calling script).
sim_port() {
    local pid="$1" out="$2" tries="$3" port=""
    for _ in $(seq "$tries"); do
        if [ -f "$out" ]; then
            port="$(sed -n 's/^tesra-sim listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")"
            [ -n "$port" ] && break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$port" ] && [ -f "$out" ]; then
        # The announcement may have come just as the process ended.
        port="$(sed -n 's/^tesra-sim listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")"
    fi
    printf '%s' "$port"
}
