#!/usr/bin/env bash
# Installs what is missing, builds the tool and the simulated driver, and
# starts the tool in the repository folder, which holds the sample register
# map. Unless --no-sim is given, a simulated driver serves that map on a
# pseudo-terminal and the tool starts with that port open.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

simulate=1
if [ "${1:-}" = "--no-sim" ]; then
    simulate=0
    shift
fi

ensure_packages "${BUILD_PACKAGES[@]}"
echo "== building steppertool and simdriver in $root/build"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target steppertool simdriver
cd "$root"

tool_options=()
if [ "$simulate" -eq 1 ]; then
    # Named by this script's process, so that two runs, or a run and the
    # tests, never share a simulator's files.
    sim_out="$root/build/simdriver.$$.port"
    sim_log="$root/build/simdriver.$$.log"
    "$root/build/tools/simdriver/simdriver" --map "$root/RegisterInfo" >"$sim_out" 2>"$sim_log" &
    sim_pid=$!
    trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$sim_out" "$sim_log"' EXIT
    for _ in $(seq 100); do
        [ -s "$sim_out" ] && break
        sleep 0.1
    done
    port="$(head -n 1 "$sim_out")"
    [ -n "$port" ] || { echo "the simulated driver did not start; see $sim_log" >&2; exit 1; }
    echo "== simulated driver (its requests are logged to $sim_log) on:"
    echo "$port"
    tool_options=(--port "$port" --open)
fi

echo "== starting build/steppertool"
# In the background, so that an interrupt of this script reaches the tool too
# and the simulator is stopped after it.
"$root/build/steppertool" "${tool_options[@]}" "$@" &
tool_pid=$!
trap 'kill "$tool_pid" 2>/dev/null || true; wait "$tool_pid" 2>/dev/null || true; exit 130' INT TERM
wait "$tool_pid"
