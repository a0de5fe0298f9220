#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package in a build directory and tries it:
#   - the package holds the programs, the desktop entry, the icon, the manual
#     pages, the documents and the example station, and nothing else in bin;
#   - its control fields (version, maintainer, description, dependencies);
#   - lintian reports no error and desktop-file-validate accepts the entry;
#   - dpkg -i gives a /usr/bin/brenlow that accepts the installed example
#     station and starts, run against the installed tesra-sim on a free port
#     of 127.0.0.1, and draws its window (--screenshot);
#   - dpkg -r removes it again, so the machine is left as it was found.
# The package is installed only where none is installed yet.
#
# Usage: scripts/package-test.sh [build-dir]   (default: build)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
# shellcheck source=scripts/sim-port.sh
. "$top/scripts/sim-port.sh"
bdir="${1:-build}"

say() { printf 'package-test: %s\n' "$*"; }
fail() {
    say "FAILED: $*" >&2
    exit 1
}
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

bash scripts/install-deps.sh package

[ -f "$bdir/CPackConfig.cmake" ] || fail "$bdir is not a configured build directory"
cmake --build "$bdir" -j2 --target brenlow tesra-sim brenlow_docs >/dev/null

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$bdir/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
deb="$bdir/brenlow_${version}_${arch}.deb"
rm -f "$deb"
(cd "$bdir" && cpack -G DEB >cpack.log 2>&1) || { cat "$bdir/cpack.log" >&2; fail "cpack"; }
[ -f "$deb" ] || fail "cpack made no $deb"
say "made $deb"

work="$(mktemp -d "${TMPDIR:-/tmp}/brenlow-package.XXXXXX")"
installed=0
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ "$installed" = 1 ]; then
        "${as_root[@]}" dpkg -r brenlow >/dev/null || say "could not remove the package" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- contents -------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' | sort >"$work/files"
expected=(
    /usr/bin/brenlow
    /usr/bin/tesra-sim
    /usr/share/applications/brenlow.desktop
    /usr/share/icons/hicolor/scalable/apps/brenlow.svg
    /usr/share/man/man1/brenlow.1.gz
    /usr/share/man/man1/tesra-sim.1.gz
    /usr/share/doc/brenlow/copyright
    /usr/share/doc/brenlow/changelog.gz
    /usr/share/brenlow/README.md
    /usr/share/brenlow/docs/configuration.md
    /usr/share/brenlow/docs/history.md
    /usr/share/brenlow/examples/station.ini
    /usr/share/brenlow/examples/Brenlow.key
    /usr/share/brenlow/examples/csupr/I0.txt
)
for file in "${expected[@]}"; do
    grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
extra="$(grep '^/usr/bin/.' "$work/files" | grep -v -x -e /usr/bin/brenlow -e /usr/bin/tesra-sim || true)"
[ -z "$extra" ] || fail "unexpected programs in the package: $extra"
say "file list: $(wc -l <"$work/files") entries, all expected ones present"

# --- control fields ---------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = brenlow ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), project $version"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
field Description | sed -n 2p | grep -q . || fail "no long description"
field Depends | grep -q 'libqt[56]widgets' || fail "dependencies not read from the programs: $(field Depends)"
field Depends | grep -q 'libqt[56]sql[56]-sqlite' || fail "no SQLite driver for the archive: $(field Depends)"
say "control: $(field Package) $(field Version), depends $(field Depends)"

# --- lintian, desktop entry -------------------------------------------------
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 ||
    { cat "$work/lintian" >&2; fail "lintian reports errors"; }
say "lintian: no error ($(wc -l <"$work/lintian") lines of warnings and notes)"
mkdir "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked"
desktop-file-validate "$work/unpacked/usr/share/applications/brenlow.desktop" ||
    fail "desktop-file-validate rejects the entry"
say "desktop entry valid"

# --- install and start ------------------------------------------------------
if dpkg-query -W -f='${Status}' brenlow 2>/dev/null | grep -q "install ok installed"; then
    fail "brenlow is installed on this machine already; not replacing it"
fi
"${as_root[@]}" dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i"; }
installed=1
[ -x /usr/bin/brenlow ] && [ -x /usr/bin/tesra-sim ] || fail "the programs are not in /usr/bin"
say "installed"

# The installed example, run from a copy (the program appends to its tables).
cp -r /usr/share/brenlow/examples "$work/examples"
chmod 600 "$work/examples/Brenlow.key" # private, as the manual's example makes it
cd "$work"
export QT_QPA_PLATFORM=offscreen
/usr/bin/brenlow --check-config -c examples/station.ini >"$work/check.out" 2>&1 ||
    { cat "$work/check.out" >&2; fail "the installed example station has problems"; }
say "/usr/bin/brenlow --check-config accepts the installed example station"

/usr/bin/tesra-sim -c examples/station.ini --address 127.0.0.1 --port 0 --quit-after 120 \
    --log "$work/traffic.log" >"$work/sim.out" 2>&1 &
sim_pid=$!
port="$(sim_port "$sim_pid" "$work/sim.out" 300)"
[ -n "$port" ] || { cat "$work/sim.out" >&2; fail "the installed tesra-sim did not start"; }
# Brenlow must only ever reach the simulator this script started.
sed -i "s/^Tesra Port=.*/Tesra Port=$port/" examples/station.ini
grep -qx 'Tesra IP=127.0.0.1' examples/station.ini && grep -qx "Tesra Port=$port" examples/station.ini ||
    fail "the example station does not name 127.0.0.1:$port"
timeout 120 /usr/bin/brenlow -e -c examples/station.ini --screenshot "$work/shot.png" \
    >"$work/brenlow.out" 2>&1 || { cat "$work/brenlow.out" >&2; fail "brenlow --screenshot failed"; }
[ -s "$work/shot.png" ] || fail "brenlow --screenshot wrote no picture"
[ -s "$work/traffic.log" ] || fail "brenlow sent nothing to the simulator"
say "/usr/bin/brenlow starts and draws its window ($(stat -c %s "$work/shot.png") bytes)"
