#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
# With --sanitize first, the same tests run built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan, and any report fails its test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

folder=build
cmake_options=()
ctest_options=()
if [ "${1:-}" = "--sanitize" ]; then
    shift
    folder=build-asan
    cmake_options=(-DSTEPPER_SANITIZE=ON)
    # The check of scripts/run.sh builds and runs the plain program in build/;
    # the package is made from the plain build, not an instrumented one.
    ctest_options=(-E '^(runscript_check|package_check)$')
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
fi

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build_tool "$folder" "${cmake_options[@]}"

echo "== running the tests"
cd "$root/$folder"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure "${ctest_options[@]}" "$@"
