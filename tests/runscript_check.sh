#!/usr/bin/env bash
# Does what a new user does: starts scripts/run.sh on a virtual display,
# sees the values arrive without typing anything (run.sh opens the
# simulated driver's port), closes the window, and finds no simulator left
# behind.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$(mktemp -d)"
xvfb_pid=""
run_pid=""
cleanup() {
    [ -n "$run_pid" ] && kill -- "-$run_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/run.out" >&2 2>/dev/null || true; exit 1; }

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# Pixels in the color of the "value changed" lamp on the screen.
lamp_pixels() {
    import -window root "$work/screen.png"
    convert "$work/screen.png" -fill black +opaque "rgb(18,150,219)" -fill white -opaque "rgb(18,150,219)" \
        -format "%[fx:round(mean*w*h)]" info:
}

# The log of this run's own simulator, as run.sh names it: another run.sh
# may have its window open meanwhile.
simulator_log() { sed -n 's/^== simulated driver (its requests are logged to \(.*\)) on:$/\1/p' "$work/run.out"; }
simulator_reads() { grep -c 'simdriver: read ' "$(simulator_log)" 2>/dev/null || true; }

Xvfb -displayfd 3 -screen 0 1400x1000x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
# The suite runs headless; this check needs the real window on the display.
export QT_QPA_PLATFORM=xcb
# The tool remembers its settings when the window closes: not in the user's.
export XDG_CONFIG_HOME="$work/config"

# In a session of its own, so that a failed check can stop all it started.
setsid "$root/scripts/run.sh" >"$work/run.out" 2>&1 &
run_pid=$!
wait_for 600 grep -q '^/dev/' "$work/run.out" || fail "run.sh printed no simulator port"
wait_for 30 xdotool search --name '开闭环步进驱动器' >/dev/null || fail "no main window"
window="$(xdotool search --name '开闭环步进驱动器' | head -n 1)"
# Write-only rows (commands) are never read.
registers=$(grep 'name:' "$root/RegisterInfo" | grep -vcE 'permission:[Ww],')
all_read() { [ "$(simulator_reads)" -ge "$registers" ]; }
wait_for 30 all_read || fail "the simulator served $(simulator_reads) reads"
# The screen's height, so that every changed row is on it, whatever rows of
# controls sit above the table.
xdotool windowsize "$window" 1400 1000
sleep 1
lit=$(lamp_pixels)
# Five rows (0x0010, 0x0011, 0x0012, 0x0014, 0x0030) get values other than
# their map texts, each a blue lamp of about 256 pixels; losing one falls
# below this.
changed_rows=5
[ "$lit" -gt $((changed_rows * 256 - 128)) ] || fail "only $lit lamp pixels lit after the values arrived"

/usr/bin/python3 "$root/tests/support/closewindow.py" "$window"
run_ended() { ! kill -0 "$run_pid" 2>/dev/null; }
wait_for 20 run_ended || fail "the tool did not exit when its window was closed"
wait "$run_pid" || fail "run.sh exited with $?"
# Only what this run started, in the session setsid gave it.
if pgrep -s "$run_pid" -f "$root/build/tools/simdriver/simdriver" >/dev/null; then
    fail "a simulator was left running"
fi
run_pid=""
echo "run.sh check passed: $registers registers read, $lit lamp pixels lit, nothing left running"
