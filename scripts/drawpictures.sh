#!/usr/bin/env bash
# Redraws every picture: the icons in picture/ and the window pictures in
# docs/ (Chinese and English, from the current window against the simulated
# driver), and records in docs/pictures.sha256 which forms they show. Run it
# after changing a form; the pictures_check test says when it is due.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
echo "== building drawpictures, drawwindow and simdriver in $root/build"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target drawpictures drawwindow simdriver

echo "== drawing the icons into picture/"
"$root/build/tools/drawpictures/drawpictures" "$root/picture"
echo "== drawing the window pictures into docs/"
QT_QPA_PLATFORM=offscreen "$root/build/tools/drawpictures/drawwindow" "$root" "$root/build/tools/simdriver/simdriver"
