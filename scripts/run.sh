#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool with the sample
# register map.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build_tool RelWithDebInfo

# The tool reads RegisterInfo from its working directory.
cd "$root"
echo "== starting build/steppertool in $root"
exec "$root/build/steppertool" "$@"
