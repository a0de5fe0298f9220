#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries the README's two commands as a new user would: each as the first and
# only command on a freshly bootstrapped, minimal Debian bookworm, in a
# pristine root of its own, and reports each one's status and time.
#
#     sudo bash scripts/fresh-check.sh [run|test|both]     (default: both)
#
# The minimal root (debootstrap --variant=minbase) is made once and kept as a
# tarball in $FRESH_CACHE (default ~/.cache/brenlow-fresh); every check
# unpacks a new copy of it, clones the committed HEAD of this repository into
# it and runs the command there with chroot, so nothing a check installs can
# help the next one. Needs root and the Debian mirror this machine's apt uses;
# takes tens of minutes, so it is not part of the test command. Run it before
# calling done any change to what the commands install (scripts/packages.txt).
#
# FRESH_KEEP=1 keeps the roots for a look afterwards (they are big).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"

which=${1:-both}
case "$which" in
    run) commands=(run) ;;
    test) commands=(test) ;;
    both) commands=(run test) ;;
    *) echo "fresh-check: unknown argument $which (run, test or both)" >&2; exit 2 ;;
esac
[ "$(id -u)" = 0 ] || { echo "fresh-check: needs root (debootstrap and chroot)" >&2; exit 2; }

say() { printf 'fresh-check: %s\n' "$*"; }

bash scripts/install-deps.sh fresh-check

cache=${FRESH_CACHE:-$HOME/.cache/brenlow-fresh}
tarball="$cache/bookworm-minbase.tar"
mkdir -p "$cache"

# The mirror this machine's own apt uses, so that the check reaches exactly
# what the commands would reach here.
mirror() {
    local uri
    uri="$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        tr ' ' '\n' | grep -v -- '-security' | head -n 1)"
    if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
        uri="$(awk '$1 == "deb" && $0 !~ /security/ { print $2; exit }' /etc/apt/sources.list)"
    fi
    printf '%s' "$uri"
}

if [ ! -f "$tarball" ]; then
    url="$(mirror)"
    [ -n "$url" ] || { say "no Debian mirror found in this machine's apt sources"; exit 1; }
    say "bootstrapping a minimal bookworm root (once; kept in $tarball)"
    boot="$(mktemp -d "$cache/boot.XXXXXX")"
    debootstrap --variant=minbase bookworm "$boot" "$url" >"$cache/debootstrap.log" 2>&1 || {
        say "debootstrap failed; see $cache/debootstrap.log"
        rm -rf -- "$boot"
        exit 1
    }
    tar -C "$boot" -cf "$tarball.part" .
    mv "$tarball.part" "$tarball"
    rm -rf -- "$boot"
fi

roots=()
mounted=()
cleanup() {
    local m
    for m in "${mounted[@]+"${mounted[@]}"}"; do
        umount -l "$m" 2>/dev/null || true
    done
    if [ "${FRESH_KEEP:-0}" != 1 ]; then
        for m in "${roots[@]+"${roots[@]}"}"; do
            rm -rf --one-file-system -- "$m"
        done
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The README's two commands, as its reader types them.
declare -A command_line=(
    [run]="bash scripts/run-demo.sh"
    [test]="bash scripts/test.sh"
)

results=()
status_all=0
for name in "${commands[@]}"; do
    root="$(mktemp -d "${TMPDIR:-/var/tmp}/brenlow-fresh-$name.XXXXXX")"
    roots+=("$root")
    tar -C "$root" -xf "$tarball"
    # mktemp makes the folder for its owner alone, and the tarball's "."
    # carries that mode too (tar gives it back to the folder it unpacks
    # into); as the root of a system it must be open to every user, as / is:
    # apt's own, and the unprivileged account the test PostgreSQL runs as.
    chmod 755 "$root"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    for fs in proc sys dev dev/pts; do
        mount --bind "/$fs" "$root/$fs"
        mounted=("$root/$fs" "${mounted[@]+"${mounted[@]}"}")
    done
    git clone -q --no-local "$top" "$root/root/brenlow"
    log="$cache/$name.log"
    say "$name: ${command_line[$name]} in a pristine root ($log)"
    start=$(date +%s)
    status=0
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        bash -c "cd /root/brenlow && ${command_line[$name]}" >"$log" 2>&1 || status=$?
    seconds=$(($(date +%s) - start))
    results+=("$name: exit $status after $((seconds / 60)) min $((seconds % 60)) s")
    [ "$status" = 0 ] || { status_all=1; tail -n 20 "$log" >&2; }
    for fs in dev/pts dev sys proc; do
        umount -l "$root/$fs" 2>/dev/null || true
    done
done

for line in "${results[@]}"; do
    say "$line"
done
exit "$status_all"
