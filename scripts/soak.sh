#!/usr/bin/env bash
# Soaks the tool: installs what is missing, builds into build-soak/, then
# runs the real main window (offscreen) against the simulated driver for
# MINUTES minutes, polling and writing registers the whole time. Memory and
# traffic counts are printed once a minute, and a verdict at the end; the
# exit status is non-zero when the verdict fails. Further arguments go to the
# soak program (for the sample map: --map RegisterInfo; all: --help).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/soak.sh MINUTES [soak options]" >&2
    exit 2
fi
minutes="$1"
shift

ensure_packages "${BUILD_PACKAGES[@]}"
echo "== building in $root/build-soak"
cmake -S "$root" -B "$root/build-soak" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build-soak" -j"$(nproc)" --target soak

echo "== soaking for $minutes min (the simulator logs its requests to build-soak/simdriver.log)"
cd "$root"
QT_QPA_PLATFORM=offscreen "$root/build-soak/tools/soak/soak" --minutes "$minutes" \
    --sim-log "$root/build-soak/simdriver.log" "$@"
