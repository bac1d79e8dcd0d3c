#!/usr/bin/env bash
# scripts/check-layers.sh
# Fails when a file of a core folder includes a widget header (QtWidgets, a
# Designer form's ui_*.h) or a file of a folder above its own. The core
# folders, lowest first; each may include only itself and those below:
#   util < serial < protocol < registermap < paramsets, scan, monitor, motion < cli
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

layers=(util serial protocol registermap paramsets scan monitor motion cli)
rank_of() {
    case "$1" in
        util) echo 0 ;; serial) echo 1 ;; protocol) echo 2 ;; registermap) echo 3 ;;
        paramsets|scan|monitor|motion) echo 4 ;; cli) echo 5 ;; *) echo 99 ;;
    esac
}

headers="$(qmake -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt5)"
widget_headers="$(ls "$headers/QtWidgets" | grep -E '^Q[A-Za-z]+$' | sort -u)"

echo "== checking the layers of ${layers[*]}"
problems=0
for folder in "${layers[@]}"; do
    [ -d "$folder" ] || continue
    own=$(rank_of "$folder")
    while IFS= read -r file; do
        while IFS=: read -r line include; do
            name="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$include")"
            reason=""
            if [[ "$name" == ui_*.h || "$name" == QtWidgets/* || "$name" == qwt_* ]] || grep -qx "$name" <<<"$widget_headers"; then
                reason="a widget header"
            elif [[ "$name" == */* ]]; then
                top="${name%%/*}"
                if [ -d "$top" ] && [ "$(rank_of "$top")" -gt "$own" ] && [ "$top" != "$folder" ]; then
                    reason="a higher layer ($top/)"
                fi
            fi
            if [ -n "$reason" ]; then
                echo "$file:$line: includes $name, $reason"
                problems=$((problems + 1))
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" || true)
    done < <(find "$folder" -name '*.cpp' -o -name '*.h' | sort)
done

if [ "$problems" -gt 0 ]; then
    echo "== $problems include(s) break the layers"
    exit 1
fi
echo "== the layers hold"
