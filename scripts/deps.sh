#!/usr/bin/env bash
# Installs the Debian packages that are missing and builds the tool. Sourced
# by the other scripts.
set -euo pipefail

# ensure_packages PACKAGE...
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "== installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the tool and its simulated driver takes; the CJK font lets
# the Chinese captions render; dpkg-dev computes the Debian package's
# dependencies; the Qt tools compile the English translation; Qt's own
# translations give its buttons and file dialogs Chinese texts.
BUILD_PACKAGES=(cmake make g++ pkg-config qtbase5-dev libqt5serialport5-dev libqwt-qt5-dev libmodbus-dev fonts-wqy-zenhei dpkg-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n)
# What the tests need besides: socat makes pseudo-terminal pairs; the check
# of scripts/run.sh drives the real window on a virtual X display; the
# package check measures icons and validates the metainfo; pymodbus makes
# the frames of a slave that is not ours; mbpoll is a Modbus TCP client that
# is not ours either, for the simulated driver and pymodbus over TCP.
TEST_PACKAGES=(socat xvfb xdotool python3-xlib imagemagick appstream python3-pymodbus mbpoll)

# What fuzzing takes: clang with libFuzzer's runtime, and llvm-symbolizer for
# readable stacks in its reports.
FUZZ_PACKAGES=(clang libclang-rt-14-dev llvm)

# build_tool [FOLDER [CMAKE_OPTION...]]
# Configures and builds into build/ (or FOLDER). One build type for running
# and testing, so neither command rebuilds everything after the other.
build_tool() {
    local root folder="${1:-build}"
    if [ $# -gt 0 ]; then shift; fi
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    echo "== building in $root/$folder"
    cmake -S "$root" -B "$root/$folder" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
    cmake --build "$root/$folder" -j"$(nproc)"
}
