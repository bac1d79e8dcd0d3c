#!/usr/bin/env bash
# Fails when a window picture that the README or the manual shows was drawn
# from other forms than the current ones: docs/pictures.sha256, written by
# scripts/drawpictures.sh, holds the sha256sum of every form and of the sample
# map the pictures were drawn from. File times cannot tell, as a checkout
# resets them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
record=docs/pictures.sha256
redraw="redraw them with scripts/drawpictures.sh"

[ -f "$record" ] || { echo "FAIL: $record is missing; $redraw" >&2; exit 1; }
shown=$(grep -ohE '\(docs/[^)]*\.png\)|\((window-[a-z]+\.png)\)' README.md docs/manual.md | tr -d '()' \
        | sed -E 's|^window-|docs/window-|' | sort -u)
[ -n "$shown" ] || { echo "FAIL: README.md shows no window picture" >&2; exit 1; }
for picture in $shown; do
    [ -f "$picture" ] || { echo "FAIL: $picture is shown but missing; $redraw" >&2; exit 1; }
done

# A form added or removed since the drawing changes the window too.
recorded=$(awk '{print $2}' "$record" | sort)
current=$( (echo RegisterInfo; find ui -name '*.ui') | sort)
if [ "$recorded" != "$current" ]; then
    echo "FAIL: the forms are not the ones the pictures were drawn from:" >&2
    diff <(echo "$recorded") <(echo "$current") >&2 || true
    echo "$redraw" >&2
    exit 1
fi
if ! changed=$(sha256sum --check --quiet "$record" 2>&1); then
    echo "FAIL: changed since the pictures were drawn:" >&2
    echo "$changed" >&2
    echo "$redraw" >&2
    exit 1
fi
echo "pictures_check: $(echo "$shown" | wc -l) pictures drawn from the current forms"
