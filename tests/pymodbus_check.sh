#!/usr/bin/env bash
# Backs up a slave whose frames pymodbus makes, not this project: on a clean
# line every register is saved; with a second device at the address, or a
# reply owed to an earlier request coming first, nothing is saved, exit 2.
# tests/pymodbus_check.sh STEPPERTOOL MAP
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tool="$1"
map="$2"
work="$(mktemp -d)"
slave_pid=""
cleanup() {
    [ -n "$slave_pid" ] && kill "$slave_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# backup EXPECTED_STATUS SLAVE_OPTION...
backup() {
    local expected="$1" status=0
    shift
    rm -f "$work/saved.csv" "$work/port"
    /usr/bin/python3 "$here/support/pymodbus_slave.py" "$@" >"$work/port" 2>"$work/slave.log" &
    slave_pid=$!
    for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
    "$tool" --port "$(head -n 1 "$work/port")" --map "$map" --backup "$work/saved.csv" >"$work/out" 2>"$work/err" \
        || status=$?
    kill "$slave_pid"
    wait "$slave_pid" 2>/dev/null || true
    slave_pid=""
    [ "$status" -eq "$expected" ] || fail "with '$*': exit $status, not $expected: $(cat "$work/err")"
}

backup 0
grep -q '^0x0011,117,' "$work/saved.csv" || fail "the clean backup lacks 0x0011 = 117"
for options in "--repeat 5" "--repeat 11" "--owed --delay 300" "--owed --delay 20"; do
    # shellcheck disable=SC2086
    backup 2 $options
    [ ! -e "$work/saved.csv" ] || fail "with '$options' a file was saved"
    grep -q 'a reply from address 1 came that no request asked for' "$work/err" || fail "with '$options': $(cat "$work/err")"
done
echo "pymodbus check passed: a clean backup, and four runs with unasked replies that saved nothing"
