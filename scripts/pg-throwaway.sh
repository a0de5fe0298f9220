#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A throwaway PostgreSQL server for the tests and the demo: a cluster of its
# own, made with initdb in a directory the caller gives, listening only on
# a Unix socket in that directory and on 127.0.0.1 at a free port. It never
# looks at, starts or stops the machine's own clusters. The server refuses to
# run as root, so as root it runs as the unprivileged user "nobody", which
# owns the directory.
#
#     scripts/pg-throwaway.sh start DIR     make the cluster in DIR (an empty
#                                           directory) and start it; prints
#                                           its URL without the database,
#                                           postgresql://brenlow@127.0.0.1:PORT
#     scripts/pg-throwaway.sh stop DIR      stop it (fast); the files stay
#     scripts/pg-throwaway.sh restart DIR   start it again on the same port
#     scripts/pg-throwaway.sh remove DIR    stop it and remove DIR
#
# The role "brenlow" is the cluster's superuser; connections from 127.0.0.1
# and the socket are trusted (no password: nothing but this machine can
# reach it, and it lives only as long as the run that made it).
set -euo pipefail

command=${1:-}
dir=${2:-}
[ -n "$command" ] && [ -n "$dir" ] || {
    echo "pg-throwaway: usage: $0 start|stop|restart|remove DIR" >&2
    exit 2
}

say() { printf 'pg-throwaway: %s\n' "$*" >&2; }

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[ -n "$bindir" ] && [ -x "$bindir/initdb" ] || {
    say "no PostgreSQL server programs in /usr/lib/postgresql (Debian package postgresql)"
    exit 1
}

# as_owner CMD...: runs CMD as the cluster's owner.
as_owner() {
    if [ "$(id -u)" = 0 ]; then
        (cd "$dir" && runuser -u nobody -- "$@")
    else
        (cd "$dir" && "$@")
    fi
}

start_server() {
    local port=$1
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -s \
        -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off" \
        start >/dev/null
}

case "$command" in
    start)
        mkdir -p "$dir"
        [ -z "$(ls -A "$dir")" ] || { say "$dir is not empty"; exit 1; }
        if [ "$(id -u)" = 0 ]; then
            chown nobody "$dir"
            chmod 700 "$dir"
        fi
        as_owner "$bindir/initdb" -D "$dir/data" -U brenlow -A trust -E UTF8 --no-locale \
            --no-sync >"$dir/initdb.log" 2>&1 || {
            say "initdb failed:"
            cat "$dir/initdb.log" >&2
            exit 1
        }
        # A free port: one the system is not listening on, tried until the
        # server takes it.
        for _ in $(seq 20); do
            port=$((20000 + RANDOM % 40000))
            if start_server "$port" 2>/dev/null; then
                echo "$port" >"$dir/port"
                echo "postgresql://brenlow@127.0.0.1:$port"
                exit 0
            fi
        done
        say "the server did not start:"
        tail -n 20 "$dir/server.log" >&2 || true
        exit 1
        ;;
    stop)
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w -s stop >/dev/null
        ;;
    restart)
        start_server "$(cat "$dir/port")"
        ;;
    remove)
        if [ -f "$dir/data/postmaster.pid" ]; then
            as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -s stop >/dev/null 2>&1 || true
        fi
        rm -rf -- "$dir"
        ;;
    *)
        say "unknown command $command (start, stop, restart or remove)"
        exit 2
        ;;
esac
