#!/usr/bin/env bash
# Installs what is missing, builds the benchmark programs in Release
# (build-bench/), runs them headless and prints one table: figure, measured
# value, target, met. Give program names to run only those, for example
# scripts/bench.sh bench_reply bench_log.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

programs=(bench_startup bench_mapparse bench_log bench_reply bench_trendplot bench_pollrate bench_idle bench_monitor bench_paramsets bench_scan bench_linespeed bench_batchfloor bench_capture bench_testrun)
[ $# -gt 0 ] && programs=("$@")

ensure_packages "${BUILD_PACKAGES[@]}"
build="$root/build-bench"
echo "== building the benchmarks in $build (Release)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSTEPPER_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}"

export QT_QPA_PLATFORM=offscreen
results="$build/bench-results.tsv"
messages="$build/bench-messages.log"
: >"$results"
: >"$messages"
failed=0
for program in "${programs[@]}"; do
    echo "== running $program"
    if ! "$build/bench/$program" 2>>"$messages" | grep '^RESULT' >>"$results"; then
        echo "== $program failed; its messages are in $messages"
        failed=1
    fi
done

echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores," \
     "Qt $(pkg-config --modversion Qt5Widgets), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "| figure | measured | target | met |"
echo "|---|---|---|---|"
awk -F'\t' '{ printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }' "$results"
missed=$(awk -F'\t' '$5 == "NO"' "$results" | wc -l)
echo
echo "targets missed: $missed"
exit "$failed"
