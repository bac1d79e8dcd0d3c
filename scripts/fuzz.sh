#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS]
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, and runs each for SECONDS
# (default 60). Each target grows its corpus in build-fuzz/corpus/<target>,
# starting from the committed seeds. Exits non-zero when any target crashes,
# breaks a property or hangs, and prints the path of the input that did it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

seconds="${1:-60}"
folder="$root/build-fuzz"
targets=(registerline registerfile mapformats parameterfile hextext frames receive scheduler)

ensure_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
echo "== building the fuzz targets in $folder"
cmake -S "$root" -B "$folder" -DCMAKE_BUILD_TYPE=Debug -DSTEPPER_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$folder" --target fuzz -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
mkdir -p "$folder/logs" "$folder/findings"

echo "== fuzzing each target for $seconds s"
failed=0
for target in "${targets[@]}"; do
    corpus="$folder/corpus/$target"
    log="$folder/logs/$target.log"
    mkdir -p "$corpus"
    # An input that takes 10 s counts as a hang; the outer limit catches a
    # target that never gets going.
    status=0
    timeout --kill-after=10 $((seconds + 120)) \
        "$folder/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$folder/findings/$target-" \
        "$corpus" "$root/tests/fuzz/seeds/$target" >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)"
    if [ "$status" -eq 0 ]; then
        printf '%-14s ok      %8s runs, corpus %s files\n' "$target" "${runs:-?}" "$(ls "$corpus" | wc -l)"
    else
        failed=1
        finding="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)"
        printf '%-14s FAILED  exit %s; input: %s; log: %s\n' "$target" "$status" "${finding:-none saved}" "$log"
        grep -m1 -E 'property broken|ERROR: [A-Za-z]+Sanitizer|runtime error|ERROR: libFuzzer' "$log" || true
    fi
done
exit "$failed"
